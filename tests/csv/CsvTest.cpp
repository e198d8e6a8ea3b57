#include "csv/Csv.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "base/Exception.h"
#include "base/Utf.h"
#include "csv/CsvSplitter.h"
#include "support/TestFiles.h"

namespace quillmark {
namespace {

using test::TTempDir;
using test::WriteBytes;

struct SplitCase {
    const char* name;
    std::u16string text;
    TCsvTable table;  // as Split returns it, before padding
};

class CsvSplit : public ::testing::TestWithParam<SplitCase> {};

// Feeds the splitter in pieces cut by `cuts` and collects what it stores.
TCsvTable SplitInPieces(std::u16string_view text, std::mt19937& random, std::size_t maxPiece) {
    TCsvTable table;
    struct TSink : ICsvSink {
        TCsvTable& Table;
        explicit TSink(TCsvTable& table) : Table(table) {}
        void Store(std::size_t row, std::size_t column, std::u16string_view units) override {
            TCsv::AppendChars(row, column, units, Table);
        }
    } sink(table);
    TCsvSplitter splitter(sink);
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t piece = std::min(text.size() - at, 1 + random() % maxPiece);
        splitter.Feed(text.substr(at, piece));
        at += piece;
    }
    return table;
}

TEST_P(CsvSplit, WholeText) {
    EXPECT_EQ(TCsv::Split(GetParam().text), GetParam().table);
}

TEST_P(CsvSplit, PiecesOfAnySize) {
    std::mt19937 random(42);
    for (std::size_t maxPiece : {1, 2, 3, 7}) {
        EXPECT_EQ(SplitInPieces(GetParam().text, random, maxPiece), GetParam().table)
            << "pieces up to " << maxPiece;
    }
}

TEST_P(CsvSplit, UnitByUnitAppendChar) {
    // The table AppendChar builds from the stored units alone is the same.
    TCsvTable table;
    struct TSink : ICsvSink {
        TCsvTable& Table;
        explicit TSink(TCsvTable& table) : Table(table) {}
        void Store(std::size_t row, std::size_t column, std::u16string_view units) override {
            for (char16_t unit : units)
                TCsv::AppendChar(row, column, unit, Table);
        }
    } sink(table);
    TCsvSplitter(sink).Feed(GetParam().text);
    EXPECT_EQ(table, GetParam().table);
}

TEST_P(CsvSplit, FromUtf8File) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", "\xEF\xBB\xBF" + Utf16ToUtf8(GetParam().text));
    TCsv csv;
    ASSERT_TRUE(csv.LoadFromFile(folder.File("in.csv")));
    TCsvTable padded = GetParam().table;
    std::size_t width = 0;
    for (const auto& row : padded)
        width = std::max(width, row.size());
    for (auto& row : padded) {
        row.resize(width);
        // A UTF-8 file cannot hold an unpaired surrogate: it comes back as U+FFFD.
        for (auto& cell : row)
            cell = Utf8ToUtf16(Utf16ToUtf8(cell));
    }
    EXPECT_EQ(csv.GetTable(), padded);
    EXPECT_EQ(csv.RowCount(), padded.size());
    EXPECT_EQ(csv.ColCount(), width);
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, CsvSplit,
    ::testing::Values(SplitCase{"Empty", u"", {}}, SplitCase{"OnlySeparators", u",,\n,\r\n\n", {}},
                      SplitCase{"ShortSecondRow", u"a,b,c\n1,2\n", {{u"a", u"b", u"c"}, {u"1", u"2"}}},
                      SplitCase{"TrailingCommaMakesNoField", u"a,b,\r\n", {{u"a", u"b"}}},
                      SplitCase{"DoubledQuote", u"\"x\"\"y\",z", {{u"x\"y", u"z"}}},
                      SplitCase{"QuotedCommaAndCrLf", u"\"a,b\r\nc\",d", {{u"a,b\nc", u"d"}}},
                      SplitCase{"TextAfterClosingQuote", u"\"ab\"cd,e", {{u"abcd", u"e"}}},
                      SplitCase{"QuoteAfterClosingQuoteReopens", u"\"a\"b\"c\"", {{u"ab\"c"}}},
                      SplitCase{"SpaceBeforeQuoteIsPlain", u" \"a\"", {{u" \"a\""}}},
                      SplitCase{"QuoteInsidePlainField", u"a\"b,c", {{u"a\"b", u"c"}}},
                      SplitCase{"UnterminatedQuoteRunsToEnd", u"x,\"a,b\nc", {{u"x", u"a,b\nc"}}},
                      SplitCase{"LoneCarriageReturnsJoinLines", u"a\rb\rc", {{u"abc"}}},
                      SplitCase{"VerticalTabOutsideQuotesIsRowBreak", u"a\vb", {{u"a"}, {u"b"}}},
                      SplitCase{"VerticalTabInsideQuotesIsLineFeed", u"\"a\vb\"", {{u"a\nb"}}},
                      SplitCase{"ControlCharactersVanish",
                                std::u16string(u"a\0b\fc\x7F"
                                               u"d\x80"
                                               u"e\x81",
                                               10),
                                {{u"abcde\x81"}}},
                      SplitCase{"TabsAndSpacesKept", u" a\t, b ", {{u" a\t", u" b "}}},
                      SplitCase{"LeadingEmptyLineMakesEmptyRow", u"\na,b", {{}, {u"a", u"b"}}},
                      SplitCase{"EmptyQuotedFieldsStoreNothing", u"\"\",\"\"\nx", {{}, {u"x"}}},
                      SplitCase{"EmptyFieldBetweenValues", u"a,,c", {{u"a", u"", u"c"}}},
                      SplitCase{"TrailingEmptyLinesAddNothing", u"a\n\n\n", {{u"a"}}},
                      SplitCase{"SurrogatePairsPass", u"\U0001F600,\xD800", {{u"\U0001F600", u"\xD800"}}},
                      SplitCase{"QuotedLineFeedThenRow", u"\"1\n2\"\n3", {{u"1\n2"}, {u"3"}}},
                      SplitCase{"JapaneseValues",
                                u"氏名,住所\r\n山田,\"東京都,港区\"\r\n",
                                {{u"氏名", u"住所"}, {u"山田", u"東京都,港区"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CsvLoad, PadsRowsToTheLongest) {
    TCsv csv;
    ASSERT_TRUE(csv.LoadFromText(u"a\n1,2,3\n\nx,y"));
    EXPECT_EQ(csv.GetTable(),
              (TCsvTable{{u"a", u"", u""}, {u"1", u"2", u"3"}, {u"", u"", u""}, {u"x", u"y", u""}}));
    EXPECT_EQ(csv.RowCount(), 4u);
    EXPECT_EQ(csv.ColCount(), 3u);
}

TEST(CsvLoad, SecondLoadIsRefusedAndChangesNothing) {
    TCsv csv;
    ASSERT_TRUE(csv.LoadFromText(u"a,b"));
    EXPECT_FALSE(csv.LoadFromText(u"x"));
    EXPECT_EQ(csv.GetTable(), (TCsvTable{{u"a", u"b"}}));
    csv.Clear();
    EXPECT_TRUE(csv.IsEmpty());
    EXPECT_TRUE(csv.LoadFromText(u"x"));
    EXPECT_EQ(csv.GetTable(), (TCsvTable{{u"x"}}));
}

TEST(CsvLoad, EmptyTextLoadsAsEmptyTable) {
    TCsv csv;
    EXPECT_TRUE(csv.LoadFromText(u",,\n\n"));
    EXPECT_TRUE(csv.IsEmpty());
}

TEST(ReadCsvFile, FailureLeavesTheCallersTable) {
    TTempDir folder;
    TCsvTable table{{u"keep"}};
    EXPECT_FALSE(ReadCsvFile(folder.File("missing.csv"), table));
    EXPECT_FALSE(ReadCsvFile(folder.File(""), table));  // a directory
    EXPECT_EQ(table, (TCsvTable{{u"keep"}}));
}

TEST(ReadCsvFile, SuccessReplacesTheCallersTable) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", "a,b\r\n");
    TCsvTable table{{u"old"}, {u"rows"}};
    ASSERT_TRUE(ReadCsvFile(folder.File("in.csv"), table));
    EXPECT_EQ(table, (TCsvTable{{u"a", u"b"}}));
}

TEST(CsvProgress, ReportsWhileQuotedFieldsAreRead) {
    const std::u16string text = u"\"" + std::u16string(3u << 20, u'x') + u"\"";
    std::vector<std::uint64_t> reports;
    TCsv::Split(text, [&](std::uint64_t done, std::uint64_t total) {
        EXPECT_EQ(total, text.size());
        reports.push_back(done);
    });
    EXPECT_THAT(reports, ::testing::SizeIs(::testing::AllOf(::testing::Ge(2u), ::testing::Le(4u))));
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
}

TEST(CsvProgress, CancelPassesThroughALoad) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", "\"" + std::string(3u << 20, 'x') + "\"");
    TCsv csv;
    EXPECT_THROW(csv.LoadFromFile(folder.File("in.csv"), [](auto, auto) { throw EAbort(); }), EAbort);
    EXPECT_TRUE(csv.IsEmpty());
}

}  // namespace
}  // namespace quillmark
