// The converters every caller gets: the system's exact ones (ICU here, the
// Windows API there) behind the tables cached from their own answers.
#include "base/CodePage.h"

#include <map>
#include <mutex>

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

const std::vector<char16_t>& QuotationMarkStandIns(TCodePage codePage) {
    static std::mutex mutex;
    static std::map<TCodePage, std::vector<char16_t>> found;
    const std::lock_guard lock(mutex);
    const auto [entry, inserted] = found.try_emplace(codePage);
    std::vector<char16_t>& standIns = entry->second;
    if (!inserted || codePage == CP_UTF_8) return standIns;
    const std::unique_ptr<TCodePageEncoder> encoder = CreateExactEncoder(codePage);
    if (!encoder) return standIns;
    std::u16string every;
    for (char32_t unit = 0x80; unit <= 0xFFFF; ++unit)
        if (unit < 0xD800 || unit > 0xDFFF) every.push_back(static_cast<char16_t>(unit));
    std::string bytes;
    encoder->Encode(every, true, bytes);
    if (bytes.find('"') == std::string::npos) return standIns;
    if (bytes.size() == every.size()) {
        // One byte for each character.
        for (std::size_t i = 0; i < bytes.size(); ++i)
            if (bytes[i] == '"') standIns.push_back(every[i]);
    } else {
        for (const char16_t unit : every)
            if (WideCharToMultiByte(codePage, std::u16string_view(&unit, 1)) == "\"")
                standIns.push_back(unit);
    }
    return standIns;
}

}  // namespace quillmark
