#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/CodePage.h"

// Fast paths over the exact converters: the result of every character is
// asked of the exact converter once and remembered, so long texts go
// through a table instead of ICU.
namespace quillmark {

// The bytes that start and end a two-byte character of code page 932.
constexpr bool IsLead932(std::uint8_t byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
constexpr bool IsTrail932(std::uint8_t byte) {
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

// A two-byte character's place in a table of all of them: lead bytes 81-9F
// and E0-FC, trail bytes 40-FC, 11340 places in all.
inline constexpr std::size_t kTrails932 = 0xFC - 0x40 + 1;
inline constexpr std::size_t kPairs932 = 60 * kTrails932;
constexpr std::size_t PairIndex932(std::uint8_t lead, std::uint8_t trail) {
    const std::size_t row = lead <= 0x9F ? lead - 0x81u : lead - 0xE0u + 31;
    return row * kTrails932 + (trail - 0x40u);
}

// Writes the two bytes of a table entry first << 8 | second at `at`.
inline char* PutTwoBytes(std::uint16_t entry, char* at) {
    at[0] = static_cast<char>(entry >> 8);
    at[1] = static_cast<char>(entry);
    return at + 2;
}

// PairIndex932(byte, 0x40) for a lead byte, -1 for any other byte: for
// loops over runs of two-byte characters, one look-up a lead byte.
inline constexpr auto kLeadRows932 = [] {
    std::array<std::int32_t, 256> rows{};
    for (unsigned byte = 0; byte < 256; ++byte)
        rows[byte] = IsLead932(static_cast<std::uint8_t>(byte))
                         ? static_cast<std::int32_t>(PairIndex932(static_cast<std::uint8_t>(byte), 0x40))
                         : -1;
    return rows;
}();

// Room to convert into before the result is appended to a string: growing
// the string instead would fill the room with zeros first.
template <class TChar>
class TScratch {
  public:
    TChar* Room(std::size_t size) {
        if (size > FCapacity) {
            FData.reset(new TChar[size]);
            FCapacity = size;
        }
        return FData.get();
    }

  private:
    std::unique_ptr<TChar[]> FData;
    std::size_t FCapacity = 0;
};

// Decodes 932 like `exact` (a decoder of 932 as CodePageIcu.cpp sets it up).
std::unique_ptr<TCodePageDecoder> MakeCachedShiftJisDecoder(std::unique_ptr<TCodePageDecoder> exact);

// Encodes like `exact`, an encoder of the ANSI code page `codePage`: one
// that keeps no state between characters, so each UTF-16 unit (or surrogate
// pair) can be converted on its own.
std::unique_ptr<TCodePageEncoder> MakeCachedAnsiEncoder(std::unique_ptr<TCodePageEncoder> exact,
                                                        TCodePage codePage);

}  // namespace quillmark
