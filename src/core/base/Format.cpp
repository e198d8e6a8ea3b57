#include "base/Format.h"

namespace quillmark {

std::u16string Format(std::u16string_view pattern, std::initializer_list<std::u16string_view> args) {
    std::u16string out;
    auto next = args.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == u'%' && i + 1 < pattern.size()) {
            if (pattern[i + 1] == u's') {
                if (next != args.end()) out += *next++;
                ++i;
                continue;
            }
            if (pattern[i + 1] == u'%') {
                out.push_back(u'%');
                ++i;
                continue;
            }
        }
        out.push_back(pattern[i]);
    }
    return out;
}

std::u16string IntToStr(long long value) {
    const bool negative = value < 0;
    unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(value) : value;
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative) digits.insert(digits.begin(), u'-');
    return digits;
}

std::u16string AnsiQuotedStr(std::u16string_view text, char16_t quote) {
    std::u16string quoted;
    quoted.reserve(text.size() + 2);
    AppendQuotedStr(text, quote, quoted);
    return quoted;
}

void AppendQuotedStr(std::u16string_view text, char16_t quote, std::u16string& out) {
    out.push_back(quote);
    for (char16_t unit : text) {
        if (unit == quote) out.push_back(quote);
        out.push_back(unit);
    }
    out.push_back(quote);
}

}  // namespace quillmark
