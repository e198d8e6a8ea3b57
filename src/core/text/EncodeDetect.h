#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "base/Stream.h"

// Guessing the character encoding of bytes: byte-order marks first, then the
// escape sequences of ISO-2022-JP, then the validity and scores of Shift_JIS,
// EUC-JP, UTF-8 and UTF-7. Everything but the stream form is a pure function
// of the bytes.
namespace quillmark {

using TBytes = std::string_view;

enum class TBOMType : std::uint8_t { btNone, btUTF8, bt16LE, bt16BE, bt32LE, bt32BE };

enum class TIgnoreEncode : std::uint8_t { ieSJIS, ieEUC, ieUTF8, ieJIS, ieBOM, ieUTF7 };

// A set of TIgnoreEncode in one byte: bit n stands for the member of ordinal n.
class TIgnoreEncodes {
  public:
    constexpr TIgnoreEncodes() = default;
    constexpr TIgnoreEncodes(std::initializer_list<TIgnoreEncode> members) {
        for (TIgnoreEncode member : members)
            FBits |= Bit(member);
    }
    static constexpr TIgnoreEncodes FromBits(std::uint8_t bits) {
        TIgnoreEncodes set;
        set.FBits = bits & 0x3F;
        return set;
    }
    constexpr bool Contains(TIgnoreEncode member) const { return (FBits & Bit(member)) != 0; }
    constexpr std::uint8_t Bits() const { return FBits; }
    constexpr bool operator==(const TIgnoreEncodes&) const = default;

  private:
    static constexpr std::uint8_t Bit(TIgnoreEncode member) {
        return static_cast<std::uint8_t>(1u << static_cast<unsigned>(member));
    }
    std::uint8_t FBits = 0;
};

// Encoding numbers returned by CheckEncoding.
enum TEncodingNumber : std::int32_t {
    enNone = -1,
    enShiftJIS = 0,
    enEUCJP = 1,
    enISO2022JP = 2,
    enUTF16LE = 3,
    enUTF16BE = 4,
    enUTF8 = 5,
    enUTF8BOM = 6,
    enUTF32LE = 7,
    enUTF32BE = 8,
    enUTF7 = 9,
};

// 0x00-0x7F.
constexpr bool IsASCII(std::uint8_t byte) {
    return byte < 0x80;
}

// The byte-order mark at the start: FF FE 00 00 is UTF-32 LE (never UTF-16
// LE), 00 00 FE FF UTF-32 BE, FF FE UTF-16 LE, FE FF UTF-16 BE, EF BB BF UTF-8.
TBOMType BOMCheck(TBytes bytes, TIgnoreEncodes ignore = {});

// True when an ISO-2022-JP escape sequence (ESC ( B, ESC ( J, ESC ( I,
// ESC $ @, ESC $ B, ESC $ ( D or ESC & @ ESC $ B) is found before any
// eight-bit byte; the bytes after it are not looked at. Empty bytes give false.
bool IsJIS(TBytes bytes, TIgnoreEncodes ignore = {});

// The content checks add to `score` as they walk and never reset it; a check
// that fails halfway keeps the points it had collected. A complete n-byte
// character scores n points, and each byte of a UTF-7 shifted run (its
// opening "+" included) 2 points. The score stops at 2147483647 rather than
// overflowing. Empty bytes give true with the score unchanged; an ignored
// check gives false at once and leaves the score alone.
//
// A lead byte that is the last byte given is accepted without points. A
// sequence cut off after some of its trail bytes is not accepted as a whole:
// the walk goes on at its first trail byte, so "\xE3\x81" fails IsUTF8 while
// "\x8F\xA1" passes IsEUC (0xA1 then counts as a lead byte at the end).
//
// `samplePrefix` says that the bytes are only the beginning of a longer
// whole. A multibyte sequence cut off by their end is then accepted without
// points, as a lead byte at the very end always is, and the walk ends there:
// "\xE3\x81" passes IsUTF8 with 0 points.
bool IsSJIS(TBytes bytes, std::int32_t& score, TIgnoreEncodes ignore = {}, bool samplePrefix = false);
bool IsEUC(TBytes bytes, std::int32_t& score, TIgnoreEncodes ignore = {}, bool samplePrefix = false);
bool IsUTF8(TBytes bytes, std::int32_t& score, TIgnoreEncodes ignore = {}, bool samplePrefix = false);
bool IsUTF7(TBytes bytes, std::int32_t& score, TIgnoreEncodes ignore = {});

// The encoding number of the bytes: a byte-order mark decides first, then an
// ISO-2022-JP escape sequence; otherwise IsSJIS, IsEUC, IsUTF8 and IsUTF7
// each score the whole bytes from 0, and the check whose score is above all
// three others wins if it passed. enNone for empty bytes, a shared top
// score, or a top scorer that failed (a lower one that passed never wins).
//
// **Example**: "\x82\xA0" -> enShiftJIS; "\xE3\x81\x82" -> enUTF8; "A+B" -> enUTF7.
std::int32_t CheckEncoding(TBytes bytes, TIgnoreEncodes ignore = {}, bool samplePrefix = false);

// Examines at most `maxBytes` from the start of the stream (all of it when
// `maxBytes` is 0 or less or larger than the stream, capped at 2147483647)
// and leaves the stream after the bytes read. When fewer bytes are examined
// than the stream holds, the sample counts as a prefix (see IsSJIS). An empty
// stream gives enNone without reading. A short read throws EReadError.
std::int32_t CheckEncoding(TStream& stream, std::int32_t maxBytes, TIgnoreEncodes ignore = {});

}  // namespace quillmark
