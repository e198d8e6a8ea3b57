#include "base/Format.h"

#include <gtest/gtest.h>

#include <climits>

namespace quillmark {
namespace {

TEST(Format, FillsPlaceholdersInOrder) {
    EXPECT_EQ(Format(u"%s列（%s）", {u"AB", u"日付"}), u"AB列（日付）");
    EXPECT_EQ(Format(u"ファイル \"%s\" を作成できません。%s", {u"/a b", u"x"}),
              u"ファイル \"/a b\" を作成できません。x");
    EXPECT_EQ(Format(u"100%% %s", {u"ok"}), u"100% ok");
    EXPECT_EQ(Format(u"%s-%s", {u"only"}), u"only-");
    EXPECT_EQ(Format(u"%s", {u"%s"}), u"%s");  // arguments are not scanned again
}

TEST(IntToStr, CoversTheWholeRange) {
    EXPECT_EQ(IntToStr(0), u"0");
    EXPECT_EQ(IntToStr(-1), u"-1");
    EXPECT_EQ(IntToStr(2147483647), u"2147483647");
    EXPECT_EQ(IntToStr(LLONG_MIN), u"-9223372036854775808");
}

TEST(AnsiQuotedStr, DoublesTheQuote) {
    EXPECT_EQ(AnsiQuotedStr(u""), u"\"\"");
    EXPECT_EQ(AnsiQuotedStr(u"x\"y"), u"\"x\"\"y\"");
    EXPECT_EQ(AnsiQuotedStr(u"/source:C:\\My Data\\in.csv"), u"\"/source:C:\\My Data\\in.csv\"");
    EXPECT_EQ(AnsiQuotedStr(u"it's", u'\''), u"'it''s'");
}

}  // namespace
}  // namespace quillmark
