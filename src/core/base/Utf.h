#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace quillmark {

// UTF-8 to UTF-16. Ill-formed input gives one U+FFFD per maximal ill-formed
// subsequence, as Windows and ICU do: "\xE3\x81" + "A" -> U+FFFD "A".
std::u16string Utf8ToUtf16(std::string_view utf8);

// UTF-16 to UTF-8. An unpaired surrogate is written as U+FFFD (EF BF BD).
std::string Utf16ToUtf8(std::u16string_view utf16);

// Appends the UTF-8 form of `utf16` to `out` (same rules as Utf16ToUtf8).
// A high surrogate at the very end is written as U+FFFD.
void AppendUtf16AsUtf8(std::u16string_view utf16, std::string& out);

// How many bytes `bytes` start with that are below 0x80, looked at sixteen
// at a time: "ab\xE3" -> 2, "" -> 0. Every code page here reads them as
// ASCII.
inline std::size_t SevenBitRun(const std::uint8_t* bytes, std::size_t size) {
    std::size_t run = 0;
#if defined(__SSE2__) || defined(_M_X64)
    for (; size - run >= 16; run += 16) {
        const auto high = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + run))));
        if (high != 0) return run + static_cast<std::size_t>(std::countr_zero(high));
    }
#endif
    for (; run + 8 <= size; run += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + run, 8);
        if ((word & 0x8080808080808080u) != 0) break;
    }
    while (run < size && bytes[run] < 0x80)
        ++run;
    return run;
}

// The same run, copied to `out` as it is found (widened to TChar): its
// length. Short runs cost no call to a copying function.
template <class TChar>
inline std::size_t CopySevenBitRun(const std::uint8_t* bytes, std::size_t size, TChar* out) {
    std::size_t run = 0;
    for (; run + 8 <= size; run += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + run, 8);
        if ((word & 0x8080808080808080u) != 0) break;
        for (std::size_t k = 0; k < 8; ++k)
            out[run + k] = static_cast<TChar>(bytes[run + k]);
    }
    for (; run < size && bytes[run] < 0x80; ++run)
        out[run] = static_cast<TChar>(bytes[run]);
    return run;
}

// CopySevenBitRun into bytes, 16 at a time, for text that mixes short runs
// of seven-bit bytes with other characters: `out` must have room for 15
// bytes past the run, which may be written over.
inline std::size_t CopySevenBitBytes(const std::uint8_t* bytes, std::size_t size, char* out) {
    std::size_t run = 0;
#if defined(__SSE2__) || defined(_M_X64)
    for (; size - run >= 16; run += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + run));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + run), chunk);
        if (const auto high = static_cast<unsigned>(_mm_movemask_epi8(chunk)); high != 0)
            return run + static_cast<std::size_t>(std::countr_zero(high));
    }
#endif
    return run + CopySevenBitRun(bytes + run, size - run, out + run);
}

// The length of the longest start of UTF-8 `text` that does not end inside
// a character still arriving: "A\xE3\x81" -> 1, "A\xE3\x81\x82" -> 4. Only the
// last three bytes are looked at.
std::size_t CompleteUtf8Length(std::string_view text);

// Byte strings of the operating system (file names, arguments, environment)
// to Unicode and back. Valid UTF-8 decodes as UTF-8; every byte of an
// ill-formed sequence becomes the lone surrogate U+DC80 + (byte - 0x80), and
// the way back turns such surrogates into their bytes again, so any name the
// system hands over survives the round trip.
std::u16string NativeToUnicode(std::string_view native);
std::string UnicodeToNative(std::u16string_view text);

}  // namespace quillmark
