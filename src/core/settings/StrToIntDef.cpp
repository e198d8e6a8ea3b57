#include "settings/StrToIntDef.h"

#include <array>

namespace quillmark {
namespace {

// The value of an ASCII digit in `base` (10 or 16), or -1.
int DigitValue(char16_t c, unsigned base) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (base == 16 && c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (base == 16 && c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Takes a hexadecimal prefix off the start of `text`; true when there was one.
bool StripHexPrefix(std::u16string_view& text) {
    // "0x" before "x": a lone "0" is a decimal digit, not a prefix.
    for (const std::u16string_view prefix :
         std::array<std::u16string_view, 5>{u"0x", u"0X", u"$", u"x", u"X"}) {
        if (text.starts_with(prefix)) {
            text.remove_prefix(prefix.size());
            return true;
        }
    }
    return false;
}

}  // namespace

std::int32_t StrToIntDef(std::u16string_view text, std::int32_t fallback) {
    const std::size_t start = text.find_first_not_of(u' ');
    if (start == std::u16string_view::npos) return fallback;
    std::u16string_view digits = text.substr(start);

    const bool negative = digits.front() == u'-';
    if (negative || digits.front() == u'+') digits.remove_prefix(1);
    const unsigned base = StripHexPrefix(digits) ? 16 : 10;
    if (digits.empty()) return fallback;

    // The magnitude -INT32_MIN is allowed only with a minus sign.
    const std::uint64_t limit = negative ? 2147483648ULL : 2147483647ULL;
    std::uint64_t magnitude = 0;
    for (const char16_t c : digits) {
        const int digit = DigitValue(c, base);
        if (digit < 0) return fallback;
        magnitude = magnitude * base + static_cast<unsigned>(digit);
        if (magnitude > limit) return fallback;
    }
    const std::int64_t value =
        negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    return static_cast<std::int32_t>(value);
}

}  // namespace quillmark
