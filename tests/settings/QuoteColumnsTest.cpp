#include "settings/QuoteColumns.h"

#include <gtest/gtest.h>

#include <random>

namespace quillmark {
namespace {

using namespace std::string_literals;

struct ParseCase {
    const char* name;
    std::u16string text;
    TColumnSet columns;
};
void PrintTo(const ParseCase& row, std::ostream* out) {
    *out << row.name;
}
class ParseQuoteColumnsTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseQuoteColumnsTest, GivesTheSetOfItems) {
    EXPECT_EQ(ParseQuoteColumns(GetParam().text), GetParam().columns);
}

const auto kCaseName = [](const auto& info) { return std::string(info.param.name); };

INSTANTIATE_TEST_SUITE_P(
    Lists, ParseQuoteColumnsTest,
    ::testing::Values(ParseCase{"Empty", u"", {}}, ParseCase{"Ascending", u"0,2,5", {0, 2, 5}},
                      ParseCase{"UnsortedWithDuplicate", u"5,2,0,2", {0, 2, 5}},
                      ParseCase{"SpaceSeparates", u"1 3", {1, 3}},
                      ParseCase{"CommaAndSpace", u"1, 3", {1, 3}},
                      ParseCase{"SpacesAroundComma", u"1 , 3", {1, 3}},
                      ParseCase{"ControlCharactersSkipped", u" \t\r\n1\x1f,\x01 3 ", {1, 3}},
                      ParseCase{"OnlyBlanks", u" \t ", {}}),
    kCaseName);

INSTANTIATE_TEST_SUITE_P(EmptyItems, ParseQuoteColumnsTest,
                         ::testing::Values(ParseCase{"BetweenCommas", u"1,,2", {-1, 1, 2}},
                                           ParseCase{"BetweenCommasWithSpace", u"1, ,2", {-1, 1, 2}},
                                           ParseCase{"TrailingComma", u"1,", {-1, 1}},
                                           ParseCase{"CommaThenBlankAtEnd", u"1, ", {1}},
                                           ParseCase{"LeadingComma", u",1", {-1, 1}},
                                           ParseCase{"LoneComma", u",", {-1}},
                                           ParseCase{"EmptyQuoted", u"\"\"", {-1}}),
                         kCaseName);

INSTANTIATE_TEST_SUITE_P(QuotedItems, ParseQuoteColumnsTest,
                         ::testing::Values(ParseCase{"Quoted", u"\"1\"", {1}},
                                           ParseCase{"QuotedList", u"\"1\",\"2\"", {1, 2}},
                                           ParseCase{"TextAfterClosingMark", u"\"1\"2", {1, 2}},
                                           ParseCase{"LeadingSpaceInside", u"\" 7\"", {7}},
                                           ParseCase{"TrailingSpaceInside", u"\"7 \"", {-1}},
                                           ParseCase{"CommaInside", u"\"1,2\"", {-1}},
                                           ParseCase{"DoubledMarkIsOneMark", u"\"1\"\"\",2", {-1, 2}},
                                           ParseCase{"UnterminatedRunsToEnd", u"3,\"12", {3, 12}},
                                           ParseCase{"UnterminatedTakesBlanks", u"\"1 2", {-1}}),
                         kCaseName);

INSTANTIATE_TEST_SUITE_P(
    ItemValues, ParseQuoteColumnsTest,
    ::testing::Values(ParseCase{"Letter", u"A", {-1}}, ParseCase{"MinusOne", u"-1", {-1}},
                      ParseCase{"Plus", u"+3", {3}}, ParseCase{"LeadingZero", u"07", {7}},
                      ParseCase{"Hex", u"0x10", {16}}, ParseCase{"Dollar", u"$ff", {255}},
                      ParseCase{"OtherNegative", u"-5", {-5}}, ParseCase{"OutOfRange", u"2147483648", {-1}},
                      ParseCase{"Largest", u"2147483647", {2147483647}},
                      ParseCase{"FullWidthDigit", u"１", {-1}},
                      ParseCase{"IdeographicSpaceIsNoBlank", u"1\u30002", {-1}},
                      ParseCase{"DeleteIsNoBlank", u"1\x7f", {-1}}),
    kCaseName);

// Nothing after a U+0000 is read, and reading ends.
INSTANTIATE_TEST_SUITE_P(NulEndsText, ParseQuoteColumnsTest,
                         ::testing::Values(ParseCase{"AfterItems", u"1,2\0,3"s, {1, 2}},
                                           ParseCase{"AtStart", u"\0 1"s, {}},
                                           ParseCase{"AfterBlank", u"1 \0 2"s, {1}},
                                           ParseCase{"MakesCommaLast", u"1,\0 2"s, {-1, 1}},
                                           ParseCase{"InsideItem", u"12\0x"s, {12}},
                                           ParseCase{"InsideQuoted", u"\"4\0\""s, {4}}),
                         kCaseName);

TEST(FormatQuoteColumns, JoinsAscendingWithCommas) {
    EXPECT_EQ(FormatQuoteColumns({}), u"");
    EXPECT_EQ(FormatQuoteColumns({7}), u"7");
    EXPECT_EQ(FormatQuoteColumns({5, 0, 2}), u"0,2,5");
    EXPECT_EQ(FormatQuoteColumns({-1, 16384, INT32_MAX}), u"-1,16384,2147483647");
}

TEST(FormatQuoteColumns, ParsesBackToTheSameSet) {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> size(0, 12);
    std::uniform_int_distribution<std::int32_t> small(0, 300);
    std::uniform_int_distribution<std::int32_t> any(0, INT32_MAX);
    for (int round = 0; round < 2000; ++round) {
        TColumnSet columns;
        for (int i = size(random); i > 0; --i)
            columns.insert(i % 3 == 0 ? any(random) : small(random));
        ASSERT_EQ(ParseQuoteColumns(FormatQuoteColumns(columns)), columns) << "round " << round;
    }
}

}  // namespace
}  // namespace quillmark
