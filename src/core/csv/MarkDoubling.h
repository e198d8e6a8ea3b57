#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

// Inside a quoted field every quotation mark the target holds is doubled:
// the marks of the text and the characters the target's code page writes as
// a mark (see QuotationMarkStandIns), which would otherwise end the field.
namespace quillmark {

// Whether `codePoint` is one of `standIns` (sorted).
inline bool IsStandIn(const std::vector<char16_t>& standIns, char32_t codePoint) {
    return codePoint >= 0x80 && codePoint <= 0xFFFF &&
           std::binary_search(standIns.begin(), standIns.end(), static_cast<char16_t>(codePoint));
}

// Appends the content of a quoted field, UTF-16 or UTF-8 of whole
// characters, to `out` with its marks and stand-ins doubled.
template <class TUnit>
void AppendMarksDoubled(std::basic_string_view<TUnit> units, const std::vector<char16_t>& standIns,
                        std::basic_string<TUnit>& out) {
    if (standIns.empty()) {
        for (std::size_t mark; (mark = units.find(TUnit('"'))) != units.npos;) {
            out.append(units.substr(0, mark + 1));
            out.push_back(TUnit('"'));
            units.remove_prefix(mark + 1);
        }
        out.append(units);
        return;
    }
    for (std::size_t i = 0; i < units.size();) {
        const auto unit = static_cast<std::make_unsigned_t<TUnit>>(units[i]);
        std::size_t length = 1;
        char32_t codePoint = unit;
        if constexpr (sizeof(TUnit) == 1) {
            // Stand-ins take two or three bytes in UTF-8.
            if (unit >= 0xC2 && unit < 0xF0) {
                length = unit >= 0xE0 ? 3 : 2;
                if (i + length > units.size()) length = 1;
                codePoint = unit & (unit >= 0xE0 ? 0x0F : 0x1F);
                for (std::size_t k = 1; k < length; ++k)
                    codePoint = (codePoint << 6) | (static_cast<unsigned char>(units[i + k]) & 0x3F);
            }
        }
        const std::basic_string_view<TUnit> character = units.substr(i, length);
        out.append(character);
        if (unit == '"' || IsStandIn(standIns, codePoint)) out.append(character);
        i += length;
    }
}

}  // namespace quillmark
