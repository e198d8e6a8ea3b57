#include "settings/CommandLine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "base/Exception.h"
#include "base/Messages.h"
#include "base/Utf.h"
#include "support/TestFiles.h"

namespace quillmark {
namespace {

using ::testing::StrEq;
using ::testing::ThrowsMessage;

const auto kCaseName = [](const auto& info) { return std::string(info.param.name); };

// What ParseCommandLine starts from: every field not given.
const TConvertInfo kNothingGiven{u"", u"", kEncodingNotGiven, {kColumnsNotGiven}, u""};

TConvertInfo With(std::u16string source, std::u16string target, std::int32_t encoding, TColumnSet columns) {
    return {std::move(source), std::move(target), encoding, std::move(columns), u""};
}

struct ArgumentsCase {
    const char* name;
    TArguments arguments;
    TConvertInfo info;
};
void PrintTo(const ArgumentsCase& row, std::ostream* out) {
    *out << row.name;
}
class ParseCommandLineTest : public ::testing::TestWithParam<ArgumentsCase> {};

TEST_P(ParseCommandLineTest, BuildsTheRecord) {
    EXPECT_EQ(ParseCommandLine(GetParam().arguments), GetParam().info);
}

INSTANTIATE_TEST_SUITE_P(
    Switches, ParseCommandLineTest,
    ::testing::Values(
        ArgumentsCase{"NoArgumentsGiveEmptyRecord", {}, TConvertInfo{}},
        ArgumentsCase{"Unrecognised", {u"hello", u"/auto", u"-AUTO", u"x.ini"}, kNothingGiven},
        ArgumentsCase{"All",
                      {u"/source:in.csv", u"/target:out.csv", u"/encoding:1", u"/quote:0,2"},
                      With(u"in.csv", u"out.csv", 1, {0, 2})},
        ArgumentsCase{"EncodingNotNumeric", {u"/encoding:abc"}, With(u"", u"", 0, {-1})},
        ArgumentsCase{"EncodingEmpty", {u"/encoding:"}, With(u"", u"", 0, {-1})},
        ArgumentsCase{"EncodingMinusOne", {u"/encoding:-1"}, With(u"", u"", -1, {-1})},
        ArgumentsCase{"EncodingCarriedUnchanged", {u"/encoding:7"}, With(u"", u"", 7, {-1})},
        ArgumentsCase{"QuoteEmpty", {u"/quote:"}, With(u"", u"", -1, {})},
        ArgumentsCase{"QuoteBadItem", {u"/quote:1,x"}, With(u"", u"", -1, {-1, 1})},
        ArgumentsCase{"QuoteQuotedItem", {u"/quote:\"1\""}, With(u"", u"", -1, {1})},
        ArgumentsCase{"LaterQuoteReplacesSet", {u"/quote:1", u"/quote:2"}, With(u"", u"", -1, {2})},
        ArgumentsCase{"LaterSourceWins", {u"/source:a.csv", u"/source:b.csv"}, With(u"b.csv", u"", -1, {-1})},
        ArgumentsCase{"LaterEmptySourceWins", {u"/source:a.csv", u"/source:"}, With(u"", u"", -1, {-1})},
        ArgumentsCase{"NotTrimmed", {u"/source: a.csv ", u"/target:\tb"}, With(u" a.csv ", u"\tb", -1, {-1})},
        ArgumentsCase{"PrefixTakesAnyCharacter", {u"/target:<a|b>"}, With(u"", u"<a|b>", -1, {-1})},
        ArgumentsCase{"PrefixIsCaseSensitive", {u"/SOURCE:in.csv", u"/Quote:1"}, kNothingGiven},
        ArgumentsCase{"PrefixNeedsColon", {u"/source", u"/encoding=1"}, kNothingGiven},
        ArgumentsCase{"PrefixOnlyAtStart", {u" /source:a.csv"}, kNothingGiven}),
    kCaseName);

class InvalidArgumentTest : public ::testing::TestWithParam<TArguments> {};

TEST_P(InvalidArgumentTest, StopsWithArgumentError) {
    EXPECT_THAT([&] { ParseCommandLine(GetParam()); },
                ThrowsMessage<EArgumentException>(StrEq(Utf16ToUtf8(messages::InvalidFileNameChars))));
}

INSTANTIATE_TEST_SUITE_P(Unrecognised, InvalidArgumentTest,
                         ::testing::Values(TArguments{u"<a.csv"}, TArguments{u"/SOURCE:a|b.csv"},
                                           TArguments{u"/source:a.csv", u"a\"b"}, TArguments{u"x.qmk\t"}));

struct SettingsFileCase {
    const char* name;
    const char* argument;
    bool taken;
};
void PrintTo(const SettingsFileCase& row, std::ostream* out) {
    *out << row.name;
}
class SettingsFileArgumentTest : public ::testing::TestWithParam<SettingsFileCase> {
  protected:
    SettingsFileArgumentTest() {
        for (const char* name :
             {"settings.qmk", "settings.QMK", "settings.Qmk", "settings.ini", "settings.ｑｍｋ"}) {
            test::WriteBytes(folder / name, "[CONFIG]\n");
        }
        std::filesystem::create_directory(folder / "folder.qmk");
#if !defined(_WIN32)
        // Windows gives symbolic links to administrators only.
        std::filesystem::create_symlink(folder / "settings.qmk", folder / "link.qmk");
        std::filesystem::create_symlink(folder / "missing.qmk", folder / "dangling.qmk");
#endif
    }
    test::TTempDir folder;
};

TEST_P(SettingsFileArgumentTest, TakesExistingQmkFiles) {
    const std::u16string path = folder.File(GetParam().argument);
    TConvertInfo expected = kNothingGiven;
    if (GetParam().taken) expected.SettingsFileName = path;
    EXPECT_EQ(ParseCommandLine({path}), expected);
}

INSTANTIATE_TEST_SUITE_P(Files, SettingsFileArgumentTest,
                         ::testing::Values(SettingsFileCase{"Lower", "settings.qmk", true},
                                           SettingsFileCase{"Upper", "settings.QMK", true},
                                           SettingsFileCase{"Mixed", "settings.Qmk", true},
                                           SettingsFileCase{"Ini", "settings.ini", false},
                                           SettingsFileCase{"Missing", "missing.qmk", false},
                                           SettingsFileCase{"Directory", "folder.qmk", false},
                                           SettingsFileCase{"FullWidthExtension", "settings.ｑｍｋ", false}),
                         kCaseName);
#if !defined(_WIN32)
INSTANTIATE_TEST_SUITE_P(Links, SettingsFileArgumentTest,
                         ::testing::Values(SettingsFileCase{"Link", "link.qmk", true},
                                           SettingsFileCase{"DanglingLink", "dangling.qmk", false}),
                         kCaseName);
#endif

TEST_F(SettingsFileArgumentTest, LastExistingFileWins) {
    const TArguments arguments{folder.File("settings.qmk"), folder.File("settings.QMK"),
                               folder.File("missing.qmk")};
    EXPECT_EQ(ParseCommandLine(arguments).SettingsFileName, folder.File("settings.QMK"));
}

struct SwitchCase {
    const char* name;
    TArguments arguments;
    bool found;
};
void PrintTo(const SwitchCase& row, std::ostream* out) {
    *out << row.name;
}
class FindCmdLineSwitchTest : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(FindCmdLineSwitchTest, MatchesSlashOrDashAndNameInAnyCase) {
    EXPECT_EQ(FindCmdLineSwitch(GetParam().arguments, u"auto"), GetParam().found);
}

INSTANTIATE_TEST_SUITE_P(
    Auto, FindCmdLineSwitchTest,
    ::testing::Values(SwitchCase{"Slash", {u"/auto"}, true}, SwitchCase{"Dash", {u"-auto"}, true},
                      SwitchCase{"Upper", {u"/AUTO"}, true}, SwitchCase{"Mixed", {u"-Auto"}, true},
                      SwitchCase{"AmongOthers", {u"/source:a.csv", u"x", u"/auto"}, true},
                      SwitchCase{"Longer", {u"/autox"}, false}, SwitchCase{"Shorter", {u"/aut"}, false},
                      SwitchCase{"NoMark", {u"auto"}, false}, SwitchCase{"DoubleDash", {u"--auto"}, false},
                      SwitchCase{"Backslash", {u"\\auto"}, false}, SwitchCase{"Spaced", {u"/auto "}, false},
                      SwitchCase{"EmptyArgument", {u""}, false}, SwitchCase{"NoArguments", {}, false}),
    kCaseName);

}  // namespace
}  // namespace quillmark
