#include "base/CodePageCache.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <map>
#include <vector>

namespace quillmark {

namespace {

bool IsLead932(std::uint8_t byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
bool IsTrail932(std::uint8_t byte) {
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

class TCachedShiftJisDecoder final : public TCodePageDecoder {
  public:
    explicit TCachedShiftJisDecoder(std::unique_ptr<TCodePageDecoder> exact)
        : FExact(std::move(exact)), FPairs(std::make_unique_for_overwrite<std::array<char16_t, 0x10000>>()) {
        // Every single byte, as the exact decoder reads it on its own. A lead
        // byte alone is incomplete: it is never looked up here.
        for (unsigned byte = 0; byte < 0x100; ++byte) {
            if (IsLead932(static_cast<std::uint8_t>(byte))) continue;
            const std::u16string text = DecodeExactly(std::string(1, static_cast<char>(byte)));
            FSingles[byte] = text.size() == 1 ? text[0] : u'\u30FB';
        }
        for (unsigned byte = 0; byte < 0x80; ++byte)
            FAsciiSame = FAsciiSame && FSingles[byte] == byte;
    }

    void Decode(std::string_view bytes, bool flush, std::u16string& out) override {
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
                out.push_back(Pair(FLead, static_cast<std::uint8_t>(bytes.front())));
                bytes.remove_prefix(1);
            } else {
                DecodeRest(std::string_view(pair, 1), out);
            }
        }
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
        const std::size_t size = bytes.size();
        const std::size_t start = out.size();
        out.resize(start + size);
        char16_t* target = out.data() + start;
        std::size_t i = 0;
        while (i < size) {
            const std::uint8_t byte = data[i];
            if (byte < 0x80 && FAsciiSame) {
                *target++ = byte;
                ++i;
            } else if (!IsLead932(byte)) {
                *target++ = FSingles[byte];
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
                *target++ = Pair(byte, data[i + 1]);
                i += 2;
            } else {
                // A lead byte without its trail: the exact decoder gives the
                // default character, then reads the next byte on its own.
                *target++ = FBadPair;
                ++i;
            }
        }
        out.resize(static_cast<std::size_t>(target - out.data()));
    }

  private:
    std::u16string DecodeExactly(std::string_view bytes) {
        std::u16string text;
        FExact->Decode(bytes, true, text);
        return text;
    }

    // A lone lead byte at the very end.
    void DecodeRest(std::string_view bytes, std::u16string& out) { out += DecodeExactly(bytes); }

    char16_t Pair(std::uint8_t lead, std::uint8_t trail) {
        const std::size_t index = lead << 8 | trail;
        if (!FKnown.test(index)) {
            const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            const std::u16string text = DecodeExactly(std::string_view(bytes, 2));
            (*FPairs)[index] = text.size() == 1 ? text[0] : u'\u30FB';
            FKnown.set(index);
        }
        return (*FPairs)[index];
    }

    std::unique_ptr<TCodePageDecoder> FExact;
    std::array<char16_t, 0x100> FSingles{};
    std::unique_ptr<std::array<char16_t, 0x10000>> FPairs;
    std::bitset<0x10000> FKnown;
    char16_t FBadPair = u'\u30FB';
    bool FAsciiSame = true;  // seven-bit bytes decode to themselves
    std::uint8_t FLead = 0;
    bool FHasLead = false;
};

class TCachedAnsiEncoder final : public TCodePageEncoder {
  public:
    explicit TCachedAnsiEncoder(std::unique_ptr<TCodePageEncoder> exact)
        : FExact(std::move(exact)), FUnits(std::make_unique_for_overwrite<TBytes[]>(0x10000)) {
        for (char16_t unit = 0; unit < 0x80; ++unit) {
            const TBytes& bytes = Unit(unit);
            FAsciiSame = FAsciiSame && bytes.Length == 1 && bytes.Bytes[0] == static_cast<char>(unit);
        }
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
                        const TBytes& bytes = Unit(unit);
                        target[0] = bytes.Bytes[0];
                        if (bytes.Length > 1) target[1] = bytes.Bytes[1];
                        target += bytes.Length;
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

  private:
    struct TBytes {
        std::uint8_t Length;
        char Bytes[3];
    };

    static bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

    void AppendExactly(std::u16string_view text, std::string& out) { FExact->Encode(text, true, out); }

    const TBytes& Unit(char16_t unit) {
        if (!FKnown.test(unit)) {
            std::string bytes;
            AppendExactly(std::u16string_view(&unit, 1), bytes);
            TBytes& entry = FUnits[unit];
            // An ANSI code page writes a character in at most two bytes.
            entry.Length = static_cast<std::uint8_t>(std::min<std::size_t>(bytes.size(), 2));
            std::copy_n(bytes.data(), entry.Length, entry.Bytes);
            FKnown.set(unit);
        }
        return FUnits[unit];
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
    std::unique_ptr<TBytes[]> FUnits;  // valid where FKnown says so
    std::bitset<0x10000> FKnown;
    std::map<char32_t, std::string> FPairs;
    char16_t FHighSurrogate = 0;
    bool FAsciiSame = true;  // seven-bit characters encode to themselves
};

}  // namespace

std::unique_ptr<TCodePageDecoder> MakeCachedShiftJisDecoder(std::unique_ptr<TCodePageDecoder> exact) {
    return std::make_unique<TCachedShiftJisDecoder>(std::move(exact));
}

std::unique_ptr<TCodePageEncoder> MakeCachedAnsiEncoder(std::unique_ptr<TCodePageEncoder> exact) {
    return std::make_unique<TCachedAnsiEncoder>(std::move(exact));
}

}  // namespace quillmark
