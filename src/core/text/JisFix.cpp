#include "text/JisFix.h"

#include "text/TextLoader.h"

namespace quillmark {

namespace {

// Every replaced code point lies in U+00A2..U+301C, so ASCII, kana and kanji
// are passed over with one comparison.
constexpr char16_t kFirstReplaced = u'\u00A2';
constexpr char16_t kLastReplaced = u'\u301C';

constexpr char16_t Cp932CodePoint(char16_t unit) {
    switch (unit) {
        case u'\u00A2':  // CENT SIGN
            return u'\uFFE0';
        case u'\u00A3':  // POUND SIGN
            return u'\uFFE1';
        case u'\u00AC':  // NOT SIGN
            return u'\uFFE2';
        case u'\u2014':  // EM DASH
            return u'\u2015';
        case u'\u2016':  // DOUBLE VERTICAL LINE
            return u'\u2225';
        case u'\u203E':  // OVERLINE
            return u'\uFFE3';
        case u'\u2212':  // MINUS SIGN
            return u'\uFF0D';
        case u'\u301C':  // WAVE DASH
            return u'\uFF5E';
        default:
            return unit;
    }
}

}  // namespace

void detail::FixJisX0208InPlace(std::u16string& text) {
    for (char16_t& unit : text) {
        if (unit >= kFirstReplaced && unit <= kLastReplaced) unit = Cp932CodePoint(unit);
    }
}

std::u16string MecsMappingFix_JISX0208ToUnicode(std::u16string_view text) {
    std::u16string fixed(text);
    detail::FixJisX0208InPlace(fixed);
    return fixed;
}

bool IsJisFamilyCodePage(TCodePage codePage) {
    return codePage == 20932 || (codePage >= 50220 && codePage <= 50222) || codePage == 51932;
}

}  // namespace quillmark
