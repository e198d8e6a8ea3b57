#include "settings/FileName.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/Exception.h"
#include "base/Messages.h"
#include "base/Utf.h"

namespace quillmark {
namespace {

using namespace std::string_literals;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

const auto kCaseName = [](const auto& info) { return std::string(info.param.name); };

struct PathCase {
    const char* name;
    std::u16string path;
    std::u16string extension;
};
void PrintTo(const PathCase& row, std::ostream* out) {
    *out << row.name;
}
class ExtractFileExtTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(ExtractFileExtTest, FromLastDotAfterLastSeparator) {
    EXPECT_EQ(ExtractFileExt(GetParam().path), GetParam().extension);
    // Replacing the extension swaps exactly the part found.
    EXPECT_EQ(ChangeFileExt(GetParam().path, u".new"),
              GetParam().path.substr(0, GetParam().path.size() - GetParam().extension.size()) + u".new");
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ExtractFileExtTest,
    ::testing::Values(PathCase{"Windows", u"C:\\a.b\\c.qmk", u".qmk"},
                      PathCase{"DotInFolder", u"dir.x/name", u""},
                      PathCase{"DotInBackslashFolder", u"dir.x\\name", u""}, PathCase{"NoDot", u"name", u""},
                      PathCase{"LastDotWins", u"a.tar.gz", u".gz"},
                      PathCase{"OnlyExtension", u".qmk", u".qmk"}, PathCase{"TrailingDot", u"a.", u"."},
                      PathCase{"DriveColonIsNoSeparator", u"x.y:z", u".y:z"},
                      PathCase{"WildcardsAllowed", u"a?*.qmk", u".qmk"}, PathCase{"Empty", u"", u""},
                      PathCase{"DeleteAllowed", u"a\x7f.qmk", u".qmk"}),
    kCaseName);

class InvalidPathTest : public ::testing::TestWithParam<std::u16string> {};

TEST_P(InvalidPathTest, ThrowsArgumentError) {
    EXPECT_TRUE(HasInvalidPathChars(GetParam()));
    EXPECT_THAT([&] { ExtractFileExt(GetParam()); },
                ThrowsMessage<EArgumentException>(StrEq(Utf16ToUtf8(messages::InvalidFileNameChars))));
}

INSTANTIATE_TEST_SUITE_P(Characters, InvalidPathTest,
                         ::testing::Values(u"a<b.qmk", u"a>b.qmk", u"a|b.qmk", u"\"a.qmk\"", u"a\tb.qmk",
                                           u"a.qmk\n", u"\x1f.qmk", u"a\0.qmk"s));

struct UpperCase {
    const char* name;
    std::u16string text;
    std::u16string upper;
};
void PrintTo(const UpperCase& row, std::ostream* out) {
    *out << row.name;
}
class AnsiUpperCaseTest : public ::testing::TestWithParam<UpperCase> {};

TEST_P(AnsiUpperCaseTest, MapsSmallLettersToCapitals) {
    EXPECT_EQ(AnsiUpperCase(GetParam().text), GetParam().upper);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, AnsiUpperCaseTest,
    ::testing::Values(UpperCase{"Ascii", u"az.Qmk-09_@[`{", u"AZ.QMK-09_@[`{"},
                      UpperCase{"Latin1", u"àéöøþÿ", u"ÀÉÖØÞŸ"}, UpperCase{"Latin1NoLetter", u"÷ßµ", u"÷ßµ"},
                      UpperCase{"LatinExtended", u"āčľŋžǎǆǳȳḁỹ", u"ĀČĽŊŽǍǄǱȲḀỸ"},
                      UpperCase{"CapitalInOtherBlock", u"ıſ", u"ıſ"},
                      UpperCase{"Greek", u"αωςάίόώϙ", u"ΑΩΣΆΊΌΏϘ"},
                      UpperCase{"Cyrillic", u"аяёџѡӏӂԯ", u"АЯЁЏѠӀӁԮ"},
                      UpperCase{"FullWidth", u"ａｑｚＱ", u"ＡＱＺＱ"},
                      UpperCase{"Unchanged", u"日本語１ＡΣЖ\U0001D41A", u"日本語１ＡΣЖ\U0001D41A"}),
    kCaseName);

struct SplitCase {
    const char* name;
    std::u16string path;
    std::u16string dir;
    std::u16string file;
};
void PrintTo(const SplitCase& row, std::ostream* out) {
    *out << row.name;
}
class SplitPathTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitPathTest, AtLastSeparator) {
    EXPECT_EQ(ExtractFileDir(GetParam().path), GetParam().dir);
    EXPECT_EQ(ExtractFileName(GetParam().path), GetParam().file);
}

INSTANTIATE_TEST_SUITE_P(Paths, SplitPathTest,
                         ::testing::Values(SplitCase{"Posix", u"/opt/q/a.csv", u"/opt/q", u"a.csv"},
                                           SplitCase{"Windows", u"C:\\dir\\a.csv", u"C:\\dir", u"a.csv"},
                                           SplitCase{"Mixed", u"a\\b/c", u"a\\b", u"c"},
                                           SplitCase{"NameOnly", u"a.csv", u"", u"a.csv"},
                                           SplitCase{"PosixRoot", u"/a", u"/", u"a"},
                                           SplitCase{"DriveRoot", u"C:\\a", u"C:\\", u"a"},
                                           SplitCase{"TrailingSeparator", u"dir/", u"dir", u""},
                                           SplitCase{"RootOnly", u"/", u"/", u""},
                                           SplitCase{"DriveColonIsNoSeparator", u"C:a", u"", u"C:a"}),
                         kCaseName);

TEST(ChangeFileExt, AppendsWhenThereIsNone) {
    EXPECT_EQ(ChangeFileExt(u"/opt/q/quillmark", u".CHM"), u"/opt/q/quillmark.CHM");
    EXPECT_EQ(ChangeFileExt(u"a.b/c", u".x"), u"a.b/c.x");
    EXPECT_EQ(ChangeFileExt(u"a.tar.gz", u""), u"a.tar");
}

}  // namespace
}  // namespace quillmark
