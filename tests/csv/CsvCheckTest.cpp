// The check of a source against a conversion: fields that would break the
// target's rows, characters the target's code page cannot hold, the shape.
#include "csv/CsvCheck.h"

#include <gtest/gtest.h>

#include <random>

#include "base/CodePage.h"
#include "base/Utf.h"
#include "csv/Csv.h"
#include "support/TestFiles.h"

// Runs with LC_ALL=ja_JP.UTF-8: ANSI is code page 932.
namespace quillmark {
namespace {

using test::TTempDir;
using test::WriteBytes;

std::string Utf16Le(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

// The same source text in each encoding the check reads differently.
enum class TSourceEncoding { Utf8, Utf16, ShiftJis };

std::string Encode(std::u16string_view text, TSourceEncoding encoding) {
    switch (encoding) {
        case TSourceEncoding::Utf8:
            return Utf16ToUtf8(text);
        case TSourceEncoding::Utf16:
            return Utf16Le(text);
        case TSourceEncoding::ShiftJis:
            return *WideCharToMultiByte(CP_SHIFT_JIS, text);
    }
    return {};
}

TCsvCheck Check(const TTempDir& dir, std::string_view bytes, const TColumnSet& quote = {},
                std::int32_t encoding = 1) {
    WriteBytes(dir / "in.csv", bytes);
    TCsvCheck check;
    EXPECT_TRUE(CheckCsvFile(dir.File("in.csv"), quote, encoding, check));
    return check;
}

std::vector<std::uint64_t> Breaking(const TCsvCheck& check) {
    std::vector<std::uint64_t> counts;
    for (const TCheckColumn& column : check.Columns)
        counts.push_back(column.BreakingFields);
    return counts;
}

struct BreakCase {
    const char* name;
    std::u16string source;
    std::vector<std::uint64_t> breaking;  // per column
};

class CheckBreaking : public ::testing::TestWithParam<BreakCase> {};

TEST_P(CheckBreaking, CountsFieldsThatWouldNotReadBackUnquoted) {
    TTempDir dir;
    for (const auto encoding : {TSourceEncoding::Utf8, TSourceEncoding::Utf16, TSourceEncoding::ShiftJis}) {
        for (const std::int32_t target : {0, 1}) {
            for (const TColumnSet& quote : {TColumnSet{}, TColumnSet{0, 1, 2}}) {
                const TCsvCheck check = Check(dir, Encode(GetParam().source, encoding), quote, target);
                EXPECT_EQ(Breaking(check), GetParam().breaking)
                    << "source encoding " << static_cast<int>(encoding) << ", target " << target;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, CheckBreaking,
    ::testing::Values(BreakCase{"NothingOdd", u"a,b\r\nc,d\r\n", {0, 0}},
                      BreakCase{"QuotedComma", u"\"山田, 太郎\",b\r\n\"x,y\",z\r\n", {2, 0}},
                      BreakCase{"QuotedLineFeed", u"a,\"1\n2\"\r\nb,\"3\r\n4\"\r\n", {0, 2}},
                      BreakCase{"LoneCarriageReturnVanishes", u"\"1\r2\",b\r\n", {0, 0}},
                      BreakCase{"QuotedVerticalTabIsLineFeed", u"\"1\v2\",b\r\n", {1, 0}},
                      BreakCase{"LeadingQuotationMark", u"\"\"\"x\",b\r\n", {1, 0}},
                      BreakCase{"InnerQuotationMarkIsSafe", u"\"x\"\"y\",a\"b\r\n", {0, 0}},
                      BreakCase{"PlainQuoteAfterSpaceIsSafe", u" \"a\",b\r\n", {0, 0}},
                      BreakCase{"AfterClosingQuote", u"\"a\"b,\"a\"\",b\"\r\n", {0, 1}},
                      BreakCase{"EmptyQuotedFieldIsSafe", u"\"\",\"\"\r\nx,y,z\r\n", {0, 0, 0}},
                      BreakCase{"UnterminatedQuoteRunsToTheEnd", u"a,\"b,c\r\nd\r\n", {0, 1}},
                      BreakCase{"ThirdColumnOnlyInLaterRow", u"a\r\nb,c,\"d,e\"\r\n", {0, 0, 1}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CheckShape, RowsColumnsLabelsAndTicks) {
    TTempDir dir;
    const TCsvCheck check = Check(dir, "\xEF\xBB\xBF名前,\"住所, 都道府県\"\r\n1,2,3\r\n\r\n", {1, 5}, 1);
    EXPECT_EQ(check.SourceCodePage, CP_UTF_8);
    EXPECT_EQ(check.TargetCodePage, CP_UTF_8);
    EXPECT_EQ(check.RowCount, 2u);
    EXPECT_EQ(check.ColCount, 3u);
    ASSERT_EQ(check.Columns.size(), 3u);
    EXPECT_EQ(check.Columns[0], (TCheckColumn{u"A", u"名前", false, 0}));
    EXPECT_EQ(check.Columns[1], (TCheckColumn{u"B", u"住所, 都道府県", true, 1}));
    EXPECT_EQ(check.Columns[2], (TCheckColumn{u"C", u"", false, 0}));
}

TEST(CheckShape, EmptyAndMissingFiles) {
    TTempDir dir;
    const TCsvCheck empty = Check(dir, "");
    EXPECT_EQ(empty.RowCount, 0u);
    EXPECT_EQ(empty.ColCount, 0u);
    EXPECT_TRUE(empty.Columns.empty());
    TCsvCheck check;
    check.RowCount = 7;
    EXPECT_FALSE(CheckCsvFile(dir.File("missing.csv"), {}, 1, check));
    EXPECT_EQ(check.RowCount, 7u) << "left as it was";
}

TEST(CheckShape, DetectedEncodings) {
    TTempDir dir;
    EXPECT_EQ(Check(dir, Encode(u"あ,い\r\n", TSourceEncoding::ShiftJis)).SourceCodePage, CP_SHIFT_JIS);
    EXPECT_EQ(Check(dir, Encode(u"あ,い\r\n", TSourceEncoding::Utf16)).SourceCodePage, CP_UTF16_LE);
    EXPECT_EQ(Check(dir, "a,b\r\n").SourceCodePage, CP_NONE);
    EXPECT_EQ(CodePageName(CP_SHIFT_JIS), "Shift_JIS");
    EXPECT_EQ(CodePageName(CP_UTF16_LE), "UTF-16LE");
    EXPECT_EQ(CodePageName(CP_NONE), "none");
}

// Lossy characters, checked against the encoders themselves: a text counts
// none exactly when its bytes decode back to it.
struct LossyCase {
    const char* name;
    TCodePage codePage;
    std::u16string text;
    std::uint64_t lossy;
};

class CheckLossy : public ::testing::TestWithParam<LossyCase> {};

TEST_P(CheckLossy, CountsCharactersTheCodePageCannotHold) {
    TTargetCharacters characters(GetParam().codePage);
    EXPECT_EQ(CheckField(GetParam().text, characters).LossyCharacters, GetParam().lossy);
    const std::optional<std::string> bytes = WideCharToMultiByte(GetParam().codePage, GetParam().text);
    ASSERT_TRUE(bytes);
    const bool exact = MultiByteToWideChar(GetParam().codePage, *bytes) == GetParam().text;
    EXPECT_EQ(exact, GetParam().lossy == 0) << test::Escape(*bytes);
}

INSTANTIATE_TEST_SUITE_P(Encoders, CheckLossy,
                         ::testing::Values(LossyCase{"Ansi932Kanji", 932, u"山田太郎ｱ①髙～", 0},
                                           LossyCase{"Ansi932Supplementary", 932, u"𠮷野家😀", 2},
                                           LossyCase{"Ansi932BestFitYen", 932, u"¥100", 1},
                                           LossyCase{"Ansi932WaveDash", 932, u"〜", 1},
                                           LossyCase{"Ansi932Latin", 932, u"café", 1},
                                           LossyCase{"Ansi932Hangul", 932, u"한국", 2},
                                           LossyCase{"Ansi1252Latin", 1252, u"café €", 0},
                                           LossyCase{"Ansi1252Kanji", 1252, u"野家", 2},
                                           LossyCase{"Ansi1252BestFitMinus", 1252, u"−1", 1},
                                           LossyCase{"Ansi1252Supplementary", 1252, u"😀", 1},
                                           LossyCase{"Utf8HoldsEverything", CP_UTF_8, u"𠮷野家😀é", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CheckLossyUnits, UnpairedSurrogatesAreLossyEverywhere) {
    for (const TCodePage codePage : {TCodePage{932}, TCodePage{1252}, CP_UTF_8}) {
        TTargetCharacters characters(codePage);
        std::vector<bool> units;
        const std::u16string text = {u'a', 0xD800, u'b', 0xD83D, 0xDE00};
        EXPECT_EQ(CheckField(text, characters, &units).LossyCharacters, codePage == CP_UTF_8 ? 1u : 2u);
        const std::vector<bool> expected = codePage == CP_UTF_8
                                               ? std::vector<bool>{false, true, false, false, false}
                                               : std::vector<bool>{false, true, false, true, true};
        EXPECT_EQ(units, expected) << codePage;
    }
}

TEST(CheckLossyFile, CountsPerTargetEncoding) {
    TTempDir dir;
    const std::string source = Utf16ToUtf8(u"名前,店\r\n𠮷野,家😀\r\n");
    EXPECT_EQ(Check(dir, source, {}, 0).LossyCharacters, 2u);
    EXPECT_EQ(Check(dir, source, {}, 0).TargetCodePage, 932u);
    EXPECT_EQ(Check(dir, source, {}, 1).LossyCharacters, 0u);
    // Unpaired surrogates of a UTF-16 source become U+FFFD even in UTF-8.
    const std::u16string broken = {u'a', u',', 0xDC00, u'\r', u'\n'};
    EXPECT_EQ(Check(dir, Utf16Le(broken), {}, 1).LossyCharacters, 1u);
    EXPECT_EQ(Check(dir, Utf16Le(broken), {}, 0).LossyCharacters, 1u);
}

TEST(CheckBestFit, StandInsThatAreSeparatorsBreakTheField) {
    // Windows 1252 writes the full-width comma as a comma, and the
    // full-width quotation mark as a quotation mark.
    TTargetCharacters characters(1252);
    ASSERT_EQ(WideCharToMultiByte(1252, u"\uFF0C\uFF02"), ",\"");
    EXPECT_TRUE(CheckField(u"a\uFF0Cb", characters).Breaks);
    EXPECT_TRUE(CheckField(u"\uFF02a", characters).Breaks);
    EXPECT_FALSE(CheckField(u"a\uFF02", characters).Breaks);
    TTargetCharacters utf8(CP_UTF_8);
    EXPECT_FALSE(CheckField(u"a\uFF0Cb", utf8).Breaks);
}

// What the check must find in a file, from the table the reader makes of
// it: a field counts as breaking exactly when, written alone between two
// others, the reader does not read back the same three fields; a character
// is lossy when its bytes in 932 do not read back as it.
struct TExpected {
    std::size_t Rows = 0, Columns = 0;
    std::vector<std::uint64_t> Breaking;
    std::uint64_t Lossy = 0;
    TCsvRow Labels;
};

TExpected Expect(const std::u16string& fileName) {
    TCsvTable table;
    EXPECT_TRUE(ReadCsvFile(fileName, table));
    TExpected expected;
    expected.Rows = table.size();
    expected.Columns = table.empty() ? 0 : table.front().size();
    expected.Breaking.assign(expected.Columns, 0);
    if (!table.empty()) expected.Labels = table.front();
    for (const TCsvRow& row : table) {
        for (std::size_t column = 0; column < row.size(); ++column) {
            const std::u16string& value = row[column];
            if (TCsv::Split(u"x," + value + u",y") != TCsvTable{{u"x", value, u"y"}})
                ++expected.Breaking[column];
            for (std::size_t i = 0; i < value.size(); ++i) {
                const std::size_t units = (value[i] >= 0xD800 && value[i] <= 0xDBFF) ? 2 : 1;
                const std::u16string one = value.substr(i, units);
                if (MultiByteToWideChar(932, *WideCharToMultiByte(932, one)) != one) ++expected.Lossy;
                i += units - 1;
            }
        }
    }
    return expected;
}

void ExpectCheck(const TTempDir& dir, const std::string& bytes) {
    WriteBytes(dir / "in.csv", bytes);
    const TExpected expected = Expect(dir.File("in.csv"));
    for (const std::int32_t encoding : {0, 1}) {
        const TCsvCheck check = Check(dir, bytes, {}, encoding);
        EXPECT_EQ(check.RowCount, expected.Rows);
        EXPECT_EQ(check.ColCount, expected.Columns);
        EXPECT_EQ(check.LossyCharacters, encoding == 0 ? expected.Lossy : 0);
        EXPECT_EQ(Breaking(check), expected.Breaking);
        TCsvRow labels;
        for (const TCheckColumn& column : check.Columns)
            labels.push_back(column.Label);
        EXPECT_EQ(labels, expected.Labels);
    }
}

// Long files of rows most of which the machine takes whole, in pieces.
TEST(CheckProperty, LongFilesOfMostlySimpleRows) {
    const std::vector<std::u16string> fields = {
        u"abc", u"山田", u"", u"\"\"", u"\"a,b\"", u"\"x\"\"y\"", u"\"\"\"q\"", u"\"l\nm\"", u"😀é",
        u"\"𠮷, 野\"", u"12.5", u"a\"b", u"\"c\"d", u" \"e\"", u"\"f\r\ng\"", u"\"1,234,567\"", u"\"p\n,q,\"",
        // Runs of three-byte characters, some that 932 does not hold.
        u"山田太郎山田太郎山田", u"東京都〜한국渋谷区港区〜", u"\"〜,한\"〜",
        // Two-byte ones among them: 932 holds × and ° but not é.
        u"×3°", u"café", u"\"é,×山\""};
    std::mt19937 random(1818);
    TTempDir dir;
    for (int round = 0; round < 2; ++round) {
        std::u16string source;
        while (source.size() < 60000) {
            const std::size_t width = 1 + random() % 6;
            for (std::size_t k = 0; k < width; ++k) {
                if (k > 0) source += u',';
                source += fields[random() % fields.size()];
            }
            source += random() % 2 ? u"\r\n" : u"\n";
        }
        SCOPED_TRACE(round);
        for (const auto encoding : {TSourceEncoding::Utf8, TSourceEncoding::Utf16, TSourceEncoding::ShiftJis})
            ExpectCheck(dir, Encode(source, encoding));
    }
}

// Shift_JIS holding pairs that 932 reads as no character of its own, or as
// one it writes otherwise (unassigned pairs, the NEC and IBM forms of the
// same character, user-defined characters), cut anywhere by the ends of
// pieces: into 932 the check counts as everywhere, from the reader's text.
TEST(CheckProperty, ShiftJisOfEveryKindInto932) {
    // Bytes that would not read as Shift_JIS at all are left out.
    const std::vector<std::string> tokens = {
        "\x8E\x52\x93\x63", "abc",     ",",        ",",        "\r\n",     "\n",       "\"",
        "\"\x82\xA0\"",     "\xB1",    "\x85\x40", "\xEB\x40", "\x81\xAD", "\xED\x40", "\x87\x40",
        "\xFA\x40",         "\xEF\xFC"};
    // A few rows of plain Japanese first, so that the file reads as Shift_JIS.
    const std::string start =
        *WideCharToMultiByte(CP_SHIFT_JIS, u"氏名,住所,備考\r\n山田太郎,東京都港区,なし\r\n");
    std::mt19937 random(932);
    TTempDir dir;
    for (const std::size_t size : {std::size_t{60}, std::size_t{600}, std::size_t{600000}}) {
        for (int round = 0; round < (size < 1000 ? 60 : 1); ++round) {
            std::string bytes = start;
            while (bytes.size() < size)
                bytes += tokens[random() % tokens.size()];
            SCOPED_TRACE(size < 1000 ? test::Escape(bytes) : std::to_string(bytes.size()));
            WriteBytes(dir / "in.csv", bytes);
            ASSERT_EQ(Check(dir, bytes).SourceCodePage, CP_SHIFT_JIS);
            ExpectCheck(dir, bytes);
        }
    }
}

// Random short sources over every structural character.
TEST(CheckProperty, BreakingMatchesRereadingAndLossyMatchesTheEncoder) {
    const std::vector<std::u16string> tokens = {u",", u",", u"\"", u"\"", u"\n", u"\r\n",   u"\r", u"\v",
                                                u"a", u" ", u"あ", u"é",  u"😀",  u"\uFF0C", u"한"};
    std::mt19937 random(18);
    TTempDir dir;
    for (int round = 0; round < 200; ++round) {
        std::u16string source;
        const std::size_t length = random() % 40;
        for (std::size_t k = 0; k < length; ++k)
            source += tokens[random() % tokens.size()];
        for (const auto encoding :
             {TSourceEncoding::Utf8, TSourceEncoding::Utf16, TSourceEncoding::ShiftJis}) {
            SCOPED_TRACE(test::Escape(Utf16ToUtf8(source)));
            // What the reader makes of the file, its detected encoding included.
            WriteBytes(dir / "in.csv", Encode(source, encoding));
            TCsvTable table;
            ASSERT_TRUE(ReadCsvFile(dir.File("in.csv"), table));
            const std::size_t columns = table.empty() ? 0 : table.front().size();
            std::vector<std::uint64_t> breaking(columns, 0);
            std::uint64_t lossy = 0;
            for (const TCsvRow& row : table) {
                for (std::size_t column = 0; column < row.size(); ++column) {
                    const std::u16string& value = row[column];
                    if (TCsv::Split(u"x," + value + u",y") != TCsvTable{{u"x", value, u"y"}})
                        ++breaking[column];
                    for (std::size_t i = 0; i < value.size(); ++i) {
                        const std::size_t units = (value[i] >= 0xD800 && value[i] <= 0xDBFF) ? 2 : 1;
                        const std::u16string one = value.substr(i, units);
                        if (MultiByteToWideChar(932, *WideCharToMultiByte(932, one)) != one) ++lossy;
                        i += units - 1;
                    }
                }
            }
            const TCsvCheck check = Check(dir, Encode(source, encoding), {}, 0);
            EXPECT_EQ(check.RowCount, table.size());
            EXPECT_EQ(check.ColCount, columns);
            EXPECT_EQ(check.LossyCharacters, lossy);
            EXPECT_EQ(Breaking(check), breaking);
            EXPECT_EQ(Breaking(Check(dir, Encode(source, encoding), {}, 1)), breaking);
        }
    }
}

std::u16string Repeat(std::u16string_view rows, std::size_t times) {
    std::u16string text;
    text.reserve(rows.size() * times);
    for (std::size_t k = 0; k < times; ++k)
        text += rows;
    return text;
}

// Files of several MiB are checked in two parts at once, the second from a
// line feed near the middle that seems to end a row: whether it does or
// not, the check is the one of the same text in UTF-16, read in one part.
TEST(CheckProperty, FilesReadInTwoPartsGiveTheWholeCheck) {
    const std::size_t third = std::size_t{2} << 20;
    const std::u16string name = u"名前,備考,x\n";
    const struct {
        const char* Name;
        std::u16string Text;
    } cases[] = {
        {"widest row in the second part, breaking and lossy fields in both",
         name + Repeat(u"a,\"b,c\",😀\r\n", third / 10) + Repeat(u"\"x\ny\",é,\"\"\"q\"\r\n", third / 14) +
             u"1,2,3,4,5,6\r\n" + u"last,\"row"},
        {"middle inside a quoted field of line feeds, with rows of simple look there",
         name + u"x,\"" + Repeat(u"a,b,c\n", third / 2) + u"\",é\n" + Repeat(u"p,\"q,r\"\n", 1000)},
        {"middle inside a quoted field of line feeds, nothing simple there",
         name + u"x,\"" + Repeat(u"a\"\"b,\n", third / 2) + u"\",y,z\n" + Repeat(u"p,q\n", 1000)},
        {"rows without content after the middle",
         name + Repeat(u"a,\"b\nc\",d\n", third / 8) + Repeat(u",,,,\"\",\n", third / 7)},
    };
    TTempDir dir;
    for (const auto& test : cases) {
        SCOPED_TRACE(test.Name);
        // Shift_JIS holds neither 😀 nor é: those rows use characters it has.
        std::u16string shiftJisText = test.Text;
        for (char16_t& unit : shiftJisText)
            if (unit == u'é' || (unit >= 0xD800 && unit <= 0xDFFF)) unit = u'ｱ';
        const std::pair<std::u16string, TSourceEncoding> sources[] = {
            {test.Text, TSourceEncoding::Utf8}, {shiftJisText, TSourceEncoding::ShiftJis}};
        for (const auto& [text, encoding] : sources) {
            const std::string bytes = Encode(text, encoding);
            ASSERT_GE(bytes.size(), std::size_t{4} << 20);
            for (const std::int32_t target : {0, 1}) {
                SCOPED_TRACE("source encoding " + std::to_string(static_cast<int>(encoding)) + ", target " +
                             std::to_string(target));
                const TColumnSet quote{1};
                TCsvCheck parts = Check(dir, bytes, quote, target);
                EXPECT_EQ(parts.SourceCodePage, encoding == TSourceEncoding::Utf8 ? CP_UTF_8 : CP_SHIFT_JIS);
                TCsvCheck whole = Check(dir, Encode(text, TSourceEncoding::Utf16), quote, target);
                EXPECT_EQ(whole.SourceCodePage, CP_UTF16_LE);
                whole.SourceCodePage = parts.SourceCodePage;
                EXPECT_EQ(parts.RowCount, whole.RowCount);
                EXPECT_EQ(parts.ColCount, whole.ColCount);
                EXPECT_EQ(parts.LossyCharacters, whole.LossyCharacters);
                EXPECT_EQ(Breaking(parts), Breaking(whole));
                EXPECT_TRUE(parts == whole);
            }
        }
    }
}

TEST(CheckJson, FormatsTheWholeReport) {
    TCsvCheck check;
    check.SourceCodePage = CP_SHIFT_JIS;
    check.RowCount = 2;
    check.ColCount = 2;
    check.LossyCharacters = 3;
    check.Columns = {{u"A", u"名前", true, 0}, {u"B", u"a\"b\\c\nd\x01", false, 12}};
    EXPECT_EQ(FormatCheckJson(check),
              "{\"encoding\": \"Shift_JIS\", \"codePage\": 932, \"rows\": 2, \"columns\": 2, "
              "\"lossyCharacters\": 3, \"columnsReport\": [{\"index\": 0, \"letters\": \"A\", \"label\": "
              "\"名前\", \"quoted\": true, \"breakingFields\": 0}, {\"index\": 1, \"letters\": \"B\", "
              "\"label\": \"a\\\"b\\\\c\\nd\\u0001\", \"quoted\": false, \"breakingFields\": 12}]}\n");
}

}  // namespace
}  // namespace quillmark
