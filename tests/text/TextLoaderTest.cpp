#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/Exception.h"
#include "base/Utf.h"
#include "support/Platform.h"
#include "text/EncodeDetect.h"
#include "text/TestStreams.h"
#include "text/TextLoader.h"

namespace quillmark {
namespace {

using namespace std::string_literals;

constexpr auto kRowName = [](const auto& info) { return std::string(info.param.name); };

struct DecodeCase {
    const char* name;
    std::string bytes;
    TCodePage codePage;
    std::u16string expected;
};
class BytesToTextIn : public ::testing::TestWithParam<DecodeCase> {};
TEST_P(BytesToTextIn, DecodesWithoutTheMark) {
    if (!test::SystemConverts(GetParam().codePage))
        GTEST_SKIP() << "Wine has no converter for this code page";
    EXPECT_EQ(BytesToText(GetParam().bytes, GetParam().codePage), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Unicode, BytesToTextIn,
    ::testing::Values(
        DecodeCase{"Utf8OneMarkDropped", "\xEF\xBB\xBF\xEF\xBB\xBF", 65001, u"\uFEFF"},
        DecodeCase{"Utf16LeUnpairedSurrogateKept", "\x00\xD8"s, 1200, u"\xD800"},
        DecodeCase{"Utf16Be", "\xFE\xFF\x00\x41\x30\x42"s, 1201, u"A\u3042"},
        DecodeCase{"Utf16BeTakesLeMarkAsText", "\xFF\xFE", 1201, u"\uFFFE"},
        DecodeCase{"Utf32LeSupplementaryToPair", "\xFF\xFE\x00\x00\x00\xF6\x01\x00"s, 12000, u"\U0001F600"},
        DecodeCase{"Utf32Be", "\x00\x00\xFE\xFF\x00\x01\xF6\x00\x00\x00\x00\x41"s, 12001, u"\U0001F600A"},
        DecodeCase{"Utf32AboveUnicodeReplaced", "\x00\x00\x11\x00"s, 12000, u"\uFFFD"},
        DecodeCase{"Utf32SurrogateKept", "\x00\xDC\x00\x00"s, 12000, u"\xDC00"},
        DecodeCase{"Utf32ShortLastUnitIgnored", "\x41\x00\x00\x00\x42\x00"s, 12000, u"A"},
        DecodeCase{"NoCodePageWidens", "\x00\x80\xFF"s, 65535, u"\0\u0080\u00FF"s}),
    kRowName);
INSTANTIATE_TEST_SUITE_P(
    CodePages, BytesToTextIn,
    ::testing::Values(DecodeCase{"ShiftJisWaveDash", "\x82\xA0\x81\x60", 932, u"\u3042\uFF5E"},
                      DecodeCase{"EucJpWaveDashFixed", "\xA4\xA2\xA1\xC1", 20932, u"\u3042\uFF5E"},
                      DecodeCase{"EucJpMinusFixed", "\xA1\xDD", 51932, u"\uFF0D"},
                      DecodeCase{"JisWaveDashFixed", "\x1B$B$\"!A\x1B(B", 50220, u"\u3042\uFF5E"},
                      DecodeCase{"Jis50221", "\x1B$B!A\x1B(B", 50221, u"\uFF5E"},
                      DecodeCase{"Jis50222", "\x1B$B!]\x1B(B", 50222, u"\uFF0D"},
                      DecodeCase{"OtherCodePageUnfixed", "\xA2", 1252, u"\u00A2"},
                      DecodeCase{"UnsupportedCodePageGivesNothing", "abc", 12345, u""}),
    kRowName);

TEST(JisX0208Fix, ReplacesEachByTheCodePage932CodePointOnly) {
    EXPECT_EQ(MecsMappingFix_JISX0208ToUnicode(u"\u00A2\u00A3\u00AC\u2014\u2016\u203E\u2212\u301C"),
              u"\uFFE0\uFFE1\uFFE2\u2015\u2225\uFFE3\uFF0D\uFF5E");
    const std::u16string others = u"a\0\u00A1\u00A4\u2015\u2213\u301D\u3042\uFF5E"s;
    EXPECT_EQ(MecsMappingFix_JISX0208ToUnicode(others), others);
    for (TCodePage codePage : {20932u, 50220u, 50222u, 51932u})
        EXPECT_TRUE(IsJisFamilyCodePage(codePage));
    for (TCodePage codePage : {932u, 50219u, 50223u, 51931u, 65001u})
        EXPECT_FALSE(IsJisFamilyCodePage(codePage));
}

TEST(EncodingToCodePage, MapsEveryEncodingNumber) {
    const std::pair<std::int32_t, TCodePage> table[] = {
        {-2, 65535}, {-1, 65535}, {0, 932},   {1, 20932}, {2, 50220}, {3, 1200},  {4, 1201},
        {5, 65001},  {6, 65001},  {7, 12000}, {8, 12001}, {9, 65535}, {10, 65535}};
    for (const auto& [encoding, codePage] : table)
        EXPECT_EQ(EncodingToCodePage(encoding), codePage) << encoding;
}

struct LoadCase {
    const char* name;
    std::string bytes;
    std::u16string expected;
};
class StreamToTextOf : public ::testing::TestWithParam<LoadCase> {};
TEST_P(StreamToTextOf, DetectsAndDecodesTheWholeContent) {
    if (GetParam().name == std::string("Jis") && !test::SystemConverts(50220))
        GTEST_SKIP() << "Wine has no converter for ISO-2022-JP";
    test::ForEachStreamKind(GetParam().bytes, [&](TStream& stream) {
        stream.Seek(stream.Size() / 2);
        EXPECT_EQ(StreamToText(stream), GetParam().expected);
        EXPECT_EQ(stream.Position(), stream.Size());
    });
}
INSTANTIATE_TEST_SUITE_P(
    Files, StreamToTextOf,
    ::testing::Values(LoadCase{"Empty", "", u""}, LoadCase{"Utf8MarkAlone", "\xEF\xBB\xBF", u""},
                      LoadCase{"Utf8",
                               "\xEF\xBB\xBF"
                               "a\xE3\x81\x82",
                               u"a\u3042"},
                      LoadCase{"SevenBitKeptWhole", "a,\"b\"\r\n\0c\n"s, u"a,\"b\"\r\n\0c\n"s},
                      LoadCase{"Utf7TakenByteForByte", "A+B", u"A+B"},
                      LoadCase{"UndeterminedWidened",
                               "\x80"
                               "A",
                               u"\u0080A"},
                      LoadCase{"Utf16LeOddByteIgnored", "\xFF\xFE\x41\x00\x42"s, u"A"},
                      LoadCase{"Utf16BeMarkAlone", "\xFE\xFF", u""},
                      LoadCase{"Utf32Le", "\xFF\xFE\x00\x00\x41\x00\x00\x00"s, u"A"},
                      LoadCase{"ShiftJis", "\x82\xA0\x81\x60", u"\u3042\uFF5E"},
                      LoadCase{"EucJp", "\xA1\xC1", u"\uFF5E"},
                      LoadCase{"Jis", "\x1B$B$\"\x1B(B", u"\u3042"}),
    kRowName);

// A UTF-8 CSV longer than the detection sample, whose byte 102400 (the last
// one the sample holds) is byte `cut` of the character U+3042.
std::string Utf8CsvCutAt(int cut) {
    const std::string line = "1001,山田太郎,やまだたろう,東京都千代田区千代田1-1\r\n";
    std::string csv;
    while (csv.size() + line.size() < kDetectionSampleSize - 10)
        csv += line;
    csv.resize(kDetectionSampleSize - cut, '-');
    return csv + "あいう\r\n" + line;
}
class LongUtf8File : public ::testing::TestWithParam<int> {};
TEST_P(LongUtf8File, IsUtf8WhereverTheSampleEnds) {
    const std::string csv = Utf8CsvCutAt(GetParam());
    ASSERT_EQ(csv.substr(kDetectionSampleSize - GetParam(), 3), "あ");
    test::ForEachStreamKind(csv, [&](TStream& stream) { EXPECT_EQ(StreamToText(stream), Utf8ToUtf16(csv)); });
}
INSTANTIATE_TEST_SUITE_P(SampleEnd, LongUtf8File, ::testing::Values(1, 2, 3),
                         [](const auto& info) { return "AtByte" + std::to_string(info.param); });

TEST(LongShiftJisFile, SevenBitSampleLeavesItWidened) {
    std::string ascii;
    while (ascii.size() < kDetectionSampleSize)
        ascii += "1001,yamada,03-1234-5678\r\n";
    ascii.resize(kDetectionSampleSize);
    TMemoryStream stream(ascii + "\x82\xA0\r\n");
    EXPECT_EQ(StreamToText(stream), std::u16string(ascii.begin(), ascii.end()) + u"\u0082\u00A0\r\n");
}

TEST(StreamSizes, SampleOfAStreamBeyondFourGibIsFull) {
    // A size cut to 32 bits would make the sample 100 bytes.
    test::TPatternStream stream((std::uint64_t{1} << 32) + 100, "a,b\r\n");
    EXPECT_EQ(DetectStreamCodePage(stream), CP_NONE);
    EXPECT_EQ(stream.Position(), std::uint64_t{kDetectionSampleSize});
}

TEST(StreamRead, ReportsProgressInLargeSteps) {
    TMemoryStream stream(std::string((std::size_t{9} << 20) + 1, 'a'));
    std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
    const std::string bytes = StreamToRawBytes(
        stream, [&](std::uint64_t done, std::uint64_t total) { calls.emplace_back(done, total); });
    EXPECT_EQ(bytes, stream.Bytes());
    ASSERT_GE(calls.size(), 2u);
    EXPECT_LE(calls.size(), 10u);
    EXPECT_EQ(calls.back().first, stream.Size());
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].second, stream.Size());
        if (i > 0) {
            EXPECT_GE(calls[i].first - calls[i - 1].first, 1u << 20);
        }
    }
}

TEST(StreamRead, CancelFromProgressPassesThrough) {
    TMemoryStream stream("a,b\r\n");
    EXPECT_THROW(StreamToText(stream, [](std::uint64_t, std::uint64_t) { throw EAbort(); }), EAbort);
}

TEST(StreamRead, StreamEndingBeforeItsSizeThrowsReadError) {
    // Long enough for the detection sample; only the whole read falls short.
    test::TPatternStream stream(200000, "a,b\r\n", 150000);
    EXPECT_THROW(StreamToText(stream), EReadError);
}

}  // namespace
}  // namespace quillmark
