#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <stdexcept>

#include "base/CodePage.h"
#include "base/CodePageCache.h"
#include "base/Utf.h"

namespace quillmark {

namespace {

// What a character rewrites to, in 16 bits: 0 not known yet, 0x100 | b the
// byte b, 0x200 nothing (U+0080), b1 << 8 | b2 two bytes (b1 is a lead byte).
constexpr std::uint16_t kNothing = 0x200;

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

// How many of the first bytes of `bytes` rewrite to themselves as far as
// the tables have learnt them, up to a character's start: seven-bit bytes,
// and characters whose entries are their own bytes. Seven-bit runs are
// passed over 16 bytes at a time, runs of other characters one by one.
std::size_t UnchangedPrefix(std::string_view bytes) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const std::size_t size = bytes.size();
    for (std::size_t i = 0;;) {
        i += SevenBitRun(data + i, size - i);
        if (i == size) return size;
        do {
            const std::uint8_t byte = data[i];
            if (const std::int32_t row = kLeadRows932[byte]; row >= 0) {
                if (size - i < 2) return i;
                const std::uint8_t trail = data[i + 1];
                if (!IsTrail932(trail) || gPairs[static_cast<std::size_t>(row) + (trail - 0x40u)].load(
                                              std::memory_order_relaxed) != (byte << 8 | trail))
                    return i;
                i += 2;
            } else {
                if (gSingles[byte].load(std::memory_order_relaxed) != (0x100 | byte)) return i;
                ++i;
            }
        } while (i < size && data[i] >= 0x80);
    }
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
    if (!FHasLead) {
        const std::size_t same = UnchangedPrefix(bytes);
        if (same == bytes.size() && out.empty()) return bytes;
        out.append(bytes.data(), same);
        bytes.remove_prefix(same);
    }
    Rewrite(bytes, flush, out);
    return out;
}

}  // namespace quillmark
