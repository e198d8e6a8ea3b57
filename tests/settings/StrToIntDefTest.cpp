#include "settings/StrToIntDef.h"

#include <gtest/gtest.h>

#include <optional>

namespace quillmark {
namespace {

using namespace std::string_literals;

constexpr std::int32_t kFallback = 99;

struct IntCase {
    const char* name;
    std::u16string text;
    std::optional<std::int32_t> value;  // nullopt: the fallback
};
void PrintTo(const IntCase& row, std::ostream* out) {
    *out << row.name;
}
class StrToIntDefTest : public ::testing::TestWithParam<IntCase> {};

TEST_P(StrToIntDefTest, ReadsWholeTextOrFallsBack) {
    EXPECT_EQ(StrToIntDef(GetParam().text, kFallback), GetParam().value.value_or(kFallback));
}

const auto kCaseName = [](const auto& info) { return std::string(info.param.name); };

INSTANTIATE_TEST_SUITE_P(Decimal, StrToIntDefTest,
                         ::testing::Values(IntCase{"Zero", u"0", 0}, IntCase{"Plus", u"+3", 3},
                                           IntCase{"LeadingZero", u"07", 7}, IntCase{"Negative", u"-42", -42},
                                           IntCase{"MinusZero", u"-0", 0},
                                           IntCase{"LeadingSpaces", u"  12", 12},
                                           IntCase{"Max", u"2147483647", INT32_MAX},
                                           IntCase{"Min", u"-2147483648", INT32_MIN},
                                           IntCase{"ManyLeadingZeros", u"000000000002147483647", INT32_MAX}),
                         kCaseName);

INSTANTIATE_TEST_SUITE_P(
    Hexadecimal, StrToIntDefTest,
    ::testing::Values(IntCase{"Dollar", u"$10", 16}, IntCase{"SmallX", u"x1F", 31},
                      IntCase{"CapitalX", u"X1f", 31}, IntCase{"ZeroX", u"0x10", 16},
                      IntCase{"ZeroCapitalX", u"0XfF", 255}, IntCase{"SignBeforeDollar", u"-$10", -16},
                      IntCase{"PlusBeforeZeroX", u"+0x10", 16}, IntCase{"SpacesBeforePrefix", u" $A", 10},
                      IntCase{"Max", u"$7FFFFFFF", INT32_MAX}, IntCase{"Min", u"-$80000000", INT32_MIN},
                      IntCase{"PastMax", u"$80000000", std::nullopt},
                      IntCase{"PastMin", u"-$80000001", std::nullopt},
                      IntCase{"ManyDigits", u"$100000000", std::nullopt}),
    kCaseName);

INSTANTIATE_TEST_SUITE_P(
    NoNumber, StrToIntDefTest,
    ::testing::Values(
        IntCase{"Empty", u"", std::nullopt}, IntCase{"Spaces", u"  ", std::nullopt},
        IntCase{"SignOnly", u"-", std::nullopt}, IntCase{"PrefixOnly", u"$", std::nullopt},
        IntCase{"ZeroXOnly", u"0x", std::nullopt}, IntCase{"TrailingSpace", u"12 ", std::nullopt},
        IntCase{"LeadingTab", u"\t1", std::nullopt}, IntCase{"SpaceAfterSign", u"- 1", std::nullopt},
        IntCase{"TwoSigns", u"+-1", std::nullopt}, IntCase{"SignAfterPrefix", u"0x-1", std::nullopt},
        IntCase{"HexDigitInDecimal", u"1F", std::nullopt}, IntCase{"BadHexDigit", u"$1G", std::nullopt},
        IntCase{"PrefixAfterZero", u"00x1", std::nullopt}, IntCase{"Fraction", u"1.0", std::nullopt},
        IntCase{"Exponent", u"1e3", std::nullopt}, IntCase{"PastMax", u"2147483648", std::nullopt},
        IntCase{"PastMin", u"-2147483649", std::nullopt},
        IntCase{"Huge", u"99999999999999999999", std::nullopt},
        IntCase{"FullWidthDigits", u"１２", std::nullopt}, IntCase{"NulAfterDigits", u"12\0"s, std::nullopt}),
    kCaseName);

TEST(StrToIntDef, ReturnsTheGivenFallback) {
    EXPECT_EQ(StrToIntDef(u"x", -1), -1);
    EXPECT_EQ(StrToIntDef(u"x", 0), 0);
    EXPECT_EQ(StrToIntDef(u"-1", 0), -1);
}

}  // namespace
}  // namespace quillmark
