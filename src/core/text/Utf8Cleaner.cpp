#include "text/Utf8Cleaner.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "base/CodePage.h"
#include "base/Utf.h"

namespace quillmark {

namespace {

// The range the second byte of a sequence must be in, by lead byte
// (Unicode's table of well-formed UTF-8), and the sequence's length.
struct TLead {
    std::uint8_t Length;  // 0: not a lead byte
    std::uint8_t SecondLow;
    std::uint8_t SecondHigh;
};

constexpr TLead ComputeLead(std::uint8_t byte) {
    if (byte >= 0xC2 && byte <= 0xDF) return {2, 0x80, 0xBF};
    if (byte == 0xE0) return {3, 0xA0, 0xBF};
    if (byte >= 0xE1 && byte <= 0xEC) return {3, 0x80, 0xBF};
    if (byte == 0xED) return {3, 0x80, 0x9F};
    if (byte >= 0xEE && byte <= 0xEF) return {3, 0x80, 0xBF};
    if (byte == 0xF0) return {4, 0x90, 0xBF};
    if (byte >= 0xF1 && byte <= 0xF3) return {4, 0x80, 0xBF};
    if (byte == 0xF4) return {4, 0x80, 0x8F};
    return {0, 0, 0};
}

constexpr auto kLeads = [] {
    std::array<TLead, 256> leads{};
    for (unsigned byte = 0; byte < 256; ++byte)
        leads[byte] = ComputeLead(static_cast<std::uint8_t>(byte));
    return leads;
}();

TLead LeadOf(std::uint8_t byte) {
    return kLeads[byte];
}

bool IsTrail(std::uint8_t byte) {
    return byte >= 0x80 && byte <= 0xBF;
}

// How many bytes at the end of `bytes` start a character that is well formed
// so far but not complete: the decoder waits for more of them.
std::size_t IncompleteTail(std::string_view bytes) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const std::size_t size = bytes.size();
    for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
        const std::uint8_t byte = data[size - back];
        if (IsTrail(byte)) continue;
        const TLead lead = LeadOf(byte);
        if (lead.Length <= back) return 0;
        if (back >= 2 && (data[size - back + 1] < lead.SecondLow || data[size - back + 1] > lead.SecondHigh))
            return 0;
        for (std::size_t i = 2; i < back; ++i)
            if (!IsTrail(data[size - back + i])) return 0;
        return back;
    }
    return 0;
}

// IsCleanUtf8 one character at a time.
bool IsCleanScalar(const std::uint8_t* data, std::size_t size) {
    std::size_t i = 0;
    while (i < size) {
        i += SevenBitRun(data + i, size - i);
        if (i >= size) break;
        const std::uint8_t byte = data[i];
        // Kana and kanji: three bytes 1110xxxx 10xxxxxx 10xxxxxx, checked in
        // one step (only E0 and ED restrict their second byte further).
        if (i + 3 <= size && (byte & 0xF0) == 0xE0 && (data[i + 1] & 0xC0) == 0x80 &&
            (data[i + 2] & 0xC0) == 0x80) {
            if ((byte == 0xE0 && data[i + 1] < 0xA0) || (byte == 0xED && data[i + 1] > 0x9F)) return false;
            i += 3;
            continue;
        }
        const TLead lead = LeadOf(byte);
        if (lead.Length == 0 || i + lead.Length > size) return false;
        const std::uint8_t second = data[i + 1];
        if (second < lead.SecondLow || second > lead.SecondHigh) return false;
        if (byte == 0xC2 && second == 0x80) return false;
        for (std::size_t k = 2; k < lead.Length; ++k)
            if (!IsTrail(data[i + k])) return false;
        i += lead.Length;
    }
    return true;
}

#if defined(__x86_64__) && defined(__GNUC__)
#define QUILLMARK_UTF8_VECTOR 1

// The check of 32 or 64 bytes at a time after Keiser and Lemire ("Validating
// UTF-8 in less than one instruction per byte", 2021): three table lookups
// on the nibbles of each byte and the one before it flag every ill-formed
// pair of bytes; the bytes that must continue a three- or four-byte
// character are worked out from the two and three before. Pairs C2 80 are
// flagged on top.
namespace vector {

constexpr std::uint8_t kTooShort = 1 << 0;      // 11______ 0_______ or 11______ 11______
constexpr std::uint8_t kTooLong = 1 << 1;       // 0_______ 10______
constexpr std::uint8_t kOverlong3 = 1 << 2;     // 11100000 100_____
constexpr std::uint8_t kTooLarge = 1 << 3;      // 11110100 1001____, 11110100 101_____, 11110101+ 10______
constexpr std::uint8_t kSurrogate = 1 << 4;     // 11101101 101_____
constexpr std::uint8_t kOverlong2 = 1 << 5;     // 1100000_ 10______
constexpr std::uint8_t kTooLarge1000 = 1 << 6;  // 11110101+ 1000____
constexpr std::uint8_t kOverlong4 = 1 << 6;     // 11110000 1000____
constexpr std::uint8_t kTwoConts = 1 << 7;      // 10______ 10______
constexpr std::uint8_t kCarry = kTooShort | kTooLong | kTwoConts;

// What each byte pair may be wrong in, by the nibbles of the first byte and
// the high nibble of the second.
constexpr std::uint8_t kFirstHigh[16] = {kTooLong,
                                         kTooLong,
                                         kTooLong,
                                         kTooLong,
                                         kTooLong,
                                         kTooLong,
                                         kTooLong,
                                         kTooLong,  // 0_______
                                         kTwoConts,
                                         kTwoConts,
                                         kTwoConts,
                                         kTwoConts,                                            // 10______
                                         kTooShort | kOverlong2,                               // 1100____
                                         kTooShort,                                            // 1101____
                                         kTooShort | kOverlong3 | kSurrogate,                  // 1110____
                                         kTooShort | kTooLarge | kTooLarge1000 | kOverlong4};  // 1111____
constexpr std::uint8_t kFirstLow[16] = {kCarry | kOverlong3 | kOverlong2 | kOverlong4,         // ____0000
                                        kCarry | kOverlong2,                                   // ____0001
                                        kCarry,
                                        kCarry,
                                        kCarry | kTooLarge,  // ____0100
                                        kCarry | kTooLarge | kTooLarge1000,
                                        kCarry | kTooLarge | kTooLarge1000,
                                        kCarry | kTooLarge | kTooLarge1000,
                                        kCarry | kTooLarge | kTooLarge1000,
                                        kCarry | kTooLarge | kTooLarge1000,
                                        kCarry | kTooLarge | kTooLarge1000,
                                        kCarry | kTooLarge | kTooLarge1000,
                                        kCarry | kTooLarge | kTooLarge1000,
                                        kCarry | kTooLarge | kTooLarge1000 | kSurrogate,  // ____1101
                                        kCarry | kTooLarge | kTooLarge1000,
                                        kCarry | kTooLarge | kTooLarge1000};
constexpr std::uint8_t kSecondHigh[16] = {
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,                                                                    // 0_______
    kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000 | kOverlong4,  // 1000____
    kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge,                   // 1001____
    kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,                   // 1010____
    kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,                   // 1011____
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort};  // 11______

__attribute__((target("avx2"))) inline __m256i Table(const std::uint8_t (&entries)[16]) {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(entries)));
}

// The 32 bytes before each of `input`'s, `back` places back, the first
// ones taken from `previous`.
template <int back>
__attribute__((target("avx2"))) inline __m256i Before(__m256i input, __m256i previous) {
    return _mm256_alignr_epi8(input, _mm256_permute2x128_si256(previous, input, 0x21), 16 - back);
}

__attribute__((target("avx2"))) bool IsCleanAvx2(const std::uint8_t* data, std::size_t size) {
    const __m256i firstHigh = Table(kFirstHigh), firstLow = Table(kFirstLow), secondHigh = Table(kSecondHigh);
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i thirdFloor = _mm256_set1_epi8(static_cast<char>(0xE0 - 0x80));
    const __m256i fourthFloor = _mm256_set1_epi8(static_cast<char>(0xF0 - 0x80));
    const __m256i highBit = _mm256_set1_epi8(static_cast<char>(0x80));
    const __m256i c2 = _mm256_set1_epi8(static_cast<char>(0xC2));

    __m256i previous = _mm256_setzero_si256();
    __m256i error = _mm256_setzero_si256();
    std::size_t i = 0;
#define QUILLMARK_CHECK_32(load)                                                                         \
    do {                                                                                                 \
        const __m256i input = (load);                                                                    \
        const __m256i before1 = Before<1>(input, previous);                                              \
        const __m256i special = _mm256_and_si256(                                                        \
            _mm256_and_si256(                                                                            \
                _mm256_shuffle_epi8(firstHigh, _mm256_and_si256(_mm256_srli_epi16(before1, 4), nibble)), \
                _mm256_shuffle_epi8(firstLow, _mm256_and_si256(before1, nibble))),                       \
            _mm256_shuffle_epi8(secondHigh, _mm256_and_si256(_mm256_srli_epi16(input, 4), nibble)));     \
        const __m256i third = _mm256_subs_epu8(Before<2>(input, previous), thirdFloor);                  \
        const __m256i fourth = _mm256_subs_epu8(Before<3>(input, previous), fourthFloor);                \
        const __m256i mustContinue = _mm256_and_si256(_mm256_or_si256(third, fourth), highBit);          \
        const __m256i u0080 =                                                                            \
            _mm256_and_si256(_mm256_cmpeq_epi8(before1, c2), _mm256_cmpeq_epi8(input, highBit));         \
        error = _mm256_or_si256(error, _mm256_or_si256(_mm256_xor_si256(mustContinue, special), u0080)); \
        previous = input;                                                                                \
    } while (false)
    for (; i + 32 <= size; i += 32) {
        QUILLMARK_CHECK_32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i)));
        // Looked at now and then, so that ill-formed text is left early.
        if ((i & 0xFFF) == 0 && !_mm256_testz_si256(error, error)) return false;
    }
    // The rest, then seven-bit bytes after it: a character the end cuts is
    // then too short.
    std::uint8_t last[64] = {};
    std::memcpy(last, data + i, size - i);
    QUILLMARK_CHECK_32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(last)));
    QUILLMARK_CHECK_32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(last + 32)));
#undef QUILLMARK_CHECK_32
    return _mm256_testz_si256(error, error) != 0;
}

// The same, 64 bytes at a time.
class TChecker512 {
  public:
    __attribute__((target("avx512bw"))) TChecker512()
        : FFirstHigh(Table(kFirstHigh)), FFirstLow(Table(kFirstLow)), FSecondHigh(Table(kSecondHigh)) {}

    __attribute__((target("avx512bw"))) void Check(__m512i input) {
        const __m512i nibble = _mm512_set1_epi8(0x0F);
        const __m512i before1 = Before<1>(input);
        const __m512i special = _mm512_and_si512(
            _mm512_and_si512(
                _mm512_shuffle_epi8(FFirstHigh, _mm512_and_si512(_mm512_srli_epi16(before1, 4), nibble)),
                _mm512_shuffle_epi8(FFirstLow, _mm512_and_si512(before1, nibble))),
            _mm512_shuffle_epi8(FSecondHigh, _mm512_and_si512(_mm512_srli_epi16(input, 4), nibble)));
        const __m512i third =
            _mm512_subs_epu8(Before<2>(input), _mm512_set1_epi8(static_cast<char>(0xE0 - 0x80)));
        const __m512i fourth =
            _mm512_subs_epu8(Before<3>(input), _mm512_set1_epi8(static_cast<char>(0xF0 - 0x80)));
        const __m512i highBit = _mm512_set1_epi8(static_cast<char>(0x80));
        const __m512i mustContinue = _mm512_and_si512(_mm512_or_si512(third, fourth), highBit);
        FError = _mm512_or_si512(FError, _mm512_xor_si512(mustContinue, special));
        FU0080 |= _mm512_cmpeq_epi8_mask(before1, _mm512_set1_epi8(static_cast<char>(0xC2))) &
                  _mm512_cmpeq_epi8_mask(input, highBit);
        FPrevious = input;
    }

    __attribute__((target("avx512bw"))) bool Failed() const {
        return FU0080 != 0 || _mm512_test_epi8_mask(FError, FError) != 0;
    }

  private:
    __attribute__((target("avx512bw"))) static __m512i Table(const std::uint8_t (&entries)[16]) {
        // Through the masked form: GCC 12 warns about the plain one.
        return _mm512_maskz_broadcast_i32x4(0xFFFF,
                                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(entries)));
    }

    // The 64 bytes before each of `input`'s, `back` places back: the lanes
    // of 16 bytes moved up by one (the last of the previous input first),
    // then joined with `input`'s own lanes.
    template <int back>
    __attribute__((target("avx512bw"))) __m512i Before(__m512i input) const {
        const __m512i lanes =
            _mm512_permutex2var_epi64(FPrevious, _mm512_set_epi64(13, 12, 11, 10, 9, 8, 7, 6), input);
        return _mm512_alignr_epi8(input, lanes, 16 - back);
    }

    __m512i FFirstHigh, FFirstLow, FSecondHigh;
    __m512i FPrevious = _mm512_setzero_si512();
    __m512i FError = _mm512_setzero_si512();
    __mmask64 FU0080 = 0;
};

__attribute__((target("avx512bw"))) bool IsCleanAvx512(const std::uint8_t* data, std::size_t size) {
    TChecker512 checker;
    std::size_t i = 0;
    for (; i + 64 <= size; i += 64) {
        checker.Check(_mm512_loadu_si512(data + i));
        // Looked at now and then, so that ill-formed text is left early.
        if ((i & 0xFFF) == 0 && checker.Failed()) return false;
    }
    // The rest, then seven-bit bytes after it: a character the end cuts is
    // then too short.
    std::uint8_t last[128] = {};
    std::memcpy(last, data + i, size - i);
    checker.Check(_mm512_loadu_si512(last));
    checker.Check(_mm512_loadu_si512(last + 64));
    return !checker.Failed();
}

}  // namespace vector
#endif

}  // namespace

bool IsCleanUtf8(std::string_view bytes) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
#if defined(QUILLMARK_UTF8_VECTOR)
    static const bool hasAvx512 = __builtin_cpu_supports("avx512bw");
    static const bool hasAvx2 = __builtin_cpu_supports("avx2");
    if (hasAvx512 && bytes.size() >= 128) return vector::IsCleanAvx512(data, bytes.size());
    if (hasAvx2 && bytes.size() >= 64) return vector::IsCleanAvx2(data, bytes.size());
#endif
    return IsCleanScalar(data, bytes.size());
}

// Takes out the pairs C2 80; a C2 at the end waits for the next piece.
std::string_view TUtf8Cleaner::DropU0080(std::string_view bytes, bool last) {
    // A C2 held back goes with an 80 that follows it, and is written otherwise.
    bool heldC2 = !FCarry.empty();
    if (heldC2 && bytes.starts_with('\x80')) {
        bytes.remove_prefix(1);
        heldC2 = false;
    }
    const bool cut = !last && bytes.ends_with('\xC2');
    if (cut) bytes.remove_suffix(1);
    FCarry.assign(cut ? 1 : 0, '\xC2');
    std::size_t at = bytes.find("\xC2\x80");
    if (!heldC2 && at == std::string_view::npos) return bytes;
    FClean.assign(heldC2 ? 1 : 0, '\xC2');
    for (; at != std::string_view::npos; at = bytes.find("\xC2\x80")) {
        FClean.append(bytes.substr(0, at));
        bytes.remove_prefix(at + 2);
    }
    FClean.append(bytes);
    return FClean;
}

std::string_view TUtf8Cleaner::Clean(std::string_view bytes, bool last) {
    if (FStructureOnly) return DropU0080(bytes, last);
    if (!FCarry.empty()) {
        FJoined.assign(FCarry);
        FJoined.append(bytes);
        FCarry.clear();
        bytes = FJoined;
    }
    if (!last) {
        const std::size_t tail = IncompleteTail(bytes);
        FCarry.assign(bytes.substr(bytes.size() - tail));
        bytes.remove_suffix(tail);
    }
    if (IsCleanUtf8(bytes)) return bytes;
    // The piece ends where the decoder holds nothing back, so decoding it
    // on its own gives what decoding it in its place would.
    std::u16string text = MultiByteToWideChar(CP_UTF_8, bytes).value_or(std::u16string());
    std::erase(text, u'\x80');
    FClean.clear();
    AppendUtf16AsUtf8(text, FClean);
    return FClean;
}

}  // namespace quillmark
