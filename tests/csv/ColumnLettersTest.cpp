#include "csv/ColumnLetters.h"

#include <gtest/gtest.h>

namespace quillmark {
namespace {

struct LettersCase {
    const char* name;
    std::int32_t column;
    std::u16string letters;
};

class ColumnLetters : public ::testing::TestWithParam<LettersCase> {};

TEST_P(ColumnLetters, MatchSpreadsheetNames) {
    EXPECT_EQ(GetColumnLetters(GetParam().column), GetParam().letters);
    // The second answer comes from the cache and is the same.
    EXPECT_EQ(GetColumnLetters(GetParam().column), GetParam().letters);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, ColumnLetters,
    ::testing::Values(LettersCase{"First", 0, u"A"}, LettersCase{"LastSingle", 25, u"Z"},
                      LettersCase{"FirstDouble", 26, u"AA"}, LettersCase{"AB", 27, u"AB"},
                      LettersCase{"AZ", 51, u"AZ"}, LettersCase{"BA", 52, u"BA"},
                      LettersCase{"LastDouble", 701, u"ZZ"}, LettersCase{"FirstTriple", 702, u"AAA"},
                      LettersCase{"Last", 16383, u"XFD"}, LettersCase{"PastLast", 16384, u""},
                      LettersCase{"Negative", -1, u""}, LettersCase{"Lowest", INT32_MIN, u""},
                      LettersCase{"Highest", INT32_MAX, u""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ColumnLettersCache, KeepsOnlyValidIndexes) {
    GetColumnLetters(100);
    const std::size_t before = ColumnLettersCacheSize();
    GetColumnLetters(16384);
    GetColumnLetters(-5);
    GetColumnLetters(100);
    EXPECT_EQ(ColumnLettersCacheSize(), before);
    GetColumnLetters(101);
    EXPECT_EQ(ColumnLettersCacheSize(), before + 1);
}

TEST(ColumnLettersCache, EveryNameIsDistinctAndOrdered) {
    // Shorter names sort first, names of one length alphabetically.
    std::u16string previous;
    for (std::int32_t column = 0; column <= kLastLetteredColumn; ++column) {
        const std::u16string letters = GetColumnLetters(column);
        ASSERT_TRUE(previous.size() < letters.size() ||
                    (previous.size() == letters.size() && previous < letters))
            << column;
        previous = letters;
    }
}

}  // namespace
}  // namespace quillmark
