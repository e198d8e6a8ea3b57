#include "base/CodePageCache.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "base/Utf.h"

namespace quillmark {

namespace {

// What the exact converter gives for each of 65536 keys, learnt as the keys
// come and shared by the converters of one code page in the process. An
// entry is 0 until it is known; known entries carry kKnown. Two threads
// learning the same key store the same value.
class TSharedTable {
  public:
    static constexpr std::uint32_t kKnown = 0x80000000u;

    static TSharedTable& For(TCodePage codePage, bool decoding) {
        static std::mutex mutex;
        static std::map<std::pair<TCodePage, bool>, std::unique_ptr<TSharedTable>> tables;
        const std::lock_guard lock(mutex);
        auto& table = tables[{codePage, decoding}];
        if (!table) table = std::make_unique<TSharedTable>();
        return *table;
    }

    std::uint32_t Get(std::size_t key) const { return FEntries[key].load(std::memory_order_relaxed); }
    void Set(std::size_t key, std::uint32_t value) {
        FEntries[key].store(value | kKnown, std::memory_order_relaxed);
    }

  private:
    std::unique_ptr<std::atomic<std::uint32_t>[]> FEntries =
        std::make_unique<std::atomic<std::uint32_t>[]>(0x10000);
};

class TCachedShiftJisDecoder final : public TCodePageDecoder {
  public:
    explicit TCachedShiftJisDecoder(std::unique_ptr<TCodePageDecoder> exact)
        : FExact(std::move(exact)),
          FSingles(Singles(*FExact)),
          FPairs(TSharedTable::For(CP_SHIFT_JIS, true)) {
        for (unsigned byte = 0; byte < 0x80; ++byte)
            FAsciiSame = FAsciiSame && FSingles[byte] == byte;
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
    static void Append(std::u16string_view text, std::u16string& out) { out += text; }
    static void Append(std::u16string_view text, std::string& out) { AppendUtf16AsUtf8(text, out); }

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
            } else {
                DecodeRest(std::string_view(pair, 1), out);
            }
        }
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
        const std::size_t size = bytes.size();
        const std::size_t start = out.size();
        out.resize(start + kMostPerByte * size);
        TChar* target = out.data() + start;
        std::size_t i = 0;
        while (i < size) {
            // Seven-bit text, eight bytes at a time.
            if (FAsciiSame) {
                while (i + 8 <= size) {
                    std::uint64_t word;
                    std::memcpy(&word, data + i, 8);
                    if ((word & 0x8080808080808080u) != 0) break;
                    for (int k = 0; k < 8; ++k)
                        target[k] = static_cast<TChar>(data[i + k]);
                    target += 8;
                    i += 8;
                }
                if (i == size) break;
            }
            const std::uint8_t byte = data[i];
            if (byte < 0x80 && FAsciiSame) {
                *target++ = static_cast<TChar>(byte);
                ++i;
            } else if (!IsLead932(byte)) {
                target = Put(FSingles[byte], target);
                ++i;
            } else if (i + 1 == size) {
                if (flush) {
                    out.resize(static_cast<std::size_t>(target - out.data()));
                    DecodeRest(bytes.substr(i), out);
                    return;
                }
                FLead = byte;
                FHasLead = true;
                ++i;
            } else if (IsTrail932(data[i + 1])) {
                target = Put(Pair(byte, data[i + 1]), target);
                i += 2;
            } else {
                // A lead byte without its trail: the exact decoder gives the
                // default character, then reads the next byte on its own.
                target = Put(FBadPair, target);
                ++i;
            }
        }
        out.resize(static_cast<std::size_t>(target - out.data()));
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

    char16_t Pair(std::uint8_t lead, std::uint8_t trail) {
        const std::size_t index = lead << 8 | trail;
        std::uint32_t entry = FPairs.Get(index);
        if (entry == 0) {
            const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            const std::u16string text = DecodeExactly(std::string_view(bytes, 2));
            entry = text.size() == 1 ? text[0] : 0x30FB;
            FPairs.Set(index, entry);
        }
        return static_cast<char16_t>(entry);
    }

    std::unique_ptr<TCodePageDecoder> FExact;
    const TSingles& FSingles;
    TSharedTable& FPairs;
    char16_t FBadPair = u'\u30FB';
    bool FAsciiSame = true;  // seven-bit bytes decode to themselves
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
            FAsciiSame = FAsciiSame && Unit(unit) == (1u << 16 | unit);
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
                        const std::uint32_t bytes = Unit(unit);
                        target[0] = static_cast<char>(bytes);
                        target[1] = static_cast<char>(bytes >> 8);
                        target += bytes >> 16 & 3;
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
            EncodeUtf8Widened(text, flush, out);
            return;
        }
        const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
        const std::size_t size = text.size();
        std::size_t used = out.size();
        // No character takes more bytes here than in UTF-8, but for those
        // written through AppendPair; one byte more for the second byte of a
        // unit's entry, written before its length is known.
        out.resize(used + size + 1);
        char* target = out.data() + used;
        std::size_t i = 0;
        while (i < size) {
            if (FAsciiSame) {
                while (i + 8 <= size) {
                    std::uint64_t word;
                    std::memcpy(&word, data + i, 8);
                    if ((word & 0x8080808080808080u) != 0) break;
                    std::memcpy(target, data + i, 8);
                    target += 8;
                    i += 8;
                }
                if (i == size) break;
            }
            const std::uint8_t byte = data[i];
            char16_t unit;
            std::size_t length;
            if (byte < 0x80) {
                unit = byte;
                length = 1;
            } else if (byte >= 0xC2 && byte <= 0xDF && i + 1 < size && IsTrail(data[i + 1])) {
                unit = static_cast<char16_t>((byte & 0x1F) << 6 | (data[i + 1] & 0x3F));
                length = 2;
            } else if ((byte & 0xF0) == 0xE0 && i + 2 < size && IsTrail(data[i + 1]) &&
                       IsTrail(data[i + 2]) && (byte != 0xE0 || data[i + 1] >= 0xA0) &&
                       (byte != 0xED || data[i + 1] <= 0x9F)) {
                unit = static_cast<char16_t>((byte & 0x0F) << 12 | (data[i + 1] & 0x3F) << 6 |
                                             (data[i + 2] & 0x3F));
                length = 3;
            } else if (byte >= 0xF0 && byte <= 0xF4 && i + 3 < size && IsTrail(data[i + 1]) &&
                       IsTrail(data[i + 2]) && IsTrail(data[i + 3]) &&
                       (byte != 0xF0 || data[i + 1] >= 0x90) && (byte != 0xF4 || data[i + 1] <= 0x8F)) {
                const char32_t point = (byte & 0x07) << 18 | (data[i + 1] & 0x3F) << 12 |
                                       (data[i + 2] & 0x3F) << 6 | (data[i + 3] & 0x3F);
                used = static_cast<std::size_t>(target - out.data());
                out.resize(used);
                AppendPair(static_cast<char16_t>(0xD7C0 + (point >> 10)),
                           static_cast<char16_t>(0xDC00 | (point & 0x3FF)), out);
                i += 4;
                used = out.size();
                out.resize(used + size - i + 1);
                target = out.data() + used;
                continue;
            } else {
                // Ill-formed, or cut by the end of the piece.
                break;
            }
            if (unit < 0x80 && FAsciiSame) {
                *target++ = static_cast<char>(unit);
            } else {
                const std::uint32_t bytes = Unit(unit);
                target[0] = static_cast<char>(bytes);
                target[1] = static_cast<char>(bytes >> 8);
                target += bytes >> 16 & 3;
            }
            i += length;
        }
        out.resize(static_cast<std::size_t>(target - out.data()));
        if (i < size || flush) EncodeUtf8Widened(text.substr(i), flush, out);
    }

  private:
    static bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
    static bool IsTrail(std::uint8_t byte) { return (byte & 0xC0) == 0x80; }

    void AppendExactly(std::u16string_view text, std::string& out) { FExact->Encode(text, true, out); }

    // The bytes of a unit: the first in bits 0-7, the second in bits 8-15,
    // their number in bits 16-17.
    std::uint32_t Unit(char16_t unit) {
        std::uint32_t entry = FUnits.Get(unit);
        if (entry == 0) {
            std::string bytes;
            AppendExactly(std::u16string_view(&unit, 1), bytes);
            // An ANSI code page writes a character in at most two bytes.
            const std::size_t length = std::min<std::size_t>(bytes.size(), 2);
            entry = static_cast<std::uint32_t>(length) << 16;
            for (std::size_t i = 0; i < length; ++i)
                entry |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i])) << (8 * i);
            FUnits.Set(unit, entry);
        }
        return entry & ~TSharedTable::kKnown;
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
