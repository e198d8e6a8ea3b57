#include "base/CodePage.h"
#include "base/Utf.h"

// The UTF-8 sides of the converters, for those that have no faster way.
namespace quillmark {

namespace {

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

}  // namespace

void TCodePageDecoder::DecodeUtf8(std::string_view bytes, bool flush, std::string& out) {
    FWide.clear();
    if (FHighSurrogate != 0) FWide.push_back(FHighSurrogate);
    FHighSurrogate = 0;
    Decode(bytes, flush, FWide);
    // A pair may be completed by the next piece.
    if (!flush && !FWide.empty() && IsHighSurrogate(FWide.back())) {
        FHighSurrogate = FWide.back();
        FWide.pop_back();
    }
    AppendUtf16AsUtf8(FWide, out);
}

void TCodePageEncoder::EncodeUtf8(std::string_view text, bool flush, std::string& out) {
    EncodeUtf8Widened(text, flush, out);
}

void TCodePageEncoder::EncodeUtf8Widened(std::string_view text, bool flush, std::string& out) {
    if (!FCarry.empty()) {
        FJoined.assign(FCarry);
        FJoined.append(text);
        FCarry.clear();
        text = FJoined;
    }
    if (!flush) {
        const std::size_t complete = CompleteUtf8Length(text);
        FCarry.assign(text.substr(complete));
        text = text.substr(0, complete);
    }
    FWide = Utf8ToUtf16(text);
    Encode(FWide, flush, out);
}

}  // namespace quillmark
