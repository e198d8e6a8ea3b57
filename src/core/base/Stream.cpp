#include "base/Stream.h"

#include <algorithm>
#include <cstring>

#include "base/Exception.h"
#include "base/Messages.h"

namespace quillmark {

void TStream::ReadBuffer(void* buffer, std::size_t count) {
    auto* out = static_cast<char*>(buffer);
    while (count > 0) {
        const std::size_t got = Read(out, count);
        if (got == 0) throw EReadError(messages::StreamReadError);
        out += got;
        count -= got;
    }
}

TMemoryStream::TMemoryStream(std::string bytes) : FBytes(std::move(bytes)) {}

void TMemoryStream::Seek(std::uint64_t position) {
    FPosition = std::min<std::uint64_t>(position, FBytes.size());
}

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
    const std::size_t n = std::min<std::uint64_t>(count, FBytes.size() - FPosition);
    if (n > 0) std::memcpy(buffer, FBytes.data() + FPosition, n);
    FPosition += n;
    return n;
}

std::size_t TFileSection::Read(void* buffer, std::size_t count) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(count, Size() - FPosition));
    const std::size_t got = n == 0 ? 0 : FFile.ReadAt(FFrom + FPosition, buffer, n);
    FPosition += got;
    return got;
}

}  // namespace quillmark
