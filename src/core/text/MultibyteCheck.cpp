#include <algorithm>
#include <array>
#include <cstring>

#include "base/Utf.h"
#include "text/DetectScore.h"
#include "text/EncodeDetect.h"

// IsSJIS, IsEUC and IsUTF8 are one walk over different byte tables. The walk
// is the hot loop of detection, so it skips seven-bit text eight bytes at a
// time (every byte below 0x80 is a single byte in all three encodings) and
// classifies the others with one table look-up each.
namespace quillmark {

namespace {

using TByteTable = std::array<std::uint8_t, 256>;

// How one encoding's bytes read.
struct TWalkRules {
    // As the start of a character: 0 invalid, 1 a single byte, 2 to 4 the
    // lead byte of a sequence of that many bytes.
    TByteTable length{};
    // For a lead byte: the bit of the trail set its trail bytes must be in.
    TByteTable leadTrails{};
    // Bit k set: the byte belongs to trail set k.
    TByteTable trailSets{};
};

constexpr void SetRange(TByteTable& table, int first, int last, std::uint8_t value) {
    for (int byte = first; byte <= last; ++byte)
        table[byte] = value;
}

constexpr void AddRange(TByteTable& table, int first, int last, std::uint8_t bits) {
    for (int byte = first; byte <= last; ++byte)
        table[byte] |= bits;
}

constexpr void SetLead(TWalkRules& rules, int first, int last, std::uint8_t length, std::uint8_t trails) {
    SetRange(rules.length, first, last, length);
    SetRange(rules.leadTrails, first, last, trails);
}

constexpr TWalkRules MakeShiftJisRules() {
    TWalkRules rules;
    SetRange(rules.length, 0x00, 0x7F, 1);
    SetRange(rules.length, 0xA1, 0xDF, 1);  // half-width katakana
    SetLead(rules, 0x81, 0x9F, 2, 1);
    SetLead(rules, 0xE0, 0xFC, 2, 1);
    AddRange(rules.trailSets, 0x40, 0x7E, 1);
    AddRange(rules.trailSets, 0x80, 0xFC, 1);
    return rules;
}

constexpr TWalkRules MakeEucJpRules() {
    TWalkRules rules;
    SetRange(rules.length, 0x00, 0x7F, 1);
    SetLead(rules, 0xA1, 0xFE, 2, 1);  // JIS X 0208
    SetLead(rules, 0x8E, 0x8E, 2, 2);  // SS2: half-width katakana
    SetLead(rules, 0x8F, 0x8F, 3, 1);  // SS3: JIS X 0212
    AddRange(rules.trailSets, 0xA1, 0xFE, 1);
    AddRange(rules.trailSets, 0xA1, 0xDF, 2);
    return rules;
}

// Only the byte ranges count: overlong forms, encoded surrogates and values
// above U+10FFFF pass.
constexpr TWalkRules MakeUtf8Rules() {
    TWalkRules rules;
    SetRange(rules.length, 0x00, 0x7F, 1);
    SetLead(rules, 0xC0, 0xDF, 2, 1);
    SetLead(rules, 0xE0, 0xEF, 3, 1);
    SetLead(rules, 0xF0, 0xF7, 4, 1);
    AddRange(rules.trailSets, 0x80, 0xBF, 1);
    return rules;
}

constexpr TWalkRules kShiftJisRules = MakeShiftJisRules();
constexpr TWalkRules kEucJpRules = MakeEucJpRules();
constexpr TWalkRules kUtf8Rules = MakeUtf8Rules();

// The index of the first byte at or after `i` that is 0x80 or above.
std::size_t SkipSevenBit(const std::uint8_t* data, std::size_t i, std::size_t size) {
    return i + SevenBitRun(data + i, size - i);
}

bool Walk(const TWalkRules& rules, TBytes bytes, std::int32_t& score, bool samplePrefix) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const std::size_t size = bytes.size();
    std::int64_t points = 0;
    bool valid = true;
    std::size_t i = 0;
    while ((i = SkipSevenBit(data, i, size)) < size) {
        const std::size_t length = rules.length[data[i]];
        if (length == 1) {
            ++i;
            continue;
        }
        if (length == 0) {
            valid = false;
            break;
        }
        const std::uint8_t trails = rules.leadTrails[data[i]];
        const std::size_t present = std::min(length - 1, size - i - 1);
        const std::uint8_t* trail = data + i + 1;
        if (!std::all_of(trail, trail + present,
                         [&](std::uint8_t b) { return (rules.trailSets[b] & trails) != 0; })) {
            valid = false;
            break;
        }
        if (present == length - 1) {
            points += static_cast<std::int64_t>(length);
            i += length;
        } else if (present == 0 || samplePrefix) {
            // Cut off by the end of the bytes: the rest of the character lies
            // beyond what was given, so it is accepted as it stands.
            break;
        } else {
            // Some trail bytes present, but the bytes end before the last
            // one: the first trail byte is read as the start of a character.
            // UTF-8 then fails on it; in EUC-JP it is a lead byte at the end.
            ++i;
        }
    }
    detail::AddPoints(score, points);
    return valid;
}

}  // namespace

bool IsSJIS(TBytes bytes, std::int32_t& score, TIgnoreEncodes ignore, bool samplePrefix) {
    if (ignore.Contains(TIgnoreEncode::ieSJIS)) return false;
    return Walk(kShiftJisRules, bytes, score, samplePrefix);
}

bool IsEUC(TBytes bytes, std::int32_t& score, TIgnoreEncodes ignore, bool samplePrefix) {
    if (ignore.Contains(TIgnoreEncode::ieEUC)) return false;
    return Walk(kEucJpRules, bytes, score, samplePrefix);
}

bool IsUTF8(TBytes bytes, std::int32_t& score, TIgnoreEncodes ignore, bool samplePrefix) {
    if (ignore.Contains(TIgnoreEncode::ieUTF8)) return false;
    return Walk(kUtf8Rules, bytes, score, samplePrefix);
}

}  // namespace quillmark
