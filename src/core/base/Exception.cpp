#include "base/Exception.h"

#include "base/Utf.h"

namespace quillmark {

Exception::Exception(const std::string& utf8Message) : std::runtime_error(utf8Message) {}

Exception::Exception(std::u16string_view message) : std::runtime_error(Utf16ToUtf8(message)) {}

std::u16string Exception::Message() const {
    return Utf8ToUtf16(what());
}

EAbort::EAbort() : Exception(std::string("Operation cancelled")) {}

}  // namespace quillmark
