#include "base/Utf.h"

#include <cstdint>

namespace quillmark {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

// Length of the well-formed UTF-8 sequence at `p`, or 0 when it is ill-formed;
// then `bad` is the length of its maximal ill-formed subpart (at least 1).
std::size_t DecodeUtf8Sequence(const unsigned char* p, std::size_t avail, char32_t& cp, std::size_t& bad) {
    const unsigned char b = p[0];
    if (b < 0x80) {
        cp = b;
        return 1;
    }
    std::size_t need;
    unsigned char lo = 0x80, hi = 0xBF;  // range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
        need = 2;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        need = 3;
        cp = b & 0x0F;
        if (b == 0xE0) lo = 0xA0;
        if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        need = 4;
        cp = b & 0x07;
        if (b == 0xF0) lo = 0x90;
        if (b == 0xF4) hi = 0x8F;
    } else {
        bad = 1;
        return 0;
    }
    std::size_t i = 1;
    for (; i < need && i < avail; ++i) {
        const unsigned char c = p[i];
        const unsigned char min = i == 1 ? lo : 0x80;
        const unsigned char max = i == 1 ? hi : 0xBF;
        if (c < min || c > max) break;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (i == need) return need;
    bad = i;
    return 0;
}

void AppendCodePoint(char32_t cp, std::u16string& out) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

void AppendUtf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Walks UTF-16 code points; an unpaired surrogate comes out as itself.
template <typename Sink>
void ForEachCodePoint(std::u16string_view s, Sink sink) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t u = s[i];
        if (IsHighSurrogate(u) && i + 1 < s.size() && IsLowSurrogate(s[i + 1])) {
            u = 0x10000 + ((u - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        sink(u);
    }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp;
        std::size_t bad;
        if (std::size_t n = DecodeUtf8Sequence(p + i, utf8.size() - i, cp, bad)) {
            AppendCodePoint(cp, out);
            i += n;
        } else {
            out.push_back(kReplacement);
            i += bad;
        }
    }
    return out;
}

void AppendUtf16AsUtf8(std::u16string_view utf16, std::string& out) {
    ForEachCodePoint(utf16, [&](char32_t u) {
        AppendUtf8(IsHighSurrogate(u) || IsLowSurrogate(u) ? kReplacement : u, out);
    });
}

std::size_t CompleteUtf8Length(std::string_view text) {
    for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
        const auto byte = static_cast<std::uint8_t>(text[text.size() - back]);
        if (byte < 0x80) return text.size();
        if (byte >= 0xC0) {
            const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
            return length > back ? text.size() - back : text.size();
        }
    }
    return text.size();
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size() * 3 / 2);
    AppendUtf16AsUtf8(utf16, out);
    return out;
}

std::u16string NativeToUnicode(std::string_view native) {
    std::u16string out;
    out.reserve(native.size());
    const auto* p = reinterpret_cast<const unsigned char*>(native.data());
    std::size_t i = 0;
    while (i < native.size()) {
        char32_t cp;
        std::size_t bad;
        if (std::size_t n = DecodeUtf8Sequence(p + i, native.size() - i, cp, bad)) {
            AppendCodePoint(cp, out);
            i += n;
        } else {
            for (std::size_t k = 0; k < bad; ++k)
                out.push_back(static_cast<char16_t>(0xDC00 + p[i + k]));
            i += bad;
        }
    }
    return out;
}

std::string UnicodeToNative(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    ForEachCodePoint(text, [&](char32_t u) {
        if (u >= 0xDC80 && u <= 0xDCFF) {
            out.push_back(static_cast<char>(u - 0xDC00));
        } else {
            AppendUtf8(IsHighSurrogate(u) || IsLowSurrogate(u) ? kReplacement : u, out);
        }
    });
    return out;
}

}  // namespace quillmark
