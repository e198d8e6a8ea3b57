// Windows side of the code-page seam: the system's own converters, so that
// every byte written and every character read is what Windows gives.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#define NOGDI
#include <windows.h>

#include <algorithm>
#include <climits>

#include "base/CodePageCache.h"
#include "base/CodePageExact.h"
#include "base/Utf.h"

namespace quillmark {

namespace {

// Pieces handed to the system at once stay well within its int counts.
constexpr std::size_t kMostAtOnce = std::size_t{64} << 20;

bool IsIso2022Jp(TCodePage codePage) {
    return codePage >= 50220 && codePage <= 50222;
}

bool IsDecodable(TCodePage codePage) {
    const bool known = codePage == 874 || codePage == 932 || codePage == 936 || codePage == 949 ||
                       codePage == 950 || (codePage >= 1250 && codePage <= 1258) || codePage == 20932 ||
                       codePage == 51932 || IsIso2022Jp(codePage) || codePage == CP_UTF_8;
    return known && ::IsValidCodePage(codePage);
}

bool IsEncodable(TCodePage codePage) {
    const bool known = codePage == 874 || codePage == 932 || codePage == 936 || codePage == 949 ||
                       codePage == 950 || (codePage >= 1250 && codePage <= 1258) || codePage == CP_UTF_8;
    return known && ::IsValidCodePage(codePage);
}

// MultiByteToWideChar as the text loader calls it: precomposed for 932, no
// flags for every other code page; invalid bytes are replaced, not rejected.
void AppendDecoded(TCodePage codePage, std::string_view bytes, std::u16string& out) {
    const DWORD flags = codePage == CP_SHIFT_JIS ? MB_PRECOMPOSED : 0;
    while (!bytes.empty()) {
        // Callers cut long texts at character boundaries before they come here.
        const auto count = static_cast<int>(std::min(bytes.size(), std::size_t{INT_MAX}));
        const int length = ::MultiByteToWideChar(codePage, flags, bytes.data(), count, nullptr, 0);
        if (length <= 0) return;
        const std::size_t used = out.size();
        out.resize(used + static_cast<std::size_t>(length));
        const int written = ::MultiByteToWideChar(codePage, flags, bytes.data(), count,
                                                  reinterpret_cast<wchar_t*>(out.data() + used), length);
        out.resize(used + static_cast<std::size_t>(std::max(written, 0)));
        bytes.remove_prefix(static_cast<std::size_t>(count));
    }
}

// WideCharToMultiByte with flags 0 and the code page's own default
// character: best fit where the code page has it, '?' otherwise.
void AppendEncoded(TCodePage codePage, std::u16string_view text, std::string& out) {
    if (text.empty()) return;
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const auto count = static_cast<int>(text.size());
    const int length = ::WideCharToMultiByte(codePage, 0, wide, count, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return;
    const std::size_t used = out.size();
    out.resize(used + static_cast<std::size_t>(length));
    const int written =
        ::WideCharToMultiByte(codePage, 0, wide, count, out.data() + used, length, nullptr, nullptr);
    out.resize(used + static_cast<std::size_t>(std::max(written, 0)));
}

// The system converts whole texts only: a piece is decoded up to a place
// where the system's answer for what follows cannot depend on what came
// before, and the rest waits for the next piece.
class TApiDecoder final : public TCodePageDecoder {
  public:
    explicit TApiDecoder(TCodePage codePage) : FCodePage(codePage) {
        CPINFO info{};
        FSingleByte = ::GetCPInfo(codePage, &info) && info.MaxCharSize == 1;
    }

    void Decode(std::string_view bytes, bool flush, std::u16string& out) override {
        if (!FCarry.empty()) {
            FJoined.assign(FCarry);
            FJoined.append(bytes);
            bytes = FJoined;
        }
        while (bytes.size() > kMostAtOnce) {
            const std::size_t cut = Boundary(bytes.substr(0, kMostAtOnce), true);
            AppendDecoded(FCodePage, bytes.substr(0, cut), out);
            std::string rest = Rest(bytes, cut);
            FJoined.swap(rest);
            bytes = FJoined;
        }
        const std::size_t cut = flush ? bytes.size() : Boundary(bytes, false);
        AppendDecoded(FCodePage, bytes.substr(0, cut), out);
        FCarry = flush ? std::string() : Rest(bytes, cut);
    }

  private:
    // What is left after `cut`, with the shift state in force there put in
    // front of it for ISO-2022-JP.
    std::string Rest(std::string_view bytes, std::size_t cut) const {
        std::string rest;
        if (IsIso2022Jp(FCodePage) && cut > 0) rest = ShiftStateAt(bytes.substr(0, cut));
        rest.append(bytes.substr(cut));
        return rest;
    }

    // The escape sequence (and shift-out) in force at the end of `bytes`.
    static std::string ShiftStateAt(std::string_view bytes) {
        std::string escape;
        bool shiftedOut = false;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\x0E') {
                shiftedOut = true;
            } else if (bytes[i] == '\x0F') {
                shiftedOut = false;
            } else if (bytes[i] == '\x1B' && i + 2 < bytes.size()) {
                const std::size_t length = bytes[i + 1] == '$' && bytes[i + 2] == '(' ? 4 : 3;
                if (i + length <= bytes.size()) escape.assign(bytes.substr(i, length));
            }
        }
        if (shiftedOut) escape.push_back('\x0E');
        return escape;
    }

    // Where `bytes` may be cut: after the last byte that starts no
    // character and ends none (below 0x40 in every double-byte code page
    // here, a line end in ISO-2022-JP), after a complete UTF-8 character,
    // anywhere in a single-byte code page. 0 when there is no such place,
    // unless `must`, which takes the best guess.
    std::size_t Boundary(std::string_view bytes, bool must) const {
        if (FSingleByte) return bytes.size();
        if (FCodePage == CP_UTF_8) {
            // After a seven-bit byte that no lead byte of the three before
            // can claim: an ill-formed sequence cut there could read
            // differently at the end of a text than inside one.
            for (std::size_t i = bytes.size(); i > 0; --i) {
                if (static_cast<std::uint8_t>(bytes[i - 1]) >= 0x80) continue;
                bool claimed = false;
                for (std::size_t back = 2; back <= 4 && back <= i; ++back)
                    claimed = claimed || static_cast<std::uint8_t>(bytes[i - back]) >= 0xC0;
                if (!claimed) return i;
            }
            const std::size_t complete = CompleteUtf8Length(bytes);
            return complete > 0 || !must ? complete : bytes.size();
        }
        const auto separator = [this](char byte) {
            const auto value = static_cast<std::uint8_t>(byte);
            return IsIso2022Jp(FCodePage) ? value == '\n' : value < 0x40;
        };
        for (std::size_t i = bytes.size(); i > 0; --i)
            if (separator(bytes[i - 1])) return i;
        if (!must) return 0;
        if (IsIso2022Jp(FCodePage)) {
            const std::size_t escape = bytes.rfind('\x1B');
            return escape == 0 || escape == std::string_view::npos ? bytes.size() : escape;
        }
        // No separator in 64 MiB: pairs counted from the start.
        std::size_t i = 0;
        while (i < bytes.size()) {
            const std::size_t step = ::IsDBCSLeadByteEx(FCodePage, static_cast<BYTE>(bytes[i])) ? 2 : 1;
            if (i + step > bytes.size()) break;
            i += step;
        }
        return i;
    }

    TCodePage FCodePage;
    bool FSingleByte = false;
    std::string FCarry;
    std::string FJoined;
};

class TApiEncoder final : public TCodePageEncoder {
  public:
    explicit TApiEncoder(TCodePage codePage) : FCodePage(codePage) {}

    void Encode(std::u16string_view text, bool flush, std::string& out) override {
        if (FHighSurrogate != 0) {
            FJoined.assign(1, FHighSurrogate);
            FJoined.append(text);
            text = FJoined;
            FHighSurrogate = 0;
        }
        // A pair cut by the end of the piece is completed by the next.
        if (!flush && !text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF) {
            FHighSurrogate = text.back();
            text.remove_suffix(1);
        }
        while (text.size() > kMostAtOnce) {
            std::size_t cut = kMostAtOnce;
            if (text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF) --cut;
            AppendEncoded(FCodePage, text.substr(0, cut), out);
            text.remove_prefix(cut);
        }
        AppendEncoded(FCodePage, text, out);
    }

  private:
    TCodePage FCodePage;
    char16_t FHighSurrogate = 0;
    std::u16string FJoined;
};

}  // namespace

TCodePage GetACP() {
    // Read once: a program keeps the code page it started with.
    static const TCodePage codePage = ::GetACP();
    return codePage;
}

std::unique_ptr<TCodePageDecoder> CreateExactDecoder(TCodePage codePage) {
    if (!IsDecodable(codePage)) return nullptr;
    return std::make_unique<TApiDecoder>(codePage);
}

std::unique_ptr<TCodePageEncoder> CreateExactEncoder(TCodePage codePage) {
    if (!IsEncodable(codePage)) return nullptr;
    return std::make_unique<TApiEncoder>(codePage);
}

}  // namespace quillmark
