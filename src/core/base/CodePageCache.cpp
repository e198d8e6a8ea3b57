#include "base/CodePageCache.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "base/Blocks512.h"
#include "base/Utf.h"

namespace quillmark {

namespace {

// What the exact converter gives for each of 65536 keys, learnt as the keys
// come and shared by the converters of one code page in the process: 16
// bits an entry, so that the parts in use stay in the first-level cache. An
// entry is 0 until it is known. Two threads learning the same key store the
// same value.
class TSharedTable {
  public:
    static TSharedTable& For(TCodePage codePage, bool decoding) {
        static std::mutex mutex;
        static std::map<std::pair<TCodePage, bool>, std::unique_ptr<TSharedTable>> tables;
        const std::lock_guard lock(mutex);
        auto& table = tables[{codePage, decoding}];
        if (!table) table = std::make_unique<TSharedTable>();
        return *table;
    }

    std::uint16_t Get(std::size_t key) const { return FEntries[key].load(std::memory_order_relaxed); }
    // For loops that look up many keys: kept in a register, not reloaded
    // after every byte they write.
    const std::atomic<std::uint16_t>* Entries() const { return FEntries.get(); }
    void Set(std::size_t key, std::uint16_t value) { FEntries[key].store(value, std::memory_order_relaxed); }

  private:
    std::unique_ptr<std::atomic<std::uint16_t>[]> FEntries =
        std::make_unique<std::atomic<std::uint16_t>[]>(0x10000);
};

// The UTF-8 form of every two-byte character of 932, learnt as they come:
// the bytes in bits 0-23, their number in bits 24-31; 0 while not known.
std::atomic<std::uint32_t> gUtf8Pairs932[kPairs932];

#if defined(__x86_64__) && defined(__GNUC__)
// The UTF-8 form of half-width katakana A1-DF (U+FF61-FF9F) in
// gUtf8Pairs932's form.
inline constexpr auto kKanaUtf8 = [] {
    std::array<std::uint32_t, 0xDF - 0xA1 + 1> slots{};
    for (unsigned byte = 0xA1; byte <= 0xDF; ++byte) {
        const unsigned unit = 0xFF61 + (byte - 0xA1);
        slots[byte - 0xA1] =
            0xE0u | unit >> 12 | (0x80u | (unit >> 6 & 0x3F)) << 8 | (0x80u | (unit & 0x3F)) << 16 | 3u << 24;
    }
    return slots;
}();

// Decodes `data` (which begins a character) into UTF-8 at `target` 64
// bytes at a time, for as long as every character of a block is seven-bit
// (read as itself), half-width katakana (U+FF61 on) or a pair whose UTF-8
// form is in gUtf8Pairs932: a block with anything else, and the byte after
// the last, are left to the caller. Each byte of a block gets a slot of
// four bytes (the character it begins, in gUtf8Pairs932's form; nothing
// for a trail byte), and the slots are packed to their characters' bytes.
// `slots` and `indexes` hold 64 each. Returns how many bytes were read, up to a character's
// start; `target` is moved past what was written, and up to 64 bytes after
// it may be overwritten.
__attribute__((target("avx512bw,avx512vbmi2"))) std::size_t DecodeBlocksAvx512(
    const std::uint8_t* data, std::size_t size, std::uint32_t* slots, std::uint16_t* indexes, char*& target) {
    // Only read here: an entry another thread writes meanwhile is seen
    // whole or not at all, like the scalar loop's relaxed loads.
    const auto* const pairs = reinterpret_cast<const std::uint32_t*>(gUtf8Pairs932);
    static_assert(sizeof(gUtf8Pairs932[0]) == sizeof(std::uint32_t));
    // Each slot's length (its top byte) in all four of its bytes, and the
    // place of each byte in its slot.
    const __m512i lengthOfSlot =
        _mm512_set_epi64(0x0F0F0F0F0B0B0B0B, 0x0707070703030303, 0x0F0F0F0F0B0B0B0B, 0x0707070703030303,
                         0x0F0F0F0F0B0B0B0B, 0x0707070703030303, 0x0F0F0F0F0B0B0B0B, 0x0707070703030303);
    const __m512i placeInSlot = _mm512_set1_epi32(0x03020100);
    std::uint64_t endsLead = 0;
    std::size_t i = 0;
    char* at = target;
    // A block is looked at with the byte after it.
    for (; size - i > 64; i += 64) {
        const __m512i block = _mm512_loadu_si512(data + i);
        const std::uint64_t high = _mm512_movepi8_mask(block);
        if ((high | endsLead) == 0) {
            _mm512_storeu_si512(at, block);
            at += 64;
            continue;
        }
        const std::uint64_t leads = LeadBytes(block, endsLead);
        const std::uint64_t trails = leads << 1 | endsLead;
        const std::uint64_t kana = high & ~leads & ~trails;
        if ((leads & ~TrailBytes(_mm512_loadu_si512(data + i + 1))) != 0 ||
            (kana & ~Within(block, 0xA1, 0xDF)) != 0)
            break;
        // PairIndex932 of each byte with the byte after it, as if it led a
        // character, 32 at a time.
        for (unsigned half = 0; half < 2; ++half) {
            const __m512i bytes = Widened(data + i + 32 * half);
            const __m512i nexts = Widened(data + i + 32 * half + 1);
            const __m512i rows = _mm512_sub_epi16(
                bytes, _mm512_mask_blend_epi16(_mm512_cmple_epu16_mask(bytes, _mm512_set1_epi16(0x9F)),
                                               _mm512_set1_epi16(0xE0 - 31), _mm512_set1_epi16(0x81)));
            _mm512_storeu_si512(indexes + 32 * half,
                                _mm512_add_epi16(_mm512_mullo_epi16(rows, _mm512_set1_epi16(kTrails932)),
                                                 _mm512_sub_epi16(nexts, _mm512_set1_epi16(0x40))));
        }
        // The pairs' slots, looked up one by one, then the katakana's.
        std::uint32_t unknown = 0;
        for (std::uint64_t rest = leads; rest != 0; rest &= rest - 1) {
            const auto lead = static_cast<std::size_t>(std::countr_zero(rest));
            const std::uint32_t slot = pairs[indexes[lead]];
            unknown |= slot == 0;
            slots[lead] = slot;
        }
        if (unknown != 0) break;
        for (std::uint64_t rest = kana; rest != 0; rest &= rest - 1) {
            const auto byte = static_cast<std::size_t>(std::countr_zero(rest));
            slots[byte] = kKanaUtf8[data[i + byte] - 0xA1u];
        }
        const std::uint64_t sevenBit = ~(high | trails);
        for (unsigned quarter = 0; quarter < 4; ++quarter) {
            const __m512i bytes = _mm512_maskz_cvtepu8_epi32(
                __mmask16{0xFFFF},
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + 16 * quarter)));
            const __m512i quarterSlots = _mm512_mask_loadu_epi32(
                _mm512_maskz_or_epi32(static_cast<__mmask16>(sevenBit >> 16 * quarter), bytes,
                                      _mm512_set1_epi32(0x01000000)),
                static_cast<__mmask16>((leads | kana) >> 16 * quarter), slots + 16 * quarter);
            const std::uint64_t used =
                _mm512_cmplt_epu8_mask(placeInSlot, _mm512_shuffle_epi8(quarterSlots, lengthOfSlot));
            _mm512_storeu_si512(at, _mm512_maskz_compress_epi8(used, quarterSlots));
            at += std::popcount(used);
        }
        endsLead = leads >> 63;
    }
    target = at;
    return i + endsLead;
}
#endif

#if defined(__x86_64__) && defined(__GNUC__)
// Encodes UTF-8 `data` (which begins a character) into an ANSI code page
// whose seven-bit characters are themselves, at `target`, 64 bytes at a
// time, for as long as every character of a block is seven-bit or of two
// or three bytes (U+0080-FFFF, surrogates left out) with its bytes in
// `entries` (TSharedTable's form: 0x100 | b one byte, b1 << 8 | b2 two):
// a block with anything else is left to the caller. Each byte of a block
// gets a slot of two bytes (the bytes of the character it begins; nothing
// for the others), packed in one instruction per 32. `scratch` holds 64
// entries. Returns how many bytes were read, up to a character's start;
// `target` is moved past what was written, and up to 64 bytes after it may
// be overwritten.
__attribute__((target("avx512bw,avx512vbmi2,bmi2"))) std::size_t EncodeBlocksAvx512(
    const std::uint8_t* data, std::size_t size, const std::atomic<std::uint16_t>* entries,
    std::uint16_t* scratch, char*& target) {
    // Only read here: an entry another thread writes meanwhile is seen
    // whole or not at all, like the character loop's relaxed loads.
    const auto* const units = reinterpret_cast<const std::uint16_t*>(entries);
    static_assert(sizeof(entries[0]) == sizeof(std::uint16_t));
    constexpr std::uint64_t kLowBytes = 0x5555555555555555u;
    std::uint64_t carried = 0;  // the block's first bytes that end a character begun before it
    std::size_t i = 0;
    char* at = target;
    // A block is looked at with the two bytes after it.
    for (; size - i > 65; i += 64) {
        const __m512i block = _mm512_loadu_si512(data + i);
        const std::uint64_t high = _mm512_movepi8_mask(block);
        if ((high | carried) == 0) {
            _mm512_storeu_si512(at, block);
            at += 64;
            continue;
        }
        // Leads of two bytes from 0xC2: 0xC0 and 0xC1 begin overlong forms.
        const std::uint64_t twos = Within(block, 0xC2, 0xDF);
        const std::uint64_t threes = Within(block, 0xE0, 0xEF);
        const std::uint64_t leads = twos | threes;
        const std::uint64_t trails = Within(block, 0x80, 0xBF);
        if ((high & ~(leads | trails)) != 0 || (trails & ~(leads << 1 | threes << 2 | carried)) != 0 ||
            (leads & ~Within(_mm512_loadu_si512(data + i + 1), 0x80, 0xBF)) != 0 ||
            (threes & ~Within(_mm512_loadu_si512(data + i + 2), 0x80, 0xBF)) != 0)
            break;
        // Each lead's code point, 32 at a time: overlong forms of three bytes
        // and surrogates stop the block.
        std::uint16_t* const points = scratch;
        std::uint64_t bad = 0;
        for (unsigned half = 0; half < 2; ++half) {
            const std::uint8_t* const from = data + i + 32 * half;
            const __m512i point = LeadCodePoints(from, static_cast<__mmask32>(twos >> 32 * half));
            bad |= static_cast<std::uint64_t>(
                       _mm512_cmplt_epu16_mask(point, _mm512_set1_epi16(0x800)) |
                       _mm512_cmpeq_epi16_mask(
                           _mm512_and_si512(point, _mm512_set1_epi16(static_cast<short>(0xF800))),
                           _mm512_set1_epi16(static_cast<short>(0xD800))))
                   << (32 * half);
            _mm512_storeu_si512(points + 32 * half, point);
        }
        if ((bad & threes) != 0) break;
        // The characters' entries, looked up one by one, each in its code
        // point's place.
        std::uint16_t unknown = 0;
        for (std::uint64_t rest = leads; rest != 0; rest &= rest - 1) {
            const auto lead = static_cast<std::size_t>(std::countr_zero(rest));
            const std::uint16_t entry = units[points[lead]];
            unknown |= entry < 0x100;
            scratch[lead] = entry;
        }
        if (unknown != 0) break;
        char* out = at;
        for (unsigned half = 0; half < 2; ++half) {
            const auto halfLeads = static_cast<__mmask32>(leads >> 32 * half);
            const __m512i entry = _mm512_maskz_loadu_epi16(halfLeads, scratch + 32 * half);
            const __mmask32 two =
                _mm512_mask_cmpge_epu16_mask(halfLeads, entry, _mm512_set1_epi16(static_cast<short>(0x8100)));
            // Two bytes go out first byte first; one goes out alone.
            __m512i slots = Widened(data + i + 32 * half);
            slots = _mm512_mask_mov_epi16(slots, halfLeads, _mm512_and_si512(entry, _mm512_set1_epi16(0xFF)));
            slots = _mm512_mask_mov_epi16(
                slots, two, _mm512_or_si512(_mm512_srli_epi16(entry, 8), _mm512_slli_epi16(entry, 8)));
            const auto characters = static_cast<std::uint32_t>(~((high & ~leads) >> 32 * half));
            const std::uint64_t used = _pdep_u64(characters, kLowBytes) | _pdep_u64(two, kLowBytes << 1);
            _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(used, slots));
            out += std::popcount(used);
        }
        at = out;
        carried = (threes >> 62 & 1) | (threes >> 63) * 3 | twos >> 63;
    }
    target = at;
    return i + static_cast<std::size_t>(std::popcount(carried));
}
#endif

class TCachedShiftJisDecoder final : public TCodePageDecoder {
  public:
    explicit TCachedShiftJisDecoder(std::unique_ptr<TCodePageDecoder> exact)
        : FExact(std::move(exact)),
          FSingles(Singles(*FExact)),
          FPairs(TSharedTable::For(CP_SHIFT_JIS, true)),
          FSwallowed(Swallowed(*FExact)) {
        for (unsigned byte = 0; byte < 0x80; ++byte)
            FAsciiSame = FAsciiSame && FSingles[byte] == byte;
        bool kanaSame = true;
        for (unsigned byte = 0xA1; byte <= 0xDF; ++byte)
            kanaSame = kanaSame && FSingles[byte] == 0xFF61 + (byte - 0xA1);
#if defined(__x86_64__) && defined(__GNUC__)
        FBlocks = CanUseBlocks() && FAsciiSame && kanaSame;
#endif
    }

    void Decode(std::string_view bytes, bool flush, std::u16string& out) override {
        DecodeInto(bytes, flush, out);
    }
    void DecodeUtf8(std::string_view bytes, bool flush, std::string& out) override {
        DecodeInto(bytes, flush, out);
    }

  private:
    using TSingles = std::array<char16_t, 0x100>;

    static char16_t* Put(char16_t unit, char16_t* at) {
        *at = unit;
        return at + 1;
    }
    // Shift_JIS decodes to the BMP only: at most three bytes a character.
    static char* Put(char16_t unit, char* at) {
        if (unit < 0x80) {
            *at = static_cast<char>(unit);
            return at + 1;
        }
        if (unit < 0x800) {
            at[0] = static_cast<char>(0xC0 | unit >> 6);
            at[1] = static_cast<char>(0x80 | (unit & 0x3F));
            return at + 2;
        }
        at[0] = static_cast<char>(0xE0 | unit >> 12);
        at[1] = static_cast<char>(0x80 | (unit >> 6 & 0x3F));
        at[2] = static_cast<char>(0x80 | (unit & 0x3F));
        return at + 3;
    }
    static void Append(std::u16string_view text, std::u16string& out) {
        out += text;
    }
    static void Append(std::u16string_view text, std::string& out) {
        AppendUtf16AsUtf8(text, out);
    }

    template <class TString>
    void DecodeInto(std::string_view bytes, bool flush, TString& out) {
        using TChar = typename TString::value_type;
        constexpr std::size_t kMostPerByte = sizeof(TChar) == 2 ? 1 : 3;
        if (FHasLead) {
            // The lead byte held back from the previous piece, with its trail.
            if (bytes.empty()) {
                if (flush) DecodeRest(std::string(1, static_cast<char>(FLead)), out);
                FHasLead = !flush;
                return;
            }
            FHasLead = false;
            const char pair[2] = {static_cast<char>(FLead), bytes.front()};
            if (IsTrail932(static_cast<std::uint8_t>(bytes.front()))) {
                const char16_t unit = Pair(FLead, static_cast<std::uint8_t>(bytes.front()));
                Append(std::u16string_view(&unit, 1), out);
                bytes.remove_prefix(1);
            } else if (FSwallowed[static_cast<std::uint8_t>(bytes.front())]) {
                Append(std::u16string_view(&FBadPair, 1), out);
                bytes.remove_prefix(1);
            } else {
                DecodeRest(std::string_view(pair, 1), out);
            }
        }
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
        const std::size_t size = bytes.size();
        // Blocks of 64 bytes may write 64 bytes past their characters.
        TChar* const begin = Scratch<TChar>().Room(kMostPerByte * size + 64);
        TChar* target = begin;
        // Kept in registers: the bytes written could otherwise be members.
        const bool asciiSame = FAsciiSame;
        const TSingles& singles = FSingles;
        const std::atomic<std::uint16_t>* const pairs = FPairs.Entries();
        std::size_t i = 0;
        // Where the block decoder is tried again: past the block it stopped at.
        std::size_t blocksFrom = 0;
        while (i < size) {
            // Seven-bit text in runs.
            if (asciiSame) {
                // Room for three bytes a byte leaves room to copy 16 at a time.
                std::size_t run;
                if constexpr (sizeof(TChar) == 1) {
                    run = CopySevenBitBytes(data + i, size - i, target);
                } else {
                    run = CopySevenBitRun(data + i, size - i, target);
                }
                target += run;
                i += run;
                if (i == size) break;
            }
            if constexpr (sizeof(TChar) == 1) {
#if defined(__x86_64__) && defined(__GNUC__)
                if (FBlocks && i >= blocksFrom && size - i > 64) {
                    i += DecodeBlocksAvx512(data + i, size - i, FBlockSlots.data(), FBlockIndexes.data(),
                                            target);
                    blocksFrom = i + 64;
                }
#endif
                // Runs of two-byte characters already learnt, most of Japanese text.
                while (i + 1 < size) {
                    const std::int32_t row = kLeadRows932[data[i]];
                    const std::uint8_t trail = data[i + 1];
                    if (row < 0 || !IsTrail932(trail)) break;
                    const std::uint32_t known =
                        gUtf8Pairs932[static_cast<std::size_t>(row) + (trail - 0x40u)].load(
                            std::memory_order_relaxed);
                    if (known == 0) break;
                    target[0] = static_cast<char>(known);
                    target[1] = static_cast<char>(known >> 8);
                    target[2] = static_cast<char>(known >> 16);
                    target += known >> 24;
                    i += 2;
                }
                if (i == size) break;
            }
            const std::uint8_t byte = data[i];
            if (!IsLead932(byte)) {
                target = Put(singles[byte], target);
                ++i;
            } else if (i + 1 == size) {
                if (flush) {
                    out.append(begin, static_cast<std::size_t>(target - begin));
                    DecodeRest(bytes.substr(i), out);
                    return;
                }
                FLead = byte;
                FHasLead = true;
                ++i;
            } else if (IsTrail932(data[i + 1])) {
                if constexpr (sizeof(TChar) == 1) {
                    // Three bytes written, as many kept as the character has:
                    // two bytes read leave room for six.
                    std::atomic<std::uint32_t>& slot = gUtf8Pairs932[PairIndex932(byte, data[i + 1])];
                    std::uint32_t known = slot.load(std::memory_order_relaxed);
                    if (known == 0) {
                        char bytes[3];
                        const auto length =
                            static_cast<std::uint32_t>(Put(Pair(byte, data[i + 1]), bytes) - bytes);
                        known = length << 24;
                        for (std::uint32_t k = 0; k < length; ++k)
                            known |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[k]))
                                     << (8 * k);
                        slot.store(known, std::memory_order_relaxed);
                    }
                    target[0] = static_cast<char>(known);
                    target[1] = static_cast<char>(known >> 8);
                    target[2] = static_cast<char>(known >> 16);
                    target += known >> 24;
                } else {
                    const char16_t known = pairs[byte << 8 | data[i + 1]].load(std::memory_order_relaxed);
                    target = Put(known != 0 ? known : Pair(byte, data[i + 1]), target);
                }
                i += 2;
            } else {
                // A lead byte without its trail: the exact decoder gives the
                // default character, then reads the next byte on its own
                // (or takes it into the default character: Wine does).
                target = Put(FBadPair, target);
                i += FSwallowed[data[i + 1]] ? 2 : 1;
            }
        }
        out.append(begin, static_cast<std::size_t>(target - begin));
    }

    template <class TChar>
    TScratch<TChar>& Scratch() {
        if constexpr (sizeof(TChar) == 2) {
            return FScratch16;
        } else {
            return FScratch8;
        }
    }

    // Every single byte, as the exact decoder reads it on its own, worked
    // out once per process. A lead byte alone is incomplete: it is never
    // looked up here.
    static const TSingles& Singles(TCodePageDecoder& exact) {
        static const TSingles singles = [&exact] {
            TSingles table{};
            for (unsigned byte = 0; byte < 0x100; ++byte) {
                if (IsLead932(static_cast<std::uint8_t>(byte))) continue;
                std::u16string text;
                exact.Decode(std::string(1, static_cast<char>(byte)), true, text);
                table[byte] = text.size() == 1 ? text[0] : u'\u30FB';
            }
            return table;
        }();
        return singles;
    }

    // The bytes that are no trail byte but that the exact decoder takes
    // into the default character after a lead byte, instead of reading them
    // on their own, worked out once per process.
    static const std::array<bool, 0x100>& Swallowed(TCodePageDecoder& exact) {
        static const std::array<bool, 0x100> swallowed = [&exact] {
            std::array<bool, 0x100> table{};
            for (unsigned byte = 0; byte < 0x100; ++byte) {
                if (IsTrail932(static_cast<std::uint8_t>(byte))) continue;
                std::u16string text;
                exact.Decode(std::string{'\x81', static_cast<char>(byte)}, true, text);
                table[byte] = text.size() == 1;
            }
            return table;
        }();
        return swallowed;
    }

    std::u16string DecodeExactly(std::string_view bytes) {
        std::u16string text;
        FExact->Decode(bytes, true, text);
        return text;
    }

    // A lone lead byte at the very end.
    template <class TString>
    void DecodeRest(std::string_view bytes, TString& out) {
        Append(DecodeExactly(bytes), out);
    }

    [[gnu::noinline]] char16_t Pair(std::uint8_t lead, std::uint8_t trail) {
        const std::size_t index = lead << 8 | trail;
        char16_t entry = FPairs.Get(index);
        if (entry == 0) {
            // A pair never decodes to U+0000, which could not be remembered.
            const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            const std::u16string text = DecodeExactly(std::string_view(bytes, 2));
            entry = text.size() == 1 ? text[0] : u'\u30FB';
            if (entry != 0) FPairs.Set(index, entry);
        }
        return entry;
    }

    std::unique_ptr<TCodePageDecoder> FExact;
    const TSingles& FSingles;
    TSharedTable& FPairs;
    const std::array<bool, 0x100>& FSwallowed;
    TScratch<char16_t> FScratch16;
    TScratch<char> FScratch8;
    char16_t FBadPair = u'\u30FB';
    bool FAsciiSame = true;  // seven-bit bytes decode to themselves
    bool FBlocks = false;    // DecodeBlocksAvx512 can be used
    std::array<std::uint32_t, 64> FBlockSlots;
    std::array<std::uint16_t, 64> FBlockIndexes;
    std::uint8_t FLead = 0;
    bool FHasLead = false;
};

class TCachedAnsiEncoder final : public TCodePageEncoder {
  public:
    TCachedAnsiEncoder(std::unique_ptr<TCodePageEncoder> exact, TCodePage codePage)
        : FExact(std::move(exact)), FUnits(TSharedTable::For(codePage, false)) {
        // Whether seven-bit text passes unchanged, worked out once per code page.
        static std::mutex mutex;
        static std::map<TCodePage, bool> asciiSame;
        const std::lock_guard lock(mutex);
        const auto found = asciiSame.find(codePage);
        if (found != asciiSame.end()) {
            FAsciiSame = found->second;
            return;
        }
        for (char16_t unit = 0; unit < 0x80; ++unit) {
            char bytes[2];
            FAsciiSame =
                FAsciiSame && PutUnit(unit, bytes) == bytes + 1 && bytes[0] == static_cast<char>(unit);
        }
        asciiSame[codePage] = FAsciiSame;
    }

    void Encode(std::u16string_view text, bool flush, std::string& out) override {
        if (FHighSurrogate != 0 && !text.empty()) {
            const char16_t high = FHighSurrogate;
            FHighSurrogate = 0;
            if (IsLowSurrogate(text.front())) {
                AppendPair(high, text.front(), out);
                text.remove_prefix(1);
            } else {
                AppendExactly(std::u16string_view(&high, 1), out);
            }
        }
        const std::size_t size = text.size();
        for (std::size_t i = 0; i < size; ++i) {
            // Runs of characters without surrogates go straight into place.
            std::size_t end = i;
            while (end < size && (text[end] < 0xD800 || text[end] > 0xDFFF))
                ++end;
            if (end > i) {
                const std::size_t used = out.size();
                out.resize(used + 2 * (end - i));
                char* target = out.data() + used;
                for (; i < end; ++i) {
                    const char16_t unit = text[i];
                    if (unit < 0x80 && FAsciiSame) {
                        *target++ = static_cast<char>(unit);
                    } else {
                        target = PutUnit(unit, target);
                    }
                }
                out.resize(static_cast<std::size_t>(target - out.data()));
                if (i == size) break;
            }
            const char16_t unit = text[i];
            if (unit <= 0xDBFF && i + 1 < size && IsLowSurrogate(text[i + 1])) {
                AppendPair(unit, text[i + 1], out);
                ++i;
            } else if (unit <= 0xDBFF && i + 1 == size && !flush) {
                FHighSurrogate = unit;
            } else {
                AppendExactly(text.substr(i, 1), out);
            }
        }
        if (flush && FHighSurrogate != 0) {
            AppendExactly(std::u16string_view(&FHighSurrogate, 1), out);
            FHighSurrogate = 0;
        }
    }

    void EncodeUtf8(std::string_view text, bool flush, std::string& out) override {
        if (HoldsUtf8() || FHighSurrogate != 0) {
            // Only the bytes that end the character held back go the slow
            // way, unless the text is no more than those.
            std::size_t ending = 0;
            while (FHighSurrogate == 0 && ending < text.size() && ending < 3 &&
                   IsTrail(static_cast<std::uint8_t>(text[ending])))
                ++ending;
            if (FHighSurrogate != 0 || ending == text.size()) {
                EncodeUtf8Widened(text, flush, out);
                return;
            }
            EncodeUtf8Widened(text.substr(0, ending), false, out);
            if (HoldsUtf8() || FHighSurrogate != 0) {
                EncodeUtf8Widened(text.substr(ending), flush, out);
                return;
            }
            text.remove_prefix(ending);
        }
        const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
        const std::size_t size = text.size();
        const std::atomic<std::uint16_t>* const entries = FUnits.Entries();
        const bool asciiSame = FAsciiSame;
        // A unit takes at most two bytes; surrogate pairs go through
        // AppendPair. Blocks of 64 bytes may write 64 bytes past their
        // characters.
        char* const begin = FScratch.Room(2 * size + 64);
        char* target = begin;
        std::size_t i = 0;
#if defined(__x86_64__) && defined(__GNUC__)
        const bool blocks = asciiSame && CanUseBlocks();
        // Where the block encoder is tried again: past the block it stopped at.
        std::size_t blocksFrom = 0;
#endif
        while (i < size) {
            if (asciiSame) {
                // Room for two bytes a byte leaves room to copy 16 at a time.
                const std::size_t run = CopySevenBitBytes(data + i, size - i, target);
                target += run;
                i += run;
                if (i == size) break;
            }
#if defined(__x86_64__) && defined(__GNUC__)
            if (blocks && i >= blocksFrom && size - i > 65) {
                i += EncodeBlocksAvx512(data + i, size - i, entries, FBlockEntries.data(), target);
                blocksFrom = i + 64;
            }
#endif
            // Runs of kana and kanji already learnt, most of Japanese text.
            while (i + 2 < size && (data[i] & 0xF0) == 0xE0 && IsTrail(data[i + 1]) && IsTrail(data[i + 2])) {
                const auto unit = static_cast<std::size_t>((data[i] & 0x0F) << 12 |
                                                           (data[i + 1] & 0x3F) << 6 | (data[i + 2] & 0x3F));
                if (unit < 0x800 || (unit >= 0xD800 && unit <= 0xDFFF)) break;
                const std::uint16_t entry = entries[unit].load(std::memory_order_relaxed);
                if (entry < 0x8100) break;
                target = PutTwoBytes(entry, target);
                i += 3;
            }
            if (i == size) break;
            const std::uint8_t byte = data[i];
            char16_t unit;
            std::size_t length;
            // Kana and kanji first: three bytes.
            if ((byte & 0xF0) == 0xE0 && i + 2 < size && IsTrail(data[i + 1]) && IsTrail(data[i + 2])) {
                unit = static_cast<char16_t>((byte & 0x0F) << 12 | (data[i + 1] & 0x3F) << 6 |
                                             (data[i + 2] & 0x3F));
                // Overlong forms and surrogates are ill-formed.
                if (unit < 0x800 || (unit >= 0xD800 && unit <= 0xDFFF)) break;
                length = 3;
            } else if (byte < 0x80) {
                unit = byte;
                length = 1;
            } else if (byte >= 0xC2 && byte <= 0xDF && i + 1 < size && IsTrail(data[i + 1])) {
                unit = static_cast<char16_t>((byte & 0x1F) << 6 | (data[i + 1] & 0x3F));
                length = 2;
            } else if (byte >= 0xF0 && byte <= 0xF4 && i + 3 < size && IsTrail(data[i + 1]) &&
                       IsTrail(data[i + 2]) && IsTrail(data[i + 3]) &&
                       (byte != 0xF0 || data[i + 1] >= 0x90) && (byte != 0xF4 || data[i + 1] <= 0x8F)) {
                const char32_t point = (byte & 0x07) << 18 | (data[i + 1] & 0x3F) << 12 |
                                       (data[i + 2] & 0x3F) << 6 | (data[i + 3] & 0x3F);
                out.append(begin, static_cast<std::size_t>(target - begin));
                AppendPair(static_cast<char16_t>(0xD7C0 + (point >> 10)),
                           static_cast<char16_t>(0xDC00 | (point & 0x3FF)), out);
                i += 4;
                target = begin;
                continue;
            } else {
                // Ill-formed, or cut by the end of the piece.
                break;
            }
            if (unit < 0x80 && asciiSame) {
                *target++ = static_cast<char>(unit);
            } else {
                target = PutUnit(entries, unit, target);
            }
            i += length;
        }
        out.append(begin, static_cast<std::size_t>(target - begin));
        if (i < size || flush) EncodeUtf8Widened(text.substr(i), flush, out);
    }

  private:
    static bool IsLowSurrogate(char16_t unit) {
        return unit >= 0xDC00 && unit <= 0xDFFF;
    }
    static bool IsTrail(std::uint8_t byte) {
        return (byte & 0xC0) == 0x80;
    }

    void AppendExactly(std::u16string_view text, std::string& out) {
        FExact->Encode(text, true, out);
    }

    // The bytes of a unit, written at `at`: one or two, as the exact encoder
    // writes at most. Remembered as 0x100 | byte for one byte and as
    // first << 8 | second for two (the first is then a lead byte, 81 or
    // more); kAskExact marks the rare result that fits neither.
    static constexpr std::uint16_t kAskExact = 1;

    char* PutUnit(char16_t unit, char* at) {
        return PutUnit(FUnits.Entries(), unit, at);
    }
    char* PutUnit(const std::atomic<std::uint16_t>* entries, char16_t unit, char* at) {
        const std::uint16_t entry = entries[unit].load(std::memory_order_relaxed);
        if (entry < 0x100) return PutUnitExactly(unit, entry, at);
        // Without a branch on the length: room for two bytes is always there.
        const bool two = entry >= 0x8100;
        at[0] = static_cast<char>(two ? entry >> 8 : entry);
        at[1] = static_cast<char>(entry);
        return at + 1 + two;
    }

    // A unit not learnt yet, or one the table cannot hold.
    [[gnu::noinline]] char* PutUnitExactly(char16_t unit, std::uint16_t entry, char* at) {
        std::string bytes;
        AppendExactly(std::u16string_view(&unit, 1), bytes);
        bytes.resize(std::min<std::size_t>(bytes.size(), 2));
        const auto first = bytes.empty() ? 0 : static_cast<std::uint8_t>(bytes[0]);
        if (entry == 0) {
            if (bytes.size() == 1) {
                FUnits.Set(unit, static_cast<std::uint16_t>(0x100 | first));
            } else if (bytes.size() == 2 && first >= 0x81) {
                FUnits.Set(unit,
                           static_cast<std::uint16_t>(first << 8 | static_cast<std::uint8_t>(bytes[1])));
            } else {
                FUnits.Set(unit, kAskExact);
            }
        }
        std::memcpy(at, bytes.data(), bytes.size());
        return at + bytes.size();
    }

    void AppendPair(char16_t high, char16_t low, std::string& out) {
        const char32_t key = static_cast<char32_t>(high) << 16 | low;
        auto found = FPairs.find(key);
        if (found == FPairs.end()) {
            const char16_t pair[2] = {high, low};
            std::string bytes;
            AppendExactly(std::u16string_view(pair, 2), bytes);
            found = FPairs.emplace(key, std::move(bytes)).first;
        }
        out.append(found->second);
    }

    std::unique_ptr<TCodePageEncoder> FExact;
    TSharedTable& FUnits;
    std::map<char32_t, std::string> FPairs;
    TScratch<char> FScratch;
    std::array<std::uint16_t, 64> FBlockEntries;  // EncodeBlocksAvx512's scratch
    char16_t FHighSurrogate = 0;
    bool FAsciiSame = true;  // seven-bit characters encode to themselves
};

}  // namespace

std::unique_ptr<TCodePageDecoder> MakeCachedShiftJisDecoder(std::unique_ptr<TCodePageDecoder> exact) {
    return std::make_unique<TCachedShiftJisDecoder>(std::move(exact));
}

std::unique_ptr<TCodePageEncoder> MakeCachedAnsiEncoder(std::unique_ptr<TCodePageEncoder> exact,
                                                        TCodePage codePage) {
    return std::make_unique<TCachedAnsiEncoder>(std::move(exact), codePage);
}

}  // namespace quillmark
