#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <stdexcept>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "base/Blocks512.h"
#include "base/CodePage.h"
#include "base/CodePageCache.h"
#include "base/Utf.h"

namespace quillmark {

namespace {

// What a character rewrites to, in 16 bits: 0 not known yet, 0x100 | b the
// byte b, 0x200 nothing (U+0080), b1 << 8 | b2 two bytes (b1 is a lead byte).
constexpr std::uint16_t kNothing = 0x200;
// Runs that stay the same, from which a piece is looked at 64 bytes at a
// time between the characters that change.
constexpr std::size_t kLongRun = 64;

void Put(std::uint16_t entry, char*& at) {
    if (entry >= 0x8100) {
        at = PutTwoBytes(entry, at);
    } else if (entry != kNothing) {
        *at++ = static_cast<char>(entry);
    }
}

// Entries of the two-byte characters, shared by the rewriters of the
// process and learnt as they come: small enough to stay in the first-level
// cache.
std::atomic<std::uint16_t> gPairs[kPairs932];
std::atomic<std::uint16_t> gSingles[0x100];

// Whether the character of `size` bytes at `at` (one, or a lead byte and
// the byte after it) rewrites to itself as far as the tables have learnt it.
bool Unchanged(const std::uint8_t* at, std::size_t size) {
    if (size == 1) return gSingles[at[0]].load(std::memory_order_relaxed) == (0x100 | at[0]);
    return IsTrail932(at[1]) && gPairs[static_cast<std::size_t>(kLeadRows932[at[0]]) + (at[1] - 0x40u)].load(
                                    std::memory_order_relaxed) == (at[0] << 8 | at[1]);
}

// How many of the first bytes of `bytes` rewrite to themselves as far as
// the tables have learnt them, up to a character's start: seven-bit bytes,
// and characters whose entries are their own bytes. Seven-bit runs are
// passed over 16 bytes at a time, runs of other characters one by one.
std::size_t UnchangedPrefixByCharacters(const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0;;) {
        i += SevenBitRun(data + i, size - i);
        if (i == size) return size;
        do {
            const std::size_t length = kLeadRows932[data[i]] >= 0 ? 2 : 1;
            if (size - i < length || !Unchanged(data + i, length)) return i;
            i += length;
        } while (i < size && data[i] >= 0x80);
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
// The characters of JIS X 0208 that 932 reads and writes back as they are
// on every system: the kanji, kana, letters and symbols, not the gaps
// between them, nor NEC's or IBM's characters, some of which 932 writes
// otherwise (the rewriter's test holds 932 to this). A pair stays when the
// class of its lead byte and that of its trail byte share a bit: a bit for
// the rows of kanji without gaps, one for each other row.
struct TByteRange {
    std::uint8_t Low, High;
};

constexpr std::array<std::uint8_t, 256> ByteClasses(
    std::initializer_list<std::pair<std::uint8_t, std::initializer_list<TByteRange>>> classes) {
    std::array<std::uint8_t, 256> table{};
    for (const auto& [bit, ranges] : classes)
        for (const TByteRange range : ranges)
            for (unsigned byte = range.Low; byte <= range.High; ++byte)
                table[byte] |= bit;
    return table;
}

constexpr auto kLeadClasses = ByteClasses({{0x01, {{0x89, 0x97}, {0x99, 0x9F}, {0xE0, 0xE9}}},
                                           {0x02, {{0x81, 0x81}}},
                                           {0x04, {{0x82, 0x82}}},
                                           {0x08, {{0x83, 0x83}}},
                                           {0x10, {{0x84, 0x84}}},
                                           {0x20, {{0x88, 0x88}}},
                                           {0x40, {{0x98, 0x98}}},
                                           {0x80, {{0xEA, 0xEA}}}});
constexpr auto kTrailClasses = ByteClasses({
    {0x01, {{0x40, 0x7E}, {0x80, 0xFC}}},
    // Punctuation and symbols.
    {0x02,
     {{0x40, 0x7E}, {0x80, 0xAC}, {0xB8, 0xBF}, {0xC8, 0xCE}, {0xDA, 0xE8}, {0xF0, 0xF7}, {0xFC, 0xFC}}},
    // Digits, Latin letters, hiragana.
    {0x04, {{0x4F, 0x58}, {0x60, 0x79}, {0x81, 0x9A}, {0x9F, 0xF1}}},
    // Katakana, Greek.
    {0x08, {{0x40, 0x7E}, {0x80, 0x96}, {0x9F, 0xB6}, {0xBF, 0xD6}}},
    // Cyrillic, box drawing.
    {0x10, {{0x40, 0x60}, {0x70, 0x7E}, {0x80, 0x91}, {0x9F, 0xBE}}},
    // The first and last rows of kanji, and the first half of the one between.
    {0x20, {{0x9F, 0xFC}}},
    {0x40, {{0x40, 0x72}, {0x9F, 0xFC}}},
    {0x80, {{0x40, 0x7E}, {0x80, 0xA4}}},
});

// The class of each byte of `bytes` in `table`.
__attribute__((target("avx512bw,avx512vbmi"), always_inline)) inline __m512i Classes(
    __m512i bytes, const std::array<std::uint8_t, 256>& table) {
    const std::uint8_t* const at = table.data();
    const __m512i low = _mm512_permutex2var_epi8(_mm512_loadu_si512(at), bytes, _mm512_loadu_si512(at + 64));
    const __m512i high =
        _mm512_permutex2var_epi8(_mm512_loadu_si512(at + 128), bytes, _mm512_loadu_si512(at + 192));
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(bytes), low, high);
}

// The same, 64 bytes at a time (which bytes lead a character is worked out
// for a whole block at once). Characters that 932 keeps as they are on every
// system (kLeadClasses, half-width katakana) pass unlooked at; the others
// from 0x80 up are looked up.
__attribute__((target("avx512bw,avx512vbmi"))) std::size_t UnchangedPrefixAvx512(const std::uint8_t* data,
                                                                                 std::size_t size) {
    std::uint64_t endsLead = 0;  // 1 when the block's first byte ends a character begun before it
    std::size_t i = 0;
    // A block is looked at with the byte after it.
    for (; size - i > 64; i += 64) {
        const __m512i block = _mm512_loadu_si512(data + i);
        const std::uint64_t high = _mm512_movepi8_mask(block);
        if (high == 0) {
            endsLead = 0;
            continue;
        }
        const std::uint64_t leads = LeadBytes(block, endsLead);
        const std::uint64_t characters = high & ~((leads << 1) | endsLead);
        const std::uint64_t staying =
            (leads & _mm512_test_epi8_mask(Classes(block, kLeadClasses),
                                           Classes(_mm512_loadu_si512(data + i + 1), kTrailClasses))) |
            (characters & ~leads & Within(block, 0xA1, 0xDF));
        for (std::uint64_t other = characters & ~staying; other != 0; other &= other - 1) {
            const std::size_t at = i + static_cast<std::size_t>(std::countr_zero(other));
            if (!Unchanged(data + at, (leads >> (at - i) & 1) != 0 ? 2 : 1)) return at;
        }
        endsLead = leads >> 63;
    }
    // What is left, from the first character that begins in it.
    i += endsLead;
    return i + UnchangedPrefixByCharacters(data + i, size - i);
}
#endif

std::size_t UnchangedPrefix(std::string_view bytes) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
#if defined(__x86_64__) && defined(__GNUC__)
    static const bool avx512 = __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi");
    if (avx512) return UnchangedPrefixAvx512(data, bytes.size());
#endif
    return UnchangedPrefixByCharacters(data, bytes.size());
}

}  // namespace

TShiftJisRewriter::TShiftJisRewriter()
    : FDecoder(TCodePageDecoder::Create(CP_SHIFT_JIS)), FEncoder(TCodePageEncoder::Create(CP_SHIFT_JIS)) {
    if (!FDecoder || !FEncoder) throw std::runtime_error("Unsupported code page");
    // The decoder's default character, for a lead byte followed by no trail.
    std::u16string text;
    FDecoder->Decode(std::string_view("\x81\x20", 2), true, text);
    std::string bytes;
    FEncoder->Encode(text.substr(0, 1), true, bytes);
    FBadPair = bytes.size() == 2 ? static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[0]) << 8 |
                                                              static_cast<std::uint8_t>(bytes[1]))
                                 : static_cast<std::uint16_t>(0x100 | static_cast<std::uint8_t>(bytes[0]));
}

TShiftJisRewriter::~TShiftJisRewriter() = default;

std::uint16_t TShiftJisRewriter::Learn(std::string_view bytes) {
    std::string rewritten;
    RewriteExactly(bytes, rewritten);
    if (rewritten.empty()) return kNothing;
    const auto first = static_cast<std::uint8_t>(rewritten[0]);
    if (rewritten.size() == 1) return static_cast<std::uint16_t>(0x100 | first);
    return static_cast<std::uint16_t>(first << 8 | static_cast<std::uint8_t>(rewritten[1]));
}

// Through the decoder and the encoder, for what the tables do not hold.
void TShiftJisRewriter::RewriteExactly(std::string_view bytes, std::string& out) {
    std::u16string text;
    FDecoder->Decode(bytes, true, text);
    std::erase(text, u'\x80');
    FEncoder->Encode(text, true, out);
}

void TShiftJisRewriter::Rewrite(std::string_view bytes, bool flush, std::string& out) {
    if (FHasLead && !bytes.empty()) {
        // The lead byte held back from the previous piece, with its trail.
        FHasLead = false;
        const char pair[2] = {static_cast<char>(FLead), bytes.front()};
        if (IsTrail932(static_cast<std::uint8_t>(bytes.front()))) {
            RewriteExactly(std::string_view(pair, 2), out);
            bytes.remove_prefix(1);
        } else {
            char bad[2];
            char* at = bad;
            Put(FBadPair, at);
            out.append(bad, static_cast<std::size_t>(at - bad));
        }
    }
    if (FHasLead) {
        if (flush) RewriteExactly(std::string_view(reinterpret_cast<const char*>(&FLead), 1), out);
        FHasLead = !flush;
        return;
    }
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const std::size_t size = bytes.size();
    // A character never takes more than two bytes, and a byte alone never
    // more than two.
    if (FScratchSize < 2 * size) {
        FScratchSize = 2 * size;
        FScratch.reset(new char[FScratchSize]);
    }
    char* const begin = FScratch.get();
    char* at = begin;
    std::size_t i = 0;
    while (i < size) {
        // Seven-bit text, eight bytes at a time: 932 keeps it as it is.
        while (i + 8 <= size) {
            std::uint64_t word;
            std::memcpy(&word, data + i, 8);
            if ((word & 0x8080808080808080u) != 0) break;
            std::memcpy(at, data + i, 8);
            at += 8;
            i += 8;
        }
        // Runs of two-byte characters already learnt, most of Japanese text.
        while (i + 1 < size) {
            const std::int32_t row = kLeadRows932[data[i]];
            const std::uint8_t trail = data[i + 1];
            if (row < 0 || !IsTrail932(trail)) break;
            const std::uint16_t entry =
                gPairs[static_cast<std::size_t>(row) + (trail - 0x40u)].load(std::memory_order_relaxed);
            if (entry < 0x8100) break;
            at = PutTwoBytes(entry, at);
            i += 2;
        }
        if (i == size) break;
        const std::uint8_t byte = data[i];
        if (byte < 0x80) {
            *at++ = static_cast<char>(byte);
            ++i;
        } else if (!IsLead932(byte)) {
            std::uint16_t entry = gSingles[byte].load(std::memory_order_relaxed);
            if (entry == 0) {
                entry = Learn(std::string_view(reinterpret_cast<const char*>(data + i), 1));
                gSingles[byte].store(entry, std::memory_order_relaxed);
            }
            Put(entry, at);
            ++i;
        } else if (i + 1 == size) {
            out.append(begin, static_cast<std::size_t>(at - begin));
            if (flush) {
                RewriteExactly(std::string_view(reinterpret_cast<const char*>(data + i), 1), out);
            } else {
                FLead = byte;
                FHasLead = true;
            }
            return;
        } else if (IsTrail932(data[i + 1])) {
            std::atomic<std::uint16_t>& slot = gPairs[PairIndex932(byte, data[i + 1])];
            std::uint16_t entry = slot.load(std::memory_order_relaxed);
            if (entry == 0) {
                entry = Learn(std::string_view(reinterpret_cast<const char*>(data + i), 2));
                slot.store(entry, std::memory_order_relaxed);
            }
            Put(entry, at);
            i += 2;
        } else {
            // A lead byte without its trail; the next byte is read on its own.
            Put(FBadPair, at);
            ++i;
        }
    }
    out.append(begin, static_cast<std::size_t>(at - begin));
}

std::string_view TShiftJisRewriter::RewriteView(std::string_view bytes, bool flush, std::string& out) {
    out.clear();
    // A lead byte held back from the previous piece goes out with the byte
    // after it (or alone), before the rest is looked at.
    while (FHasLead && !bytes.empty()) {
        Rewrite(bytes.substr(0, 1), flush && bytes.size() == 1, out);
        bytes.remove_prefix(1);
    }
    if (FHasLead) {
        Rewrite(bytes, flush, out);
        return out;
    }
    std::size_t same = UnchangedPrefix(bytes);
    if (same == bytes.size() && out.empty()) return bytes;
    // Characters that change are rewritten one by one between the runs
    // that stay; where such runs are short, the rest is rewritten whole.
    while (same >= kLongRun) {
        out.append(bytes.data(), same);
        bytes.remove_prefix(same);
        if (bytes.empty()) return out;
        const std::size_t length =
            IsLead932(static_cast<std::uint8_t>(bytes[0])) && bytes.size() >= 2 ? 2 : 1;
        Rewrite(bytes.substr(0, length), flush && length == bytes.size(), out);
        bytes.remove_prefix(length);
        same = UnchangedPrefix(bytes);
    }
    out.append(bytes.data(), same);
    bytes.remove_prefix(same);
    Rewrite(bytes, flush, out);
    return out;
}

}  // namespace quillmark
