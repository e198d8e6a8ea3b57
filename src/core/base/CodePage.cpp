// The converters every caller gets: the system's exact ones (ICU here, the
// Windows API there) behind the tables cached from their own answers.
#include "base/CodePage.h"

#include "base/CodePageCache.h"
#include "base/CodePageExact.h"

namespace quillmark {

std::unique_ptr<TCodePageDecoder> TCodePageDecoder::Create(TCodePage codePage) {
    auto exact = CreateExactDecoder(codePage);
    if (exact && codePage == CP_SHIFT_JIS) return MakeCachedShiftJisDecoder(std::move(exact));
    return exact;
}

std::unique_ptr<TCodePageEncoder> TCodePageEncoder::Create(TCodePage codePage) {
    auto exact = CreateExactEncoder(codePage);
    if (exact && codePage != CP_UTF_8) return MakeCachedAnsiEncoder(std::move(exact), codePage);
    return exact;
}

std::optional<std::u16string> MultiByteToWideChar(TCodePage codePage, std::string_view bytes) {
    const auto decoder = TCodePageDecoder::Create(codePage);
    if (!decoder) return std::nullopt;
    std::u16string text;
    decoder->Decode(bytes, true, text);
    return text;
}

std::optional<std::string> WideCharToMultiByte(TCodePage codePage, std::u16string_view text) {
    const auto encoder = TCodePageEncoder::Create(codePage);
    if (!encoder) return std::nullopt;
    std::string bytes;
    encoder->Encode(text, true, bytes);
    return bytes;
}

}  // namespace quillmark
