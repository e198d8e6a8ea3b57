#include "csv/ByteCsvQuoter.h"
#include "csv/ParallelCsvQuoter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>

#include "csv/CsvShapes.h"
#include "csv/QuotedCsvSink.h"
#include "csv/QuotedCsvWriter.h"
#include "csv/RowShapedCsv.h"
#include "support/TestFiles.h"

// Runs with LC_ALL=ja_JP.UTF-8, though only UTF-8 is written here.
namespace quillmark {
namespace {

using test::Escape;

class TStringSink final : public IByteSink {
  public:
    void Write(std::string_view bytes) override { Bytes.append(bytes); }
    std::string Bytes;
};

// What the machine, the sink and the writer give together; nullopt when the
// width grew after rows were written.
std::optional<std::string> Composed(std::string_view text, const TColumnSet& columns, std::size_t width,
                                    bool growing) {
    TStringSink out;
    TUtf8QuotedCsvWriter writer(out, 1, columns);
    TUtf8QuotedCsvSink sink(writer, width, growing);
    TUtf8CsvSplitter splitter(sink);
    try {
        splitter.Feed(text);
    } catch (const ECsvWidthGrew&) {
        return std::nullopt;
    }
    sink.Finish();
    writer.Finish();
    return out.Bytes;
}

using ERowWriting = TByteCsvQuoter::ERowWriting;

// Each way of writing simple rows must give the same bytes.
constexpr ERowWriting kRowWritings[] = {ERowWriting::FieldByField, ERowWriting::Compressed,
                                        ERowWriting::Chosen};

// The widest row of `text`: its last field that holds something, as the
// machine reads it.
std::size_t Widest(std::string_view text) {
    struct TWidth final : ICsvSinkOf<char> {
        void Store(std::size_t, std::size_t column, std::string_view) override {
            Width = std::max(Width, column + 1);
        }
        std::size_t Width = 0;
    } sink;
    TUtf8CsvSplitter splitter(sink);
    splitter.Feed(text);
    return sink.Width;
}

// What `quoter` writes of `text` fed in pieces of `pieceSize`; nullopt when
// the width grew after rows were written. With `countOn`, the quoter then
// reads on to the end and tells the widest row's width.
template <class TQuoter>
std::optional<std::string> QuotedBy(TQuoter& quoter, const TStringSink& out, std::string_view text,
                                    std::size_t pieceSize, bool countOn) {
    if (countOn) quoter.SetCountOn();
    try {
        // Each piece in memory of its own, no byte more, as a file's last
        // piece may be: nothing is read past its end.
        for (std::size_t at = 0; at < text.size(); at += pieceSize)
            quoter.Feed(std::string(text.substr(at, pieceSize)));
        quoter.Finish();
    } catch (const ECsvWidthGrew& grew) {
        EXPECT_EQ(grew.Width, countOn ? Widest(text) : 0) << Escape(text) << " pieces of " << pieceSize;
        return std::nullopt;
    }
    return out.Bytes;
}

// The quoter's target (see QuotedBy).
std::optional<std::string> Quoted(std::string_view text, const TColumnSet& columns, std::size_t width,
                                  bool growing, std::size_t pieceSize,
                                  ERowWriting writing = ERowWriting::Chosen, bool countOn = false) {
    TStringSink out;
    TByteCsvQuoter quoter(out, columns, width, growing);
    quoter.SetRowWriting(writing);
    return QuotedBy(quoter, out, text, pieceSize, countOn);
}

// Well-formed UTF-8 without U+0080, as the cleaner leaves it.
const std::vector<std::string> kTokens = {",",
                                          ",",
                                          ",",
                                          "\"",
                                          "\"",
                                          "\n",
                                          "\r\n",
                                          "\r",
                                          "\v",
                                          "a",
                                          "bc",
                                          " ",
                                          "\t",
                                          "\x01",
                                          "\x7F",
                                          "\x1B",
                                          "\"\"",
                                          "\xE3\x81\x82",
                                          "\xF0\x9F\x98\x80",
                                          "\xC2\x81",
                                          "\xEF\xBC\x82"};

// Fewer than `most` of kTokens, drawn at random.
std::string RandomTokens(std::mt19937& random, int most) {
    std::string text;
    for (int i = static_cast<int>(random() % static_cast<unsigned>(most)); i > 0; --i)
        text += kTokens[random() % kTokens.size()];
    return text;
}

// Up to three quote columns among the first six.
TColumnSet RandomColumns(std::mt19937& random) {
    TColumnSet columns;
    for (int i = random() % 4; i > 0; --i)
        columns.insert(static_cast<std::int32_t>(random() % 6));
    return columns;
}

TEST(ByteCsvQuoterTest, GivesWhatTheMachineSinkAndWriterGiveInPiecesOfAnySize) {
    std::mt19937 random(2024);
    for (int round = 0; round < 400; ++round) {
        const std::string text = RandomTokens(random, 40);
        TColumnSet columns = RandomColumns(random);
        if (random() % 6 == 0) columns.insert(5000);  // past the quick table
        const bool growing = random() % 2 == 0;
        const std::size_t width = random() % 7;
        const std::optional<std::string> expected = Composed(text, columns, width, growing);
        for (const std::size_t size : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7},
                                       std::size_t{64}, text.size() + 1}) {
            for (const ERowWriting writing : kRowWritings) {
                const std::optional<std::string> quoted =
                    Quoted(text, columns, width, growing, size, writing, size % 2 == 0);
                ASSERT_EQ(quoted.has_value(), expected.has_value())
                    << Escape(text) << " pieces of " << size << " width " << width << " growing " << growing
                    << " columns " << ::testing::PrintToString(columns);
                if (expected) {
                    ASSERT_EQ(Escape(*quoted), Escape(*expected))
                        << Escape(text) << " pieces of " << size << " writing " << static_cast<int>(writing);
                }
            }
        }
    }
}

// Text made mostly of rows the quoter writes whole, cut anywhere: as the
// machine would write it, with a fixed width or a growing one.
TEST(ByteCsvQuoterTest, SimpleRowsComeOutAsTheMachineWritesThem) {
    std::mt19937 random(1209);
    for (int round = 0; round < 300; ++round) {
        const std::string text = test::RowShapedCsv(random, 1 + random() % 40, test::kUtf8Words);
        TColumnSet columns;
        for (int i = random() % 4; i > 0; --i)
            columns.insert(static_cast<std::int32_t>(random() % 8));
        const bool growing = random() % 2 == 0;
        const std::size_t width = growing ? 0 : random() % 10;
        const std::optional<std::string> expected = Composed(text, columns, width, growing);
        for (const std::size_t size : {std::size_t{64}, std::size_t{65}, std::size_t{200}, text.size() + 1}) {
            for (const ERowWriting writing : kRowWritings) {
                const std::optional<std::string> quoted =
                    Quoted(text, columns, width, growing, size, writing, round % 2 == 0);
                ASSERT_EQ(quoted.has_value(), expected.has_value()) << Escape(text) << " pieces of " << size;
                if (expected) {
                    ASSERT_EQ(Escape(*quoted), Escape(*expected))
                        << Escape(text) << " pieces of " << size << " width " << width << " columns "
                        << ::testing::PrintToString(columns) << " writing " << static_cast<int>(writing);
                }
            }
        }
    }
}

// Rows far wider than the text that fills them, and long runs of blocks of
// 64 bytes with and without separators.
TEST(ByteCsvQuoterTest, LongRowsAndPaddingComeOutWhole) {
    std::string wide = std::string(70000, ',') + "x\n";
    for (int row = 0; row < 40; ++row)
        wide += "a" + std::string(static_cast<std::size_t>(row), ',') + "\"" + std::string(200, 'q') + "\"\n";
    std::string long_ = "\"" + std::string(5000, 'z') + "\n" + std::string(300, ',') + "\",";
    for (int i = 0; i < 500; ++i)
        long_ += "\xE3\x81\x82" + std::to_string(i) + (i % 7 == 0 ? "\r\n" : ",");
    for (const std::string& text : {wide, long_}) {
        for (const TColumnSet& columns : {TColumnSet{}, TColumnSet{0, 3, 69999, 70000}}) {
            for (const bool growing : {false, true}) {
                const std::optional<std::string> expected = Composed(text, columns, growing ? 0 : 9, growing);
                ASSERT_TRUE(expected.has_value() || growing);
                for (const std::size_t size : {std::size_t{1000}, std::size_t{65}, text.size()}) {
                    for (const ERowWriting writing : kRowWritings) {
                        ASSERT_TRUE(Quoted(text, columns, growing ? 0 : 9, growing, size, writing,
                                           size != 65) == expected)
                            << size << " writing " << static_cast<int>(writing);
                    }
                }
            }
        }
    }
}

// Quoted fields that span blocks of 64 bytes, their doubled marks on either
// side of a block's end and in blocks without a separator, the row's start
// anywhere in its first block: in quote columns or not, each way of
// writing simple rows gives what the machine writes.
TEST(ByteCsvQuoterTest, MarksAcrossBlocksComeOutAsTheMachineWritesThem) {
    for (std::size_t lead = 0; lead < 70; lead += 3) {
        std::string text = std::string(lead, 'p') + "\n";
        for (std::size_t mark = 58; mark < 200; mark += 5) {
            std::string inside = std::string(mark, 'q') + "\"\"" + std::string(mark % 7, 'r') + "\"\"\"\"";
            text += "a,\"" + inside + "\",\"" + std::string(mark % 64, 's') + "\"\"\",\"\",b\r\n";
            text += "\"" + inside + "\"," + std::string(mark % 3, 't') + ",\"" + inside + "\"\n";
        }
        for (const TColumnSet& columns : {TColumnSet{}, TColumnSet{0}, TColumnSet{1}, TColumnSet{0, 2, 3}}) {
            const std::optional<std::string> expected = Composed(text, columns, 5, false);
            ASSERT_TRUE(expected.has_value());
            for (const ERowWriting writing : kRowWritings) {
                for (const std::size_t size : {std::size_t{65}, std::size_t{4096}, text.size()}) {
                    ASSERT_EQ(Escape(Quoted(text, columns, 5, false, size, writing).value()),
                              Escape(*expected))
                        << "lead " << lead << " pieces of " << size << " columns "
                        << ::testing::PrintToString(columns) << " writing " << static_cast<int>(writing);
                }
            }
        }
    }
}

// A row read whole that ends near the end of the text, begun anywhere in
// its first block: nothing past the text is read (which the address
// sanitizer sees, the text being in memory of its own).
TEST(ByteCsvQuoterTest, RowsNearTheEndReadNothingPastIt) {
    const std::string row = "\"a\",\"b\"\"c\",d,\"" + std::string(40, 'e') + "\",\"\",f,\"g,h\"\r\n";
    for (std::size_t lead = 1; lead < 64; ++lead) {
        for (std::size_t tail = 1; tail < 70; ++tail) {
            const std::string text = std::string(lead - 1, 'x') + "\n" + row + std::string(tail, 'y');
            const std::optional<std::string> expected = Composed(text, {1}, 8, false);
            for (const ERowWriting writing : kRowWritings)
                ASSERT_TRUE(Quoted(text, {1}, 8, false, text.size(), writing) == expected)
                    << lead << " " << tail;
        }
    }
}

// Every shape of file, cut into pieces at and around one and two blocks of
// 64 bytes (the row reader needs a byte after a block) and a page: as the
// machine writes it, whatever the quote columns and the width.
class ByteCsvQuoterShapes : public ::testing::TestWithParam<test::TCsvShapeName> {};

TEST_P(ByteCsvQuoterShapes, ComeOutAsTheMachineWritesThem) {
    std::mt19937 random(417);
    const std::string text = test::ShapedCsv(
        GetParam().Kind, random, GetParam().Kind == test::TCsvShapeKind::Wide ? 60 : 400, test::kUtf8Words);
    TColumnSet every;
    for (std::int32_t column = 0; column < 200; ++column)
        every.insert(column);
    for (const TColumnSet& columns :
         {TColumnSet{}, TColumnSet{1, 10}, every, TColumnSet{0, 2, 3, 150, 5000}}) {
        for (const std::size_t width : {std::size_t{0}, std::size_t{12}, std::size_t{20}}) {
            const bool growing = width == 0;
            const std::optional<std::string> expected = Composed(text, columns, width, growing);
            for (const ERowWriting writing : kRowWritings) {
                for (const std::size_t size : {63, 64, 65, 66, 127, 128, 129, 130, 4095, 4096, 4097}) {
                    ASSERT_TRUE(Quoted(text, columns, width, growing, size, writing, size % 2 == 1) ==
                                expected)
                        << "pieces of " << size << " width " << width << " columns "
                        << ::testing::PrintToString(columns) << " writing " << static_cast<int>(writing);
                }
                ASSERT_TRUE(Quoted(text, columns, width, growing, text.size(), writing) == expected)
                    << "whole";
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, ByteCsvQuoterShapes, ::testing::ValuesIn(test::kCsvShapes),
                         [](const auto& info) { return std::string(info.param.Name); });

// The text of DoubledInQuotedFieldsOnly and its target.
std::pair<std::string, std::string> StandInText(std::size_t& plain) {
    const std::string mark = "\xEF\xBC\x82", prime = "\xCA\xBA";
    // Rows without a stand-in first: a piece of them is read row by row.
    std::string text, expected;
    for (int row = 0; row < 30; ++row) {
        text += "plain,\"r\xC3\xA9\"\"w\",q\r\n";
        expected += "\"plain\",\"r\xC3\xA9\"\"w\",q\r\n";
    }
    plain = text.size();
    for (int row = 0; row < 12; ++row) {
        text += "a" + mark + ",\"" + prime + "x\"\"\"," + mark + "\r\n" + "plain,row,\"q\"\n";
        expected += "\"a" + mark + mark + "\",\"" + prime + prime + "x\"\"\"," + mark + "\r\n" +
                    "\"plain\",\"row\",q\r\n";
    }
    return {text, expected};
}

// Feeds `text` in pieces of about `pieceSize` that end with whole characters.
template <class TQuoter>
void FeedWholeCharacters(TQuoter& quoter, std::string_view text, std::size_t pieceSize) {
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = std::min(text.size(), at + pieceSize);
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            ++end;
        quoter.Feed(text.substr(at, end - at));
        at = end;
    }
}

// UTF-8 written on into a code page that writes "\u02BA" and "\uFF02" as
// quotation marks: in quoted fields they are doubled as the marks are, in
// the others left as they are, whether the piece is read row by row or by
// the machine. Pieces end with whole characters, as the reader's do.
TEST(ByteCsvQuoterStandIns, DoubledInQuotedFieldsOnly) {
    std::size_t plain = 0;
    const auto [text, expected] = StandInText(plain);
    for (const std::size_t pieceSize :
         {std::size_t{1}, std::size_t{7}, std::size_t{64}, plain, text.size()}) {
        SCOPED_TRACE(pieceSize);
        TStringSink out;
        const TColumnSet columns{0, 1};
        TByteCsvQuoter quoter(out, columns, 3, false, {0x02BA, 0xFF02});
        FeedWholeCharacters(quoter, text, pieceSize);
        quoter.Finish();
        EXPECT_EQ(Escape(out.Bytes), Escape(expected));
    }
}

// The target TParallelCsvQuoter writes (see QuotedBy).
std::optional<std::string> QuotedInParts(std::string_view text, const TColumnSet& columns, std::size_t width,
                                         bool growing, std::size_t pieceSize,
                                         const TParallelCsvQuoter::TOptions& options, bool countOn) {
    TStringSink out;
    TParallelCsvQuoter quoter(out, columns, width, growing, {}, options);
    return QuotedBy(quoter, out, text, pieceSize, countOn);
}

// Parts as small as a byte or a few rows, cut after any line feed (inside
// quotes too, where the part before reads on), after empty rows and rows
// of empty fields, with or without a line feed in them, on one thread or
// several: the bytes of one quoter, the width it finds when rows grow.
TEST(ParallelCsvQuoterTest, GivesWhatOneQuoterGives) {
    std::mt19937 random(5150);
    for (int round = 0; round < 300; ++round) {
        const std::string text = RandomTokens(random, 60);
        const TColumnSet columns = RandomColumns(random);
        const bool growing = random() % 2 == 0;
        const std::size_t width = random() % 7;
        const bool countOn = random() % 2 == 0;
        TParallelCsvQuoter::TOptions options;
        options.PartBytes = std::size_t{1} + random() % 24;
        options.FirstBytes = random() % 3 == 0 ? 0 : random() % 30;
        options.Threads = 1 + random() % 3;
        const std::optional<std::string> expected =
            Quoted(text, columns, width, growing, text.size() + 1, ERowWriting::Chosen, countOn);
        for (const std::size_t size : {std::size_t{1}, std::size_t{5}, std::size_t{64}, text.size() + 1}) {
            const std::optional<std::string> quoted =
                QuotedInParts(text, columns, width, growing, size, options, countOn);
            ASSERT_EQ(quoted.has_value(), expected.has_value())
                << Escape(text) << " pieces of " << size << " parts of " << options.PartBytes;
            if (expected) {
                ASSERT_EQ(Escape(*quoted), Escape(*expected))
                    << Escape(text) << " pieces of " << size << " parts of " << options.PartBytes << " from "
                    << options.FirstBytes << " width " << width << " growing " << growing;
            }
        }
    }
}

// Every shape of file in parts of about a row to many rows, the widest row
// of a ragged file late in it; on two threads, and on as many as the
// machine's cores give text read and written as it is (parts from two cores
// on).
class ParallelCsvQuoterShapes : public ::testing::TestWithParam<test::TCsvShapeName> {};

TEST_P(ParallelCsvQuoterShapes, GiveWhatOneQuoterGives) {
    std::mt19937 random(99);
    const std::string text = test::ShapedCsv(
        GetParam().Kind, random, GetParam().Kind == test::TCsvShapeKind::Wide ? 60 : 400, test::kUtf8Words);
    for (const TColumnSet& columns : {TColumnSet{}, TColumnSet{1, 10}, TColumnSet{0, 2, 3, 150, 5000}}) {
        for (const std::size_t width : {std::size_t{0}, std::size_t{12}}) {
            const bool growing = width == 0;
            for (const bool countOn : {false, true}) {
                const std::optional<std::string> expected =
                    Quoted(text, columns, width, growing, text.size(), ERowWriting::Chosen, countOn);
                for (const std::size_t part : {40, 200, 1000, 4096}) {
                    for (const bool quotingBound : {false, true}) {
                        TParallelCsvQuoter::TOptions options;
                        options.PartBytes = part;
                        options.FirstBytes = 300;
                        options.Threads = quotingBound ? 0 : 2;
                        options.QuotingBound = quotingBound;
                        ASSERT_TRUE(QuotedInParts(text, columns, width, growing, 4096, options, countOn) ==
                                    expected)
                            << "parts of " << part << " width " << width << " count on " << countOn
                            << " quoting bound " << quotingBound << " columns "
                            << ::testing::PrintToString(columns);
                    }
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, ParallelCsvQuoterShapes, ::testing::ValuesIn(test::kCsvShapes),
                         [](const auto& info) { return std::string(info.param.Name); });

// Stand-ins are doubled in the parts as in one quoter.
TEST(ParallelCsvQuoterTest, DoublesStandInsInQuotedFields) {
    std::size_t plain = 0;
    const auto [text, expected] = StandInText(plain);
    for (const std::size_t part : {std::size_t{1}, std::size_t{30}, std::size_t{100}}) {
        SCOPED_TRACE(part);
        TStringSink out;
        TParallelCsvQuoter::TOptions options;
        options.PartBytes = part;
        options.FirstBytes = 0;
        options.Threads = 2;
        TParallelCsvQuoter quoter(out, {0, 1}, 3, false, {0x02BA, 0xFF02}, options);
        FeedWholeCharacters(quoter, text, 7);
        quoter.Finish();
        EXPECT_EQ(Escape(out.Bytes), Escape(expected));
    }
}

}  // namespace
}  // namespace quillmark
