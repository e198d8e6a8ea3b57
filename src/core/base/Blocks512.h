#pragma once

#if defined(__x86_64__) && defined(__GNUC__)
#include <cstdint>

#include <immintrin.h>

// Text looked at 64 bytes at a time with AVX-512.
namespace quillmark {

// The bytes of `bytes` from `low` to `high`.
__attribute__((target("avx512bw"), always_inline)) inline std::uint64_t Within(__m512i bytes,
                                                                               std::uint8_t low,
                                                                               std::uint8_t high) {
    return _mm512_cmple_epu8_mask(_mm512_sub_epi8(bytes, _mm512_set1_epi8(static_cast<char>(low))),
                                  _mm512_set1_epi8(static_cast<char>(high - low)));
}

// The 32 bytes at `from` in 16 bits each, those of `mask` kept. (The masked
// widening: the plain one trips GCC 12's uninitialized warning.)
__attribute__((target("avx512bw"), always_inline)) inline __m512i Widened(const std::uint8_t* from,
                                                                          std::uint8_t mask = 0xFF) {
    return _mm512_and_si512(
        _mm512_maskz_cvtepu8_epi16(~__mmask32{0}, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from))),
        _mm512_set1_epi16(mask));
}

// The code point of each of the 32 bytes at `from` as if it led a
// character of three bytes in UTF-8 (the two after it its trail bytes).
__attribute__((target("avx512bw"), always_inline)) inline __m512i ThreeByteCodePoints(
    const std::uint8_t* from) {
    return _mm512_or_si512(_mm512_or_si512(_mm512_slli_epi16(Widened(from, 0x0F), 12),
                                           _mm512_slli_epi16(Widened(from + 1, 0x3F), 6)),
                           Widened(from + 2, 0x3F));
}

// The code point of each of the 32 bytes at `from` as if it led a
// character of two bytes in UTF-8 (the byte after it its trail byte).
__attribute__((target("avx512bw"), always_inline)) inline __m512i TwoByteCodePoints(
    const std::uint8_t* from) {
    return _mm512_or_si512(_mm512_slli_epi16(Widened(from, 0x1F), 6), Widened(from + 1, 0x3F));
}

// The code point of each of the 32 bytes at `from` as if it led a
// character of two bytes in UTF-8 where its bit of `twos` is set, of three
// bytes where it is not.
__attribute__((target("avx512bw"), always_inline)) inline __m512i LeadCodePoints(const std::uint8_t* from,
                                                                                 __mmask32 twos) {
    const __m512i threes = ThreeByteCodePoints(from);
    return twos == 0 ? threes : _mm512_mask_blend_epi16(twos, threes, TwoByteCodePoints(from));
}

// Whether the processor takes the 64-byte paths: AVX-512 with VBMI2 (the
// byte and word packing), BMI2 and bit counts.
inline bool CanUseBlocks() {
    static const bool can = __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi2") &&
                            __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
    return can;
}

// Which bytes of `block` lead a two-byte character of 932; `endsLead` is 1
// when the block's first byte ends a character begun before it. A byte that
// cannot lead one is a character of its own or ends one, so every run of
// bytes that can lead begins a character, and leads are those an even
// number of bytes into their run.
__attribute__((target("avx512bw"), always_inline)) inline std::uint64_t LeadBytes(__m512i block,
                                                                                  std::uint64_t endsLead) {
    constexpr std::uint64_t kEven = 0x5555555555555555u;
    const std::uint64_t canLead = (Within(block, 0x81, 0x9F) | Within(block, 0xE0, 0xFC)) & ~endsLead;
    const std::uint64_t runStarts = canLead & ~(canLead << 1);
    // Adding a run's first bit clears the run: runs that begin on an even byte.
    const std::uint64_t evenRuns = canLead & ~(canLead + (runStarts & kEven));
    return (evenRuns & kEven) | (canLead & ~evenRuns & ~kEven);
}

// The bytes of `block` that can end a two-byte character of 932.
__attribute__((target("avx512bw"), always_inline)) inline std::uint64_t TrailBytes(__m512i block) {
    return Within(block, 0x40, 0x7E) | Within(block, 0x80, 0xFC);
}

}  // namespace quillmark
#endif
