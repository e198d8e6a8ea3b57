#pragma once

#include <string>
#include <string_view>

// On Windows wchar_t is a UTF-16 code unit: the model's strings pass to the
// API without conversion.
namespace quillmark {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

inline const wchar_t* WidePtr(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

inline std::u16string FromWide(std::wstring_view text) {
    return {reinterpret_cast<const char16_t*>(text.data()), text.size()};
}

inline std::wstring ToWide(std::u16string_view text) {
    return {reinterpret_cast<const wchar_t*>(text.data()), text.size()};
}

}  // namespace quillmark
