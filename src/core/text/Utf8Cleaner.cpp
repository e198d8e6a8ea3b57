#include "text/Utf8Cleaner.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

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

// True when `bytes` are well-formed UTF-8 without U+0080 (C2 80).
bool IsClean(std::string_view bytes) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const std::size_t size = bytes.size();
    std::size_t i = 0;
    while (i < size) {
        // Seven-bit text, eight bytes at a time.
        while (i + 8 <= size) {
            std::uint64_t word;
            std::memcpy(&word, data + i, 8);
            if ((word & 0x8080808080808080u) != 0) break;
            i += 8;
        }
        if (i >= size) break;
        const std::uint8_t byte = data[i];
        if (byte < 0x80) {
            ++i;
            continue;
        }
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

// Appends `bytes` without the pairs C2 80; a C2 at the end waits for the
// next piece.
void DropC1Padding(std::string_view bytes, bool last, std::string& carry, std::string& out) {
    if (!carry.empty()) {
        if (!bytes.empty() && bytes.front() == '\x80') {
            bytes.remove_prefix(1);
        } else {
            out.append(carry);
        }
        carry.clear();
    }
    if (!last && bytes.ends_with('\xC2')) {
        carry.assign(1, '\xC2');
        bytes.remove_suffix(1);
    }
    for (std::size_t at; (at = bytes.find("\xC2\x80")) != std::string_view::npos;) {
        out.append(bytes.substr(0, at));
        bytes.remove_prefix(at + 2);
    }
    out.append(bytes);
}

}  // namespace

void TUtf8Cleaner::Clean(std::string_view bytes, bool last, std::string& out) {
    if (FStructureOnly) {
        DropC1Padding(bytes, last, FCarry, out);
        return;
    }
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
    if (IsClean(bytes)) {
        out.append(bytes);
        return;
    }
    // The piece ends where the decoder holds nothing back, so decoding it
    // on its own gives what decoding it in its place would.
    std::u16string text = MultiByteToWideChar(CP_UTF_8, bytes).value_or(std::u16string());
    std::erase(text, u'\x80');
    AppendUtf16AsUtf8(text, out);
}

}  // namespace quillmark
