#include "base/CodePage.h"
#include "base/CodePageCache.h"
#include "base/CodePageExact.h"
#include "base/Utf.h"
#include "support/Platform.h"
#include "support/TestFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>

namespace quillmark {
namespace {

struct TLocaleCase {
    const char* Locale;
    TCodePage Expected;
};

class AnsiCodePageFromLocaleTest : public testing::TestWithParam<TLocaleCase> {};

TEST_P(AnsiCodePageFromLocaleTest, MapsLanguageAndTerritory) {
    EXPECT_EQ(AnsiCodePageFromLocale(GetParam().Locale), GetParam().Expected) << GetParam().Locale;
}

INSTANTIATE_TEST_SUITE_P(
    Locales, AnsiCodePageFromLocaleTest,
    testing::Values(TLocaleCase{"ja_JP.UTF-8", 932}, TLocaleCase{"ja", 932},
                    TLocaleCase{"ja_JP.eucJP@x", 932}, TLocaleCase{"ko_KR.UTF-8", 949},
                    TLocaleCase{"zh_TW.UTF-8", 950}, TLocaleCase{"zh_HK", 950},
                    TLocaleCase{"zh_MO.UTF-8", 950}, TLocaleCase{"zh_CN.UTF-8", 936},
                    TLocaleCase{"zh_SG", 936}, TLocaleCase{"zh", 936}, TLocaleCase{"th_TH", 874},
                    TLocaleCase{"vi_VN", 1258}, TLocaleCase{"pl_PL.UTF-8", 1250}, TLocaleCase{"bs_BA", 1250},
                    TLocaleCase{"ru_RU", 1251}, TLocaleCase{"kk_KZ", 1251}, TLocaleCase{"el_GR", 1253},
                    TLocaleCase{"az_AZ", 1254}, TLocaleCase{"yi_US", 1255}, TLocaleCase{"ur_PK", 1256},
                    TLocaleCase{"lt_LT", 1257}, TLocaleCase{"C", 1252}, TLocaleCase{"POSIX", 1252},
                    TLocaleCase{"", 1252}, TLocaleCase{"C.UTF-8", 1252}, TLocaleCase{"en_US.UTF-8", 1252},
                    TLocaleCase{"de_DE", 1252}, TLocaleCase{"jav_ID", 1252}));

struct TEncodeCase {
    TCodePage CodePage;
    std::u16string Text;
    std::string Expected;
};

class WideCharToMultiByteTest : public testing::TestWithParam<TEncodeCase> {};

TEST_P(WideCharToMultiByteTest, WritesWhatWindowsWrites) {
    const auto& [codePage, text, expected] = GetParam();
    EXPECT_EQ(WideCharToMultiByte(codePage, text), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, WideCharToMultiByteTest,
                         testing::Values(
                             // Plain text and the controls ICU's tables rotate.
                             TEncodeCase{932, u"A\u3042\uFF71\u7E8A", "A\x82\xA0\xB1\xFA\\"},
                             TEncodeCase{932, u"\x1A\x1C\x7F", "\x1A\x1C\x7F"},
                             // Windows' best fit, and '?' where it has none.
                             TEncodeCase{932, u"\u00A5\u00E9\u00A6\u00AD", "\\e|-"},
                             TEncodeCase{932, u"\u301C\u2212\u2014", "???"},
                             TEncodeCase{932, u"\uFF5E\u2015", "\x81\x60\x81\x5C"},
                             TEncodeCase{932, u"\uF86F\u2116", "?\x87\x82"},
                             TEncodeCase{932, u"\uFEFF\u200B", "??"},
                             TEncodeCase{1252, u"\u2212\u2014\u0100\u00E9",
                                         "-\x97"
                                         "A\xE9"},
                             TEncodeCase{1253, u"\u00AA", "?"}, TEncodeCase{936, u"\uFFEE", "?"},
                             // One '?' per UTF-16 unit of what cannot be written, unpaired surrogates too.
                             TEncodeCase{932, u"\U0001F600", "??"},
                             TEncodeCase{1252,
                                         u"a\xD800"
                                         "b\xDC00",
                                         "a?b?"},
                             TEncodeCase{932, u"\xD800", "?"},
                             // UTF-8: an unpaired surrogate becomes U+FFFD.
                             TEncodeCase{CP_UTF_8, u"\u3042\U0001F600", "\xE3\x81\x82\xF0\x9F\x98\x80"},
                             TEncodeCase{CP_UTF_8,
                                         u"\xD800"
                                         "A\xDC00",
                                         "\xEF\xBF\xBD"
                                         "A\xEF\xBF\xBD"}));

struct TDecodeCase {
    TCodePage CodePage;
    std::string Bytes;
    std::u16string Expected;
};

class MultiByteToWideCharTest : public testing::TestWithParam<TDecodeCase> {};

TEST_P(MultiByteToWideCharTest, ReadsWhatWindowsReads) {
    const auto& [codePage, bytes, expected] = GetParam();
    if (!test::SystemConverts(codePage)) GTEST_SKIP() << "Wine has no converter for " << codePage;
    // Wine's 20932 reads A1 C1 as U+301C where Windows gives U+FF5E, and
    // has no JIS X 0212 (8F xx xx).
    if (codePage == 20932 && test::UnderWine()) GTEST_SKIP() << "Wine's table of 20932 differs";
    // Wine's 932 takes the byte after a lead byte into the default character
    // even when it is no trail byte ("\x81 " gives U+30FB alone).
    if (bytes == "\x81 " && test::UnderWine()) GTEST_SKIP() << "Wine swallows a bad trail byte";
    EXPECT_EQ(MultiByteToWideChar(codePage, bytes), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MultiByteToWideCharTest,
    testing::Values(TDecodeCase{932, "\x81\x60\x82\xA0\\~\xB1", u"\uFF5E\u3042\\~\uFF71"},
                    TDecodeCase{932, "\x1A\x1C\x7F", u"\x1A\x1C\x7F"},
                    TDecodeCase{932, std::string("\x80\xA0\xFD\xFE\xFF", 5),
                                u"\u0080\uF8F0\uF8F1\uF8F2\uF8F3"},
                    // A pair without a character, a lone lead byte at the end, a bad trail byte.
                    TDecodeCase{932, "\x85\x40", u"\u30FB"}, TDecodeCase{932, "A\x93", u"A\u30FB"},
                    TDecodeCase{932, "\x81 ", u"\u30FB "}, TDecodeCase{932, "\xF0\x40", u"\uE000"},
                    TDecodeCase{20932, "\xA1\xC1\x8E\xB1\x8F\xB0\xA1", u"\uFF5E\uFF71\u4E02"},
                    TDecodeCase{50220, "\x1B$B$\"\x1B(BA", u"\u3042A"},
                    TDecodeCase{CP_UTF_8,
                                "\xE3\x81"
                                "A\xC0\x80",
                                u"\uFFFDA\uFFFD\uFFFD"},
                    TDecodeCase{1252, "\x80\x81\xE9", u"\u20AC\u0081\u00E9"},
                    TDecodeCase{1251, "\xC0", u"\u0410"}));

TEST(CodePageTest, UnsupportedCodePagesGiveNothing) {
    EXPECT_EQ(MultiByteToWideChar(12345, "abc"), std::nullopt);
    EXPECT_EQ(WideCharToMultiByte(20932, u"abc"), std::nullopt);
    EXPECT_EQ(TCodePageDecoder::Create(CP_NONE), nullptr);
}

// Feeding the converters in pieces of every size gives what one call gives,
// whatever the pieces cut: characters, escapes, surrogate pairs.
TEST(CodePageTest, PiecesGiveTheSameResultAsOneCall) {
    const std::pair<TCodePage, std::string> decodeCases[] = {{932, "a\x82\xA0\x81\x1A\x85\x40\xFF\x93"},
                                                             {20932, "\xA4\xA2\x8E\xB1\x8F\xB0\xA1x\x8F"},
                                                             {50220, "\x1B$B$\"$$\x1B(Bab\x1B(J\\"},
                                                             {CP_UTF_8,
                                                              "\xE3\x81\x82\xF0\x9F\x98\x80\xE3\x81"
                                                              "A"},
                                                             {1252, "\x80\xE9z"}};
    for (const auto& [codePage, bytes] : decodeCases) {
        if (!test::SystemConverts(codePage)) continue;  // Wine: no ISO-2022-JP
        const std::u16string whole = *MultiByteToWideChar(codePage, bytes);
        for (std::size_t size = 1; size <= bytes.size(); ++size) {
            const auto decoder = TCodePageDecoder::Create(codePage);
            std::u16string pieces;
            for (std::size_t at = 0; at < bytes.size(); at += size)
                decoder->Decode(std::string_view(bytes).substr(at, size), at + size >= bytes.size(), pieces);
            EXPECT_EQ(pieces, whole) << codePage << " in pieces of " << size;
        }
    }
    const std::u16string text = u"a\x1A\u00A5\U0001F600\uF86F\xD800x\u3042\xDC00\U0001F601";
    for (const TCodePage codePage : {TCodePage{932}, TCodePage{1252}, CP_UTF_8}) {
        const std::string whole = *WideCharToMultiByte(codePage, text);
        for (std::size_t size = 1; size <= text.size(); ++size) {
            const auto encoder = TCodePageEncoder::Create(codePage);
            std::string pieces;
            for (std::size_t at = 0; at < text.size(); at += size)
                encoder->Encode(std::u16string_view(text).substr(at, size), at + size >= text.size(), pieces);
            EXPECT_EQ(pieces, whole) << codePage << " in pieces of " << size;
        }
    }
}

// The cached fast paths give what the exact converters give.
TEST(CodePageCacheTest, ShiftJisDecodesEveryByteAndPairAsTheExactDecoder) {
    // A flush ends each text: the decoders are used again for the next.
    const auto fastDecoder = TCodePageDecoder::Create(932);
    const auto exactDecoder = CreateExactDecoder(932);
    for (unsigned first = 0; first < 0x100; ++first) {
        for (unsigned second = 0; second < 0x100; ++second) {
            const std::string bytes{static_cast<char>(first), static_cast<char>(second)};
            std::u16string fast, exact;
            fastDecoder->Decode(bytes, true, fast);
            exactDecoder->Decode(bytes, true, exact);
            ASSERT_EQ(fast, exact) << std::hex << first << " " << second;
            std::string fast8;
            fastDecoder->DecodeUtf8(bytes, true, fast8);
            ASSERT_EQ(fast8, Utf16ToUtf8(exact)) << std::hex << first << " " << second;
        }
    }
}

TEST(CodePageCacheTest, RandomBytesInRandomPiecesDecodeAsTheExactDecoder) {
    std::mt19937 random(5);
    const std::string tokens[] = {"a",        "\x82\xA0", "\x81", "\x81 ",         "\x85\x40",
                                  "\xFD",     "\x80",     "\xA0", "\x1A",          "\xB1",
                                  "\xED\x40", "\xFC\xFC", "\xFC", "seven-bit text"};
    for (int round = 0; round < 500; ++round) {
        std::string bytes;
        for (int i = random() % 20; i > 0; --i)
            bytes += tokens[random() % std::size(tokens)];
        std::u16string exact;
        CreateExactDecoder(932)->Decode(bytes, true, exact);
        const auto decoder = TCodePageDecoder::Create(932);
        std::u16string fast;
        for (std::size_t at = 0; at < bytes.size();) {
            const std::size_t size = 1 + random() % 4;
            decoder->Decode(std::string_view(bytes).substr(at, size), at + size >= bytes.size(), fast);
            at += size;
        }
        if (bytes.empty()) decoder->Decode({}, true, fast);
        ASSERT_EQ(fast, exact);
        // The same text in UTF-8, through the same pieces.
        const auto decoder8 = TCodePageDecoder::Create(932);
        std::string fast8;
        for (std::size_t at = 0, size = 1 + round % 9; at < bytes.size(); at += size)
            decoder8->DecodeUtf8(std::string_view(bytes).substr(at, size), at + size >= bytes.size(), fast8);
        if (bytes.empty()) decoder8->DecodeUtf8({}, true, fast8);
        ASSERT_EQ(fast8, Utf16ToUtf8(exact));
    }
}

// Decodes `text` into UTF-8 whole and in pieces of `piece` bytes, each with
// a decoder of its own: both must give what the exact decoder gives.
void ExpectDecodesToUtf8AsTheExactDecoder(std::string_view text, std::size_t piece) {
    const std::string expected = Utf16ToUtf8(*MultiByteToWideChar(932, text));
    std::string whole;
    TCodePageDecoder::Create(932)->DecodeUtf8(text, true, whole);
    ASSERT_EQ(whole, expected) << test::Escape(text);
    const auto decoder = TCodePageDecoder::Create(932);
    std::string joined;
    for (std::size_t at = 0; at < text.size(); at += piece)
        decoder->DecodeUtf8(text.substr(at, piece), at + piece >= text.size(), joined);
    ASSERT_EQ(joined, expected) << piece << " " << test::Escape(text);
}

// Texts long enough to be decoded 64 bytes at a time, of every lead byte
// with every byte after it, beginning on either side of a block's bytes and
// ending a block's last character in the next block, seven-bit or not
// (blocks begin at the first byte from 0x80 up).
TEST(CodePageCacheTest, LongTextsOfEveryPairDecodeAsTheExactDecoder) {
    for (unsigned first = 0x80; first < 0x100; ++first) {
        for (unsigned second = 0; second < 0x100; ++second) {
            std::string pairs;
            for (int i = 0; i < 50; ++i)
                pairs += {static_cast<char>(first), static_cast<char>(second)};
            const std::string sevenBit(70, 'x');
            for (const std::string& text :
                 {pairs + "\x82\xA0", "a" + pairs + "\x88\x9F,", pairs + sevenBit + pairs,
                  "\xB1" + pairs.substr(0, 64) + sevenBit + pairs})
                ASSERT_NO_FATAL_FAILURE(ExpectDecodesToUtf8AsTheExactDecoder(text, 67))
                    << std::hex << first << " " << second;
        }
    }
}

// Long texts of every kind of character, cut anywhere.
TEST(CodePageCacheTest, LongMixedTextsDecodeAsTheExactDecoder) {
    // Kanji, kana, symbols, Greek and Cyrillic (two bytes in UTF-8), NEC's
    // and IBM's characters, half-width katakana, pairs with a seven-bit
    // trail, seven-bit runs longer than a block; and what stops the decoding
    // of 64 bytes at a time: bytes alone (in rounds 1 and 2 of three), pairs
    // without a trail (in rounds 2).
    const std::string tokens[] = {
        "\x88\x9F", "\x8E\x52", "\x82\xA0", "\x83\x5C", "\x81\x40", "\x81\xAD", "\x83\x9F",
        "\x84\x40", "\x87\x40", "\x87\x90", "\xED\x40", "\xFA\x4A", "\x98\x73", "\x95\x7C",
        "\xB1",     "\xDF",     "\xA1",     "a,",       "\"",       "\r\n",     std::string(65, 'z'),
        "\x80",     "\xA0",     "\xFD",     "\x81\x20", "\x81\xFD"};
    std::mt19937 random(65001);
    for (int round = 0; round < 300; ++round) {
        std::string text;
        const std::size_t kinds = std::size(tokens) - std::array{5, 2, 0}[round % 3];
        for (int i = 50 + random() % 300; i > 0; --i)
            text += tokens[random() % kinds];
        ASSERT_NO_FATAL_FAILURE(ExpectDecodesToUtf8AsTheExactDecoder(text, 1 + random() % 200));
    }
}

// Rewriting is decoding, dropping U+0080 and encoding in one step; no byte
// the CSV machine acts on comes out of anything but itself.
TEST(ShiftJisRewriterTest, RewritesEveryByteAndPairAsDecodingAndEncoding) {
    TShiftJisRewriter rewriter;
    auto expected = [](std::string_view bytes) {
        std::u16string text = *MultiByteToWideChar(932, bytes);
        std::erase(text, u'\x80');
        return *WideCharToMultiByte(932, text);
    };
    auto structural = [](char byte) {
        return static_cast<unsigned char>(byte) < 0x20 || byte == '"' || byte == ',' || byte == 0x7F;
    };
    for (unsigned first = 0; first < 0x100; ++first) {
        for (unsigned second = 0; second < 0x100; ++second) {
            const std::string bytes{static_cast<char>(first), static_cast<char>(second)};
            // Wine's decoder takes a byte that is no trail byte into the
            // default character after a lead byte; the rewriter keeps
            // seven-bit bytes as Windows does.
            if (test::UnderWine() && IsLead932(static_cast<std::uint8_t>(first)) &&
                !IsTrail932(static_cast<std::uint8_t>(second)))
                continue;
            std::string rewritten;
            rewriter.Rewrite(bytes, true, rewritten);
            ASSERT_EQ(rewritten, expected(bytes)) << std::hex << first << " " << second;
            // Seven-bit bytes are themselves and nothing else.
            ASSERT_EQ(std::ranges::count_if(rewritten, structural),
                      (first < 0x80 && structural(static_cast<char>(first))) +
                          (second < 0x80 && structural(static_cast<char>(second))))
                << std::hex << first << " " << second;
            // Only U+0080 is left out, and a byte 0x80 alone stands for it.
            ASSERT_EQ(rewritten.empty(), first == 0x80 && second == 0x80)
                << std::hex << first << " " << second;
        }
        std::string alone;
        rewriter.Rewrite(std::string(1, static_cast<char>(first)), true, alone);
        ASSERT_EQ(alone.empty(), first == 0x80) << std::hex << first;
    }
    if (test::UnderWine()) return;  // the same difference, in longer texts
    std::mt19937 random(8);
    const std::string tokens[] = {"a",    ",",    "\x82\xA0", "\x81", "\x81\"",    "\x80",
                                  "\xA0", "\xB1", "\xED\x40", "\xFC", "seven bits"};
    for (int round = 0; round < 300; ++round) {
        std::string bytes;
        for (int i = random() % 20; i > 0; --i)
            bytes += tokens[random() % std::size(tokens)];
        TShiftJisRewriter pieces, views;
        std::string rewritten, viewed, scratch;
        for (std::size_t at = 0, size = 1 + round % 5; at < bytes.size(); at += size) {
            const std::string_view piece = std::string_view(bytes).substr(at, size);
            pieces.Rewrite(piece, at + size >= bytes.size(), rewritten);
            viewed += views.RewriteView(piece, at + size >= bytes.size(), scratch);
        }
        if (bytes.empty()) pieces.Rewrite({}, true, rewritten);
        ASSERT_EQ(rewritten, expected(bytes));
        ASSERT_EQ(viewed, rewritten);
    }
}

// Whatever bytes 932 reads, alone or in pairs, it reads as characters that
// it writes as ones that read back the same: Shift_JIS written in 932 loses
// nothing (the check leaves such sources' characters unlooked at).
TEST(ShiftJisRewriterTest, EveryCharacterRead932WritesBack) {
    for (unsigned first = 0x80; first < 0x100; ++first) {
        for (unsigned second = 0; second <= 0x100; ++second) {
            std::string bytes(1, static_cast<char>(first));
            if (second < 0x100) bytes.push_back(static_cast<char>(second));
            const std::u16string text = *MultiByteToWideChar(932, bytes);
            for (const char16_t character : text) {
                const std::u16string one(1, character);
                ASSERT_EQ(MultiByteToWideChar(932, *WideCharToMultiByte(932, one)), one)
                    << std::hex << first << " " << second;
            }
        }
    }
}

// Pieces that rewrite to themselves are handed back as they are; any other
// is rewritten from the first byte that changes.
TEST(ShiftJisRewriterTest, PiecesThatStayTheSameAreNotCopied) {
    TShiftJisRewriter rewriter;
    std::string out;
    const std::string same = "a,\x82\xA0\x88\x9F\xB1 seven bits\x81\x40";
    rewriter.RewriteView(same, false, out);  // learns the characters
    const std::string_view view = rewriter.RewriteView(same, false, out);
    EXPECT_EQ(view.data(), same.data());
    EXPECT_EQ(view.size(), same.size());
    // A lead byte held back at the end of a piece comes out with the last.
    std::string expected;
    TShiftJisRewriter().Rewrite("a\x81", true, expected);
    std::string joined(rewriter.RewriteView("a\x81", false, out));
    joined += rewriter.RewriteView({}, true, out);
    EXPECT_EQ(joined, expected);
    // Seven-bit runs of every length around the 16 bytes looked at together,
    // before characters that stay and characters that change.
    for (std::size_t run = 0; run < 40; ++run) {
        for (const char* change : {"\x80", "\xED\x40", "\x82"}) {
            const std::string bytes = std::string(run, 'a') + "\x82\xA0" + std::string(run, 'b') + change +
                                      std::string(run % 3, 'c');
            TShiftJisRewriter fresh, exact;
            std::string expected;
            exact.Rewrite(bytes, true, expected);
            EXPECT_EQ(fresh.RewriteView(bytes, true, out), expected) << test::Escape(bytes);
        }
    }
    // U+0080 left out, a lead byte waiting for the next piece, a lead byte
    // without its trail, a character 932 writes otherwise (NEC-selected IBM).
    for (const std::string bytes : {"ab\x80"
                                    "cd",
                                    "\x82\xA0\x81", "x\x81 a", "\x82\xA0\xED\x40"}) {
        TShiftJisRewriter fresh, exact;
        std::string expected;
        exact.Rewrite(bytes, false, expected);
        const std::string_view rewritten = fresh.RewriteView(bytes, false, out);
        EXPECT_EQ(rewritten, expected) << test::Escape(bytes);
        EXPECT_EQ(rewritten.data(), out.data()) << test::Escape(bytes);
    }
}

// Whether a lead byte in `bytes` is followed by a byte that cannot end its
// character: Wine reads the two as one character, Windows and ICU do not.
bool HasLeadWithoutTrail(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (!IsLead932(static_cast<std::uint8_t>(bytes[i]))) continue;
        if (i + 1 < bytes.size() && !IsTrail932(static_cast<std::uint8_t>(bytes[i + 1]))) return true;
        ++i;
    }
    return false;
}

// Texts long enough to be looked at 64 bytes at a time, of every lead byte
// with every byte after it, beginning on either side of a block's bytes, in
// one piece and in pieces: rewritten as decoding and encoding them does.
// Characters passed over unlooked at must stay as they are in 932 here.
TEST(ShiftJisRewriterTest, LongTextsOfEveryPairRewriteAsDecodingAndEncoding) {
    auto expected = [](std::string_view bytes) {
        std::u16string text = *MultiByteToWideChar(932, bytes);
        std::erase(text, u'\x80');
        return *WideCharToMultiByte(932, text);
    };
    std::string out;
    for (unsigned first = 0x80; first < 0x100; ++first) {
        for (unsigned second = 0; second < 0x100; ++second) {
            std::string pairs;
            for (int i = 0; i < 50; ++i)
                pairs += {static_cast<char>(first), static_cast<char>(second)};
            for (const std::string& text : {pairs + "\x82\xA0", "a" + pairs + "\x88\x9F,"}) {
                if (test::UnderWine() && HasLeadWithoutTrail(text)) continue;
                const std::string whole = expected(text);
                ASSERT_EQ(TShiftJisRewriter().RewriteView(text, true, out), whole)
                    << std::hex << first << " " << second << " " << test::Escape(text);
                TShiftJisRewriter pieces;
                std::string joined;
                for (std::size_t at = 0; at < text.size(); at += 67)
                    joined += pieces.RewriteView(std::string_view(text).substr(at, 67),
                                                 at + 67 >= text.size(), out);
                ASSERT_EQ(joined, whole) << std::hex << first << " " << second;
            }
        }
    }
}

// Long texts of every kind of character, cut anywhere: as decoding and
// encoding them does.
TEST(ShiftJisRewriterTest, LongMixedTextsRewriteAsDecodingAndEncoding) {
    auto expected = [](std::string_view bytes) {
        std::u16string text = *MultiByteToWideChar(932, bytes);
        std::erase(text, u'\x80');
        return *WideCharToMultiByte(932, text);
    };
    // Kanji, kana, symbols and gaps between them, NEC's and IBM's
    // characters, half-width katakana, bytes alone, pairs with a seven-bit
    // trail; in odd rounds also a lead byte without a trail (the last).
    const std::string tokens[] = {"\x88\x9F", "\x8E\x52", "\x82\xA0", "\x83\x5C", "\x81\x40", "\x81\xAD",
                                  "\x81\xFC", "\x84\x92", "\x87\x40", "\x87\x90", "\xED\x40", "\xFA\x4A",
                                  "\xEA\xA4", "\xEA\xA5", "\x98\x73", "\xB1",     "\x80",     "\xA0",
                                  "\xFD",     "\x95\x7C", "a,",       "\"",       "\n",       "\x81\x20"};
    std::mt19937 random(932);
    std::string out;
    for (int round = 0; round < 200; ++round) {
        std::string text;
        for (int i = 50 + random() % 300; i > 0; --i)
            text += tokens[random() % (std::size(tokens) - 1 + round % 2)];
        if (test::UnderWine() && HasLeadWithoutTrail(text)) continue;
        const std::string whole = expected(text);
        ASSERT_EQ(TShiftJisRewriter().RewriteView(text, true, out), whole) << test::Escape(text);
        TShiftJisRewriter pieces;
        std::string joined;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t size = 1 + random() % 200;
            joined +=
                pieces.RewriteView(std::string_view(text).substr(at, size), at + size >= text.size(), out);
            at += size;
        }
        ASSERT_EQ(joined, whole) << test::Escape(text);
    }
}

// What a code page writes as a quotation mark besides the mark itself.
TEST(QuotationMarkStandInsTest, AreWhatTheCodePageWritesAsAMark) {
    const std::vector<char16_t>& western = QuotationMarkStandIns(1252);
    if (!test::UnderWine()) {
        EXPECT_EQ(western, (std::vector<char16_t>{0x02BA, 0x030E, 0xFF02}));
    }
    EXPECT_TRUE(std::ranges::is_sorted(western));
    EXPECT_GT(std::ranges::count(western, u'\uFF02'), 0);
    for (const char16_t unit : western)
        EXPECT_EQ(WideCharToMultiByte(1252, std::u16string_view(&unit, 1)), "\"") << static_cast<int>(unit);
    for (const TCodePage codePage :
         {TCodePage{932}, TCodePage{936}, TCodePage{949}, TCodePage{950}, CP_UTF_8})
        EXPECT_THAT(QuotationMarkStandIns(codePage), ::testing::IsEmpty()) << codePage;
    EXPECT_EQ(&QuotationMarkStandIns(1252), &western) << "found once";
}

// Seven-bit runs of every length around the 16 bytes copied together, in
// text that mixes them with Japanese characters: as the exact converters.
TEST(CodePageCacheTest, ShortSevenBitRunsBetweenCharacters) {
    const auto decoder = TCodePageDecoder::Create(932);
    const auto encoder = TCodePageEncoder::Create(932);
    for (std::size_t run = 0; run < 40; ++run) {
        std::string shiftJis, utf8;
        for (int k = 0; k < 3; ++k) {
            shiftJis += std::string(run + k, 'a') + "\x82\xA0\xB1";
            utf8 += std::string(run + k, 'a') + "\xE3\x81\x82\xEF\xBD\xB1";
        }
        std::string decoded, exactDecoded;
        decoder->DecodeUtf8(shiftJis, true, decoded);
        CreateExactDecoder(932)->DecodeUtf8(shiftJis, true, exactDecoded);
        EXPECT_EQ(decoded, exactDecoded) << run;
        EXPECT_EQ(decoded, utf8) << run;
        std::string encoded, exactEncoded;
        encoder->EncodeUtf8(utf8, true, encoded);
        CreateExactEncoder(932)->EncodeUtf8(utf8, true, exactEncoded);
        EXPECT_EQ(encoded, exactEncoded) << run;
        EXPECT_EQ(encoded, shiftJis) << run;
    }
}

TEST(CodePageCacheTest, EveryAnsiCodePageEncodesAsTheExactEncoder) {
    std::u16string every;
    for (char32_t unit = 0; unit <= 0xFFFF; ++unit)
        if (unit < 0xD800 || unit > 0xDFFF) every.push_back(static_cast<char16_t>(unit));
    const std::u16string odd =
        u"a\xD800"
        u"b\xDC00\U0001F600\U00020B9F\xD83D";
    for (const TCodePage codePage :
         {874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258}) {
        for (const std::u16string& text : {every, odd}) {
            std::string exact;
            CreateExactEncoder(codePage)->Encode(text, true, exact);
            const auto encoder = TCodePageEncoder::Create(codePage);
            std::string fast;
            for (std::size_t at = 0; at < text.size(); at += 3)
                encoder->Encode(std::u16string_view(text).substr(at, 3), at + 3 >= text.size(), fast);
            ASSERT_TRUE(fast == exact) << codePage;
        }
        // UTF-8 text, well formed or not (a surrogate, an overlong form, a
        // character cut short, bytes no character begins with, one past
        // U+10FFFF), cut anywhere, and each such sequence alone among runs
        // of kanji long enough for blocks of 64 bytes: as its UTF-16 reading.
        const std::string odd[] = {
            "\xF0\x9F\x98\x80", "\xC2\x80",         " \xED\xA0\x80", "\xE0\x80\xAF", "\xE3\x81\xFF",
            "\xE3\x81\x41",     "\xE3\x41\x81",     "\xC3 ",         "\xFF",         "\x80",
            "\xBF\xBF",         "\xF4\x90\x80\x80", "\xC0\x80",      "\xC1\xBF",     "\xC3\xA9\xC2"};
        std::string kanji;
        for (int i = 0; i < 40; ++i)
            kanji += "\xE6\xBC\xA2";
        std::string utf8 = Utf16ToUtf8(every);
        for (const std::string& bytes : odd)
            utf8 += bytes;
        std::string exact;
        CreateExactEncoder(codePage)->Encode(Utf8ToUtf16(utf8), true, exact);
        // Pieces long enough for blocks, cut inside characters too.
        for (const std::size_t size : {std::size_t{3}, std::size_t{7}, std::size_t{1001}, utf8.size()}) {
            const auto encoder = TCodePageEncoder::Create(codePage);
            std::string fast;
            for (std::size_t at = 0; at < utf8.size(); at += size)
                encoder->EncodeUtf8(std::string_view(utf8).substr(at, size), at + size >= utf8.size(), fast);
            ASSERT_TRUE(fast == exact) << codePage << " in pieces of " << size;
        }
        // Blocks begin at the first kanji: the sequence comes 0 to 5 or 60
        // to 65 bytes into one.
        for (const std::string& bytes : odd) {
            for (const std::size_t before : {0, 20}) {
                for (std::size_t seven = 0; seven < 6; ++seven) {
                    const std::string among =
                        kanji.substr(0, 3 * before) + std::string(seven, 'x') + bytes + kanji;
                    std::string fast, exactAmong;
                    TCodePageEncoder::Create(codePage)->EncodeUtf8(among, true, fast);
                    CreateExactEncoder(codePage)->Encode(Utf8ToUtf16(among), true, exactAmong);
                    ASSERT_TRUE(fast == exactAmong) << codePage << " " << test::Escape(among);
                }
            }
        }
    }
}

}  // namespace
}  // namespace quillmark
