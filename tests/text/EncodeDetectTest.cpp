#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "base/Exception.h"
#include "text/EncodeDetect.h"
#include "text/TestStreams.h"

namespace quillmark {
namespace {

using namespace std::string_literals;
using enum TIgnoreEncode;

constexpr auto kRowName = [](const auto& info) { return std::string(info.param.name); };

struct JisCase {
    const char* name;
    std::string bytes;
    bool expected;
};
class JisCheck : public ::testing::TestWithParam<JisCase> {};
TEST_P(JisCheck, FindsAnEscapeBeforeAnyEightBitByte) {
    EXPECT_EQ(IsJIS(GetParam().bytes), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Escapes, JisCheck,
    ::testing::Values(JisCase{"Empty", "", false}, JisCase{"Ascii", "a\x1B(B", true},
                      JisCase{"Roman", "\x1B(J", true}, JisCase{"Katakana", "\x1B(I", true},
                      JisCase{"Jis1978", "\x1B$@", true}, JisCase{"Jis1983", "\x1B$B", true},
                      JisCase{"Jis0212", "\x1B$(D", true}, JisCase{"Jis1990", "\x1B&@\x1B$B", true},
                      JisCase{"EscapeCutShort", "\x1B$", false}, JisCase{"UnknownEscape", "\x1B(A", false},
                      JisCase{"EightBitBefore", "\xA4\x1B$B", false},
                      JisCase{"EightBitAfterNotExamined", "\x1B$B\xA4\xA2", true}),
    kRowName);

using TCheck = bool (*)(TBytes, std::int32_t&, TIgnoreEncodes, bool);
bool Utf7(TBytes bytes, std::int32_t& score, TIgnoreEncodes ignore, bool) {
    return IsUTF7(bytes, score, ignore);
}

struct WalkCase {
    const char* name;
    TCheck check;
    std::string bytes;
    bool valid;
    std::int32_t points;
    bool samplePrefix = false;
};
class ContentCheck : public ::testing::TestWithParam<WalkCase> {};
TEST_P(ContentCheck, AddsPointsToTheScoreItIsGiven) {
    const WalkCase& row = GetParam();
    std::int32_t score = 10;
    EXPECT_EQ(row.check(row.bytes, score, {}, row.samplePrefix), row.valid);
    EXPECT_EQ(score, 10 + row.points);
}
INSTANTIATE_TEST_SUITE_P(
    ShiftJis, ContentCheck,
    ::testing::Values(WalkCase{"Empty", IsSJIS, "", true, 0},
                      WalkCase{"Hiragana", IsSJIS, "\x82\xA0\x83\x40", true, 4},
                      WalkCase{"HalfWidthKatakanaScoreNothing", IsSJIS, "\xA1\xDF", true, 0},
                      WalkCase{"LeadAtEnd", IsSJIS, "a\x82", true, 0},
                      WalkCase{"FailureKeepsEarlierPoints", IsSJIS, "\x82\xA0\xE0\x7F", false, 2},
                      WalkCase{"Invalid80", IsSJIS, "\x80", false, 0},
                      WalkCase{"InvalidA0", IsSJIS, "\xA0", false, 0},
                      WalkCase{"InvalidFD", IsSJIS, "\xFD", false, 0}),
    kRowName);
INSTANTIATE_TEST_SUITE_P(EucJp, ContentCheck,
                         ::testing::Values(WalkCase{"Hiragana", IsEUC, "\xA4\xA2", true, 2},
                                           WalkCase{"HalfWidthKatakana", IsEUC, "\x8E\xB1", true, 2},
                                           WalkCase{"HalfWidthTrailOutOfRange", IsEUC, "\x8E\xE0", false, 0},
                                           WalkCase{"Jis0212", IsEUC, "\x8F\xA1\xFE", true, 3},
                                           WalkCase{"Jis0212CutLeavesALeadAtEnd", IsEUC, "\x8F\xA1", true, 0},
                                           WalkCase{"Invalid8D", IsEUC, "\x8D", false, 0},
                                           WalkCase{"InvalidFF", IsEUC, "\xFF", false, 0}),
                         kRowName);
INSTANTIATE_TEST_SUITE_P(
    Utf8, ContentCheck,
    ::testing::Values(WalkCase{"TwoToFourBytes", IsUTF8, "\xC3\xA9\xE3\x81\x82\xF0\x9F\x98\x80", true, 9},
                      WalkCase{"OverlongAndSurrogateAccepted", IsUTF8, "\xC0\x80\xED\xA0\x80", true, 5},
                      WalkCase{"LeadAtEnd", IsUTF8, "\xE3", true, 0},
                      WalkCase{"CutAfterSecondByte", IsUTF8, "\xE3\x81\x82\xE3\x81", false, 3},
                      WalkCase{"CutAfterSecondByteOfSample", IsUTF8, "\xE3\x81\x82\xE3\x81", true, 3, true},
                      WalkCase{"CutAfterThirdByteOfSample", IsUTF8, "\xF0\x9F\x98", true, 0, true},
                      WalkCase{"SampleStillChecksTrails", IsUTF8, "\xE3\x41", false, 0, true},
                      WalkCase{"LongAsciiRunThenStrayTrail", IsUTF8, std::string(37, 'a') + "\x80", false, 0},
                      WalkCase{"InvalidF8", IsUTF8, "\xF8\x80\x80\x80\x80", false, 0}),
    kRowName);
INSTANTIATE_TEST_SUITE_P(Utf7, ContentCheck,
                         ::testing::Values(WalkCase{"PlainText", Utf7, "a-b c,d\r\n", true, 0},
                                           WalkCase{"OpenRunScoresThePlus", Utf7, "A+B", true, 4},
                                           WalkCase{"ClosedRuns", Utf7, "+MEIwRA-,+-", true, 16},
                                           WalkCase{"CommaInsideRun", Utf7, "A+B,", false, 4},
                                           WalkCase{"LineEndInsideRun", Utf7, "+AB\r\n", false, 6},
                                           WalkCase{"EightBit", Utf7, "a\x80", false, 0}),
                         kRowName);

TEST(ContentChecks, Utf7RejectsEachOfTheTwentyTwoCharacters) {
    for (char c : std::string("!\"#$%&*;<=>@[\\]^_`{|}~")) {
        std::int32_t score = 0;
        EXPECT_FALSE(IsUTF7("+A-"s + c, score)) << c;
    }
}

TEST(ContentChecks, IgnoredCheckFailsWithoutScoring) {
    const std::pair<TCheck, TIgnoreEncode> checks[] = {
        {IsSJIS, ieSJIS}, {IsEUC, ieEUC}, {IsUTF8, ieUTF8}, {Utf7, ieUTF7}};
    for (const auto& [check, member] : checks) {
        std::int32_t score = 10;
        EXPECT_FALSE(check("+A-\xE3\x81\x82", score, {member}, false));
        EXPECT_EQ(score, 10);
    }
}

TEST(ContentChecks, ScoreStopsAtTheTopInsteadOfOverflowing) {
    std::int32_t score = std::numeric_limits<std::int32_t>::max() - 1;
    EXPECT_TRUE(IsUTF8("\xE3\x81\x82", score));
    EXPECT_EQ(score, std::numeric_limits<std::int32_t>::max());
}

struct DetectCase {
    const char* name;
    std::string bytes;
    std::int32_t expected;
    TIgnoreEncodes ignore = {};
};
class CheckEncodingOf : public ::testing::TestWithParam<DetectCase> {};
TEST_P(CheckEncodingOf, AgreesOnBytesAndStreams) {
    const DetectCase& row = GetParam();
    EXPECT_EQ(CheckEncoding(row.bytes, row.ignore), row.expected);
    test::ForEachStreamKind(row.bytes, [&](TStream& stream) {
        EXPECT_EQ(CheckEncoding(stream, 0, row.ignore), row.expected);
        EXPECT_EQ(stream.Position(), row.bytes.size());
    });
}
INSTANTIATE_TEST_SUITE_P(Evidence, CheckEncodingOf,
                         ::testing::Values(DetectCase{"Empty", "", enNone},
                                           DetectCase{"Utf32LeNotUtf16Le",
                                                      "\xFF\xFE\x00\x00\x41\x00\x00\x00"s, enUTF32LE},
                                           DetectCase{"Utf16Le", "\xFF\xFE\x41\x00"s, enUTF16LE},
                                           DetectCase{"Utf16LeOfThreeBytes", "\xFF\xFE\x00"s, enUTF16LE},
                                           DetectCase{"Utf16Be", "\xFE\xFF", enUTF16BE},
                                           DetectCase{"Utf32Be", "\x00\x00\xFE\xFF"s, enUTF32BE},
                                           DetectCase{"Utf8MarkAlone", "\xEF\xBB\xBF", enUTF8BOM},
                                           DetectCase{"Utf8MarkIgnoredIsContent", "\xEF\xBB\xBF", enUTF8,
                                                      TIgnoreEncodes::FromBits(0x10)},
                                           DetectCase{"Jis", "\x1B$B$\"\x1B(B", enISO2022JP},
                                           DetectCase{"EightBitAfterEscape", "\x1B$B\xA4\xA2", enISO2022JP},
                                           DetectCase{"JisIgnored", "\x1B$B", enNone, {ieJIS}}),
                         kRowName);
INSTANTIATE_TEST_SUITE_P(
    Scores, CheckEncodingOf,
    ::testing::Values(DetectCase{"SevenBitScoresNothing", "a,b\r\n", enNone},
                      DetectCase{"ShiftJis", "\x82\xA0", enShiftJIS},
                      DetectCase{"ShiftJisIgnored", "\x82\xA0", enNone, {ieSJIS}},
                      DetectCase{"EucJpOverHalfWidthShiftJis", "\xA4\xA2", enEUCJP},
                      DetectCase{"Utf8OverShiftJis", "\xE3\x81\x82", enUTF8},
                      DetectCase{"Utf8IgnoredLeavesShiftJis", "\xE3\x81\x82", enShiftJIS, {ieUTF8}},
                      DetectCase{"SharedTopScore", "\xC3\xA9", enNone}, DetectCase{"Utf7", "A+B", enUTF7},
                      DetectCase{"FailedTopScorerWinsNothing", "A+B,", enNone}),
    kRowName);

struct LimitCase {
    const char* name;
    std::string bytes;
    std::int32_t maxBytes;
    std::int32_t expected;
    std::uint64_t examined;
};
class CheckEncodingLimit : public ::testing::TestWithParam<LimitCase> {};
TEST_P(CheckEncodingLimit, ExaminesAtMostMaxBytes) {
    test::ForEachStreamKind(GetParam().bytes, [&](TStream& stream) {
        stream.Seek(stream.Size() / 2);
        EXPECT_EQ(CheckEncoding(stream, GetParam().maxBytes), GetParam().expected);
        EXPECT_EQ(stream.Position(), GetParam().examined);
    });
}
// "A+B" alone is UTF-7; the bytes after it make UTF-7 fail on top.
INSTANTIATE_TEST_SUITE_P(
    Streams, CheckEncodingLimit,
    ::testing::Values(LimitCase{"ZeroMeansAll", "A+B\x82\xA0", 0, enNone, 5},
                      LimitCase{"NegativeMeansAll", "A+B\x82\xA0", -1, enNone, 5},
                      LimitCase{"BeyondTheEndMeansAll", "A+B\x82\xA0", 10, enNone, 5},
                      LimitCase{"Prefix", "A+B\x82\xA0", 3, enUTF7, 3},
                      LimitCase{"CharacterCutBySampleAccepted", "\xE3\x80\x80\xE3\x80\x80", 5, enUTF8, 5},
                      LimitCase{"CharacterCutByEndOfStreamFails", "\xE3\x80\x80\xE3\x80", 5, enNone, 5},
                      LimitCase{"ZeroMeansAllOfALongStream", std::string(150000, 'a') + "\xE3\x81\x82", 0,
                                enUTF8, 150003},
                      LimitCase{"EmptyStream", "", 10, enNone, 0}),
    kRowName);

TEST(CheckEncodingStream, ShortStreamThrowsReadError) {
    test::TPatternStream stream(10, "a", 4);
    EXPECT_THROW(CheckEncoding(stream, 0), EReadError);
}

}  // namespace
}  // namespace quillmark
