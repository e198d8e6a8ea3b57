#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The seam between the system and the platform's code-page conversion
// (GetACP, MultiByteToWideChar and WideCharToMultiByte on Windows). The
// portable implementation uses ICU converters adjusted to give Windows'
// results byte for byte, best-fit mappings included.
namespace quillmark {

using TCodePage = std::uint32_t;

inline constexpr TCodePage CP_SHIFT_JIS = 932;
inline constexpr TCodePage CP_EUC_JP = 20932;
inline constexpr TCodePage CP_ISO_2022_JP = 50220;
inline constexpr TCodePage CP_UTF16_LE = 1200;
inline constexpr TCodePage CP_UTF16_BE = 1201;
inline constexpr TCodePage CP_UTF32_LE = 12000;
inline constexpr TCodePage CP_UTF32_BE = 12001;
inline constexpr TCodePage CP_UTF_8 = 65001;
inline constexpr TCodePage CP_NONE = 65535;

// The system's ANSI code page. Off Windows it is derived once, on first use,
// from the locale environment (see AnsiCodePageFromEnvironment).
TCodePage GetACP();

// The ANSI code page Windows uses for a locale name such as "ja_JP.UTF-8":
// ja 932, ko 949, zh_TW/zh_HK/zh_MO 950, other zh 936, th 874, vi 1258,
// cs hu pl ro sk sl hr sq bs 1250, ru uk be bg mk sr kk 1251, el 1253,
// tr az 1254, he yi 1255, ar fa ur 1256, et lv lt 1257, anything else
// (C, POSIX, empty, en, de, ...) 1252. Only the text is looked at.
TCodePage AnsiCodePageFromLocale(std::string_view locale);

// AnsiCodePageFromLocale of the first non-empty of LC_ALL, LC_CTYPE, LANG.
TCodePage AnsiCodePageFromEnvironment();

// Bytes of a code page to UTF-16, as MultiByteToWideChar does: invalid
// bytes are replaced, never rejected. std::nullopt when the code page is not
// supported. Supported: 932, 936, 949, 950, 874, 1250-1258, 20932, 51932,
// 50220-50222, 65001.
std::optional<std::u16string> MultiByteToWideChar(TCodePage codePage, std::string_view bytes);

// UTF-16 to bytes of a code page, as WideCharToMultiByte does with flags 0
// and no default character of the caller's: best fit where the code page
// defines one, '?' otherwise; for 65001 an unpaired surrogate gives EF BF BD.
// std::nullopt when the code page is not supported. Supported: 932, 936,
// 949, 950, 874, 1250-1258, 65001.
std::optional<std::string> WideCharToMultiByte(TCodePage codePage, std::u16string_view text);

// The characters other than the quotation mark itself that a code page
// writes as one: best-fit stand-ins such as U+FF02 and U+02BA in 1252, in
// increasing order. None in UTF-8, 932 and the other East Asian code pages.
// Found once per code page in a process (a conversion of the whole BMP).
const std::vector<char16_t>& QuotationMarkStandIns(TCodePage codePage);

// Decodes a code page piece by piece: a character cut by the end of one
// piece is completed by the next, shift states carry over. The output is the
// same as one MultiByteToWideChar over all the pieces.
class TCodePageDecoder {
  public:
    virtual ~TCodePageDecoder() = default;
    // nullptr when the code page is not supported.
    static std::unique_ptr<TCodePageDecoder> Create(TCodePage codePage);
    // Appends the decoded text to `out`. `flush` marks the last piece.
    virtual void Decode(std::string_view bytes, bool flush, std::u16string& out) = 0;
    // The same text appended as UTF-8; an unpaired surrogate (which only
    // UTF-16 and UTF-32 sources can hold) becomes U+FFFD.
    virtual void DecodeUtf8(std::string_view bytes, bool flush, std::string& out);

  private:
    std::u16string FWide;
    char16_t FHighSurrogate = 0;  // the first half of a pair cut by the end of a piece
};

// Encodes into a code page piece by piece; a surrogate pair cut by the end
// of one piece is completed by the next. The output is the same as one
// WideCharToMultiByte over all the pieces.
class TCodePageEncoder {
  public:
    virtual ~TCodePageEncoder() = default;
    // nullptr when the code page is not supported.
    static std::unique_ptr<TCodePageEncoder> Create(TCodePage codePage);
    // Appends the encoded bytes to `out`. `flush` marks the last piece.
    virtual void Encode(std::u16string_view text, bool flush, std::string& out) = 0;
    // The same for text in UTF-8, read as Utf8ToUtf16 reads it; a character
    // cut by the end of one piece is completed by the next.
    virtual void EncodeUtf8(std::string_view text, bool flush, std::string& out);

  protected:
    // What EncodeUtf8 does, through Encode.
    void EncodeUtf8Widened(std::string_view text, bool flush, std::string& out);
    // EncodeUtf8Widened holds the start of a character back.
    bool HoldsUtf8() const { return !FCarry.empty(); }

  private:
    std::string FCarry;  // the start of a character cut by the end of a piece
    std::string FJoined;
    std::u16string FWide;
};

// Rewrites Shift_JIS as code page 932 writes the text it decodes to, piece by
// piece, U+0080 left out: the bytes of TCodePageDecoder (932), the removal of
// U+0080 and TCodePageEncoder (932) in a row, in one step. Seven-bit bytes
// stay what they are, and no other character becomes one: a piece can be
// split into CSV fields as it is.
class TShiftJisRewriter {
  public:
    TShiftJisRewriter();
    ~TShiftJisRewriter();
    TShiftJisRewriter(const TShiftJisRewriter&) = delete;
    TShiftJisRewriter& operator=(const TShiftJisRewriter&) = delete;

    // Appends the rewritten bytes to `out`. `flush` marks the last piece.
    void Rewrite(std::string_view bytes, bool flush, std::string& out);

    // The same rewriting, but a piece that rewrites to itself, as most do,
    // is handed back as it is, not copied: the bytes rewritten, either
    // `bytes` or `out` (cleared first).
    std::string_view RewriteView(std::string_view bytes, bool flush, std::string& out);

  private:
    std::uint16_t Learn(std::string_view bytes);
    void RewriteExactly(std::string_view bytes, std::string& out);

    std::unique_ptr<TCodePageDecoder> FDecoder;
    std::unique_ptr<TCodePageEncoder> FEncoder;
    std::unique_ptr<char[]> FScratch;  // room to rewrite into before appending
    std::size_t FScratchSize = 0;
    std::uint16_t FBadPair;  // a lead byte without its trail
    std::uint8_t FLead = 0;
    bool FHasLead = false;
};

}  // namespace quillmark
