#include "settings/IniFile.h"

#include <gtest/gtest.h>

namespace quillmark {
namespace {

TEST(IniFileTest, ParsesLinesSectionsAndKeys) {
    const TIniFile ini =
        TIniFile::Parse(u"before=1\r\n[ A ]\r\n k = v = w \r\n; note\r\n\r\nloose\n[b]\r[a]\rk=second\r\n");
    const std::vector<TIniSection> expected = {
        {u"A", {{u"k", u"v = w", true}, {u"loose", u"", false}}},
        {u"b", {}},
        {u"a", {{u"k", u"second", true}}},
    };
    EXPECT_EQ(ini.Sections(), expected);
    EXPECT_EQ(ini.ReadString(u"a", u"K", u"-"), u"v = w");
    EXPECT_EQ(ini.ReadString(u"a", u"loose", u"-"), u"-");
    EXPECT_EQ(ini.ReadString(u"c", u"k", u"-"), u"-");
}

TEST(IniFileTest, WritingReplacesTheFirstKeyOrAppends) {
    TIniFile ini = TIniFile::Parse(u"[a]\nk=1\nx\nk=2\n[A]\nj=3\n");
    ini.WriteString(u"A", u"K", u"new");
    ini.WriteString(u"a", u"j", u"4");
    ini.WriteString(u"z", u"q", u"");
    EXPECT_EQ(ini.Format(), u"[a]\r\nK=new\r\nx\r\nk=2\r\nj=4\r\n\r\n[A]\r\nj=3\r\n\r\n[z]\r\nq=\r\n\r\n");
}

TEST(IniFileTest, BracketsAloneAndHalfHeadersAreNotSections) {
    const TIniFile ini = TIniFile::Parse(u"[]\n[x\nk=v\n");
    ASSERT_EQ(ini.Sections().size(), 1u);
    EXPECT_EQ(ini.Sections()[0].Name, u"");
    EXPECT_EQ(ini.ReadString(u"", u"k", u"-"), u"v");
}

}  // namespace
}  // namespace quillmark
