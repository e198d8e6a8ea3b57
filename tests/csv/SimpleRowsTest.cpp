#include "csv/SimpleRows.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "csv/RowShapedCsv.h"
#include "support/TestFiles.h"

namespace quillmark {
namespace {

using test::Escape;

// The fields ReadSimpleRows hands over for `text` (followed by 64 bytes of
// a row it cannot finish), one row per line: fields as they stand in the
// text, joined by "|", those an opening mark begins between "<" and ">".
std::string RowsTaken(const std::string& text) {
    const std::string padded = text + std::string(64, 'z');
    std::vector<TRowWord> words;
    std::string rows;
    const std::size_t stop = ReadSimpleRows(padded, 0, words, [&](const TSimpleRow& row) {
        std::set<std::size_t> openings;
        for (std::size_t w = 0; w < row.WordCount; ++w)
            for (std::uint64_t bits = row.Words[w].Openings; bits != 0; bits &= bits - 1)
                openings.insert(row.Words[w].Block + static_cast<std::size_t>(std::countr_zero(bits)));
        TFieldFinder finder(row);
        for (std::size_t field = 0; field < row.Count; ++field) {
            if (field > 0) rows += '|';
            const std::size_t from = finder.Begin(field), to = finder.End(field);
            const std::string value = padded.substr(from, to - from);
            rows += openings.erase(from) != 0 ? "<" + value + ">" : value;
        }
        // Every opening mark begins a field.
        rows += openings.empty() ? ";" : "!;";
        return true;
    });
    return rows + "stop " + std::to_string(stop);
}

struct TRowsCase {
    const char* Name;
    std::string Text;
    std::string Rows;
};

class SimpleRows : public ::testing::TestWithParam<TRowsCase> {};

TEST_P(SimpleRows, AreTakenWholeUpToTheFirstThatIsNot) {
    EXPECT_EQ(Escape(RowsTaken(GetParam().Text)), Escape(GetParam().Rows)) << Escape(GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SimpleRows,
    ::testing::Values(
        TRowsCase{"CrLfAndLf", "a,b\r\nc,d\n", "a|b;c|d;stop 9"},
        TRowsCase{"EmptyFieldsAndRows", "\n,\r\n,,\n", ";|;||;stop 7"},
        TRowsCase{"QuotedWithDoubledMarks", "\"x\"\"y\",,\"\"\n", "<\"x\"\"y\">||<\"\">;stop 11"},
        TRowsCase{"CommasAndLineBreaksInsideQuotes", "\"a,b\nc\nd\",e\n", "<\"a,b\nc\nd\">|e;stop 12"},
        TRowsCase{"TabIsContent", "a\tb\n", "a\tb;stop 4"},
        TRowsCase{"QuotesOnly", "\"\"\"\"\n\"\"\"\",\"\"\n", "<\"\"\"\">;<\"\"\"\">|<\"\">;stop 13"},
        TRowsCase{"MarkInsidePlainField", "ok\na\"b\n", "ok;stop 3"},
        TRowsCase{"ContentAfterClosingMark", "\"x\"y\n", "stop 0"},
        TRowsCase{"SpaceBeforeOpeningMark", "a, \"b\"\n", "stop 0"},
        TRowsCase{"LoneCarriageReturn", "a\rb\n", "stop 0"},
        TRowsCase{"CarriageReturnInsideQuotes", "\"a\rb\"\n", "stop 0"},
        TRowsCase{"CarriageReturnTwice", "a\r\r\n", "stop 0"}, TRowsCase{"VerticalTab", "a\vb\n", "stop 0"},
        TRowsCase{"ControlCharacterAndDel", "a\n\x01\n", "a;stop 2"}, TRowsCase{"Del", "\x7F\n", "stop 0"},
        TRowsCase{"UnclosedQuotes", "a\n\"b\n", "a;stop 2"}, TRowsCase{"RowNotEnded", "a\nb", "a;stop 2"}),
    [](const auto& info) { return std::string(info.param.Name); });

struct TContentCase {
    const char* Name;
    std::string Row;  // without its line end
    std::size_t Count;
    std::size_t Fields;
};

class SimpleFieldsWithContent : public ::testing::TestWithParam<TContentCase> {};

TEST_P(SimpleFieldsWithContent, CountUpToTheLastThatHoldsContent) {
    const TContentCase& row = GetParam();
    EXPECT_EQ(quillmark::SimpleFieldsWithContent(row.Row.data(), 0, row.Row.size(), row.Count), row.Fields)
        << Escape(row.Row);
    // Told of a row as wide, it need only tell whether this one holds content.
    const std::size_t known =
        quillmark::SimpleFieldsWithContent(row.Row.data(), 0, row.Row.size(), row.Count, row.Count);
    EXPECT_EQ(known == 0, row.Fields == 0) << Escape(row.Row);
    EXPECT_LE(known, row.Count);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SimpleFieldsWithContent,
    ::testing::Values(TContentCase{"LastHoldsContent", "a,b", 2, 2},
                      TContentCase{"QuotedLast", "a,\"b\"", 2, 2},
                      TContentCase{"EmptyAtTheEnd", "a,,\"\",,", 5, 1},
                      TContentCase{"OnlyEmptyFields", ",\"\",", 3, 0}, TContentCase{"EmptyRow", "", 1, 0},
                      TContentCase{"OnlyEmptyQuotedFields", "\"\",\"\",\"\"", 3, 0},
                      TContentCase{"OneMarkMoreThanEmptyFields", "\"\",\"\"\"\"", 2, 2},
                      TContentCase{"QuotedQuotationMark", "\"\"\"\"", 1, 1},
                      TContentCase{"QuotedCommaAndMark", "a,\"x,\"\"\"", 2, 2},
                      TContentCase{"QuotedEndingInCommaBeforeEmpty", "\"a,\"\"\",\"\"", 2, 1},
                      TContentCase{"FirstOnly", "\"\",b,", 3, 2}),
    [](const auto& info) { return std::string(info.param.Name); });

// Marks, separators and line ends at every place a block of 64 bytes can
// begin or end: what is carried from one block to the next.
TEST(SimpleRowsTest, BlockBoundariesFallAnywhere) {
    for (std::size_t shift = 0; shift < 70; ++shift) {
        const std::string plain(shift, 'p');
        const std::string quoted = "\"q\"\"" + std::string(shift % 7, ',') + "\n\"";
        const std::string text = plain + "," + quoted + "\r\n" + quoted + "," + plain + "\n";
        EXPECT_EQ(Escape(RowsTaken(text)), Escape(plain + "|<" + quoted + ">;<" + quoted + ">|" + plain +
                                                  ";stop " + std::to_string(text.size())))
            << shift;
        // The same with a flaw at the end: the second row is not taken.
        const std::string flawed = plain + "," + quoted + "\r\n" + quoted + "x\n";
        EXPECT_EQ(RowsTaken(flawed),
                  plain + "|<" + quoted + ">;stop " + std::to_string(plain.size() + quoted.size() + 3))
            << shift;
    }
}

// What CountSimpleRows tells of each row is what ReadSimpleRows tells of it,
// and both stop at the same place.
TEST(SimpleRowsTest, CountingGivesWhatReadingGives) {
    std::mt19937 random(64);
    for (int round = 0; round < 200; ++round) {
        const std::string text = test::RowShapedCsv(random, 1 + random() % 30, test::kUtf8Words);
        std::vector<TRowWord> words;
        std::string read, counted;
        auto note = [](std::string& out, std::size_t start, std::size_t count, std::size_t lastStart,
                       std::size_t lastEnd, std::size_t next) {
            out += std::to_string(start) + " " + std::to_string(count) + " " + std::to_string(lastStart) +
                   "-" + std::to_string(lastEnd) + " " + std::to_string(next) + ";";
        };
        read += std::to_string(ReadSimpleRows(text, 0, words, [&](const TSimpleRow& row) {
            TFieldFinder finder(row);
            note(read, row.Start, row.Count, finder.Begin(row.Count - 1), finder.End(row.Count - 1),
                 row.Next);
            return true;
        }));
        counted +=
            std::to_string(CountSimpleRows(text, 0,
                                           [&](std::size_t start, std::size_t count, std::size_t lastStart,
                                               std::size_t lastEnd, std::size_t next) {
                                               note(counted, start, count, lastStart, lastEnd, next);
                                               return true;
                                           }));
        ASSERT_EQ(counted, read) << Escape(text);
    }
}

}  // namespace
}  // namespace quillmark
