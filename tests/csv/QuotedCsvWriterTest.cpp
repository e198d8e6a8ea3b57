#include "csv/QuotedCsvWriter.h"

#include <gtest/gtest.h>

#include "base/CodePage.h"
#include "base/Utf.h"
#include "csv/MarkDoubling.h"
#include "support/TestFiles.h"

namespace quillmark {
namespace {

using test::Escape;
using test::ReadBytes;
using test::TTempDir;

struct WriteCase {
    const char* name;
    TCsvTable table;
    std::int32_t encoding;
    TColumnSet quote;
    std::string bytes;
};

class QuotedCsvWriter : public ::testing::TestWithParam<WriteCase> {};

TEST_P(QuotedCsvWriter, WritesExactBytes) {
    ASSERT_EQ(GetACP(), 932u) << "these cases expect the Japanese ANSI code page (LC_ALL=ja_JP.UTF-8)";
    TTempDir folder;
    WriteQuotedCsvFile(folder.File("out.csv"), GetParam().table, GetParam().encoding, GetParam().quote);
    EXPECT_EQ(Escape(ReadBytes(folder / "out.csv")), Escape(GetParam().bytes));
    EXPECT_EQ(folder.Listing(), "out.csv");
}

INSTANTIATE_TEST_SUITE_P(
    Format, QuotedCsvWriter,
    ::testing::Values(
        WriteCase{"EmptyTableGivesEmptyFile", {}, 1, {0}, ""},
        WriteCase{"NoColumnTickedWritesValuesAsRead", {{u"a,b", u"c"}}, 1, {}, "a,b,c\r\n"},
        WriteCase{"EmptyValueQuoted", {{u"", u"x"}}, 1, {0}, "\"\",x\r\n"},
        WriteCase{"InnerQuotesDoubled", {{u"x\"y", u"\""}}, 1, {0, 1}, "\"x\"\"y\",\"\"\"\"\r\n"},
        WriteCase{"LineFeedsStayBare", {{u"a\nb", u"c\nd"}}, 1, {1}, "a\nb,\"c\nd\"\r\n"},
        WriteCase{"TickBeyondLastColumnQuotesNothing", {{u"a", u"b"}}, 1, {5, 70000}, "a,b\r\n"},
        WriteCase{"NegativeIndexesMatchNoColumn", {{u"a", u"b"}}, 1, {-7, -1, 1}, "a,\"b\"\r\n"},
        WriteCase{"EveryRowEndsInCrLf", {{u"1"}, {u"2"}}, 1, {}, "1\r\n2\r\n"},
        WriteCase{"Utf8WithoutMark", {{u"あ"}}, 1, {}, "\xE3\x81\x82\r\n"},
        WriteCase{"NoSelectionMeansUtf8", {{u"あ"}}, -1, {}, "\xE3\x81\x82\r\n"},
        WriteCase{"OtherSelectorsMeanUtf8", {{u"あ"}}, 2, {}, "\xE3\x81\x82\r\n"},
        WriteCase{"Utf8UnpairedSurrogate", {{u"\xD800", u"\xDC00"}}, 1, {}, "\xEF\xBF\xBD,\xEF\xBF\xBD\r\n"},
        WriteCase{"AnsiShiftJis", {{u"あ", u"～"}}, 0, {1}, "\x82\xA0,\"\x81\x60\"\r\n"},
        WriteCase{"AnsiBestFit", {{u"\u00A5"}}, 0, {}, "\x5C\r\n"},
        WriteCase{"AnsiDefaultCharacter", {{u"\U0001F600", u"\u20AC"}}, 0, {}, "??,?\r\n"},
        WriteCase{"SurrogateHalvesSplitByComma", {{u"\xD83D", u"\xDE00"}}, 0, {}, "?,?\r\n"},
        WriteCase{"WideColumnsBeyondQuickTable",
                  {[] {
                      TCsvRow row(5000, u"");
                      row[4999] = u"z";
                      return row;
                  }()},
                  1,
                  {4999},
                  std::string(4999, ',') + "\"z\"\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(QuotedCsvWriterRows, LargeTablesArriveWhole) {
    TTempDir folder;
    TCsvTable table;
    std::string expected;
    for (int i = 0; i < 50000; ++i) {
        table.push_back({u"行" + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)), u"x"});
        expected += "\xE8\xA1\x8C" + std::to_string(i % 10) + ",\"x\"\r\n";
    }
    WriteQuotedCsvFile(folder.File("out.csv"), table, 1, {1});
    EXPECT_EQ(ReadBytes(folder / "out.csv"), expected);
}

// In a quoted field the marks are doubled, and so are the characters the
// target's code page writes as marks; UTF-16 and UTF-8 alike.
TEST(MarkDoubling, DoublesMarksAndStandIns) {
    const std::vector<char16_t> standIns = {0x02BA, 0xFF02};
    const struct {
        std::u16string Content;
        std::u16string Doubled;
        std::u16string WithoutStandIns;
    } cases[] = {
        {u"", u"", u""},
        {u"a\"b", u"a\"\"b", u"a\"\"b"},
        {u"\uFF02x\u02BA", u"\uFF02\uFF02x\u02BA\u02BA", u"\uFF02x\u02BA"},
        {u"\u02BB\uFF03\U0001F600\"", u"\u02BB\uFF03\U0001F600\"\"", u"\u02BB\uFF03\U0001F600\"\""},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(Utf16ToUtf8(test.Content));
        std::u16string wide;
        AppendMarksDoubled(std::u16string_view(test.Content), standIns, wide);
        EXPECT_EQ(wide, test.Doubled);
        std::string narrow;
        AppendMarksDoubled(std::string_view(Utf16ToUtf8(test.Content)), standIns, narrow);
        EXPECT_EQ(narrow, Utf16ToUtf8(test.Doubled));
        wide.clear();
        AppendMarksDoubled(std::u16string_view(test.Content), {}, wide);
        EXPECT_EQ(wide, test.WithoutStandIns);
    }
}

}  // namespace
}  // namespace quillmark
