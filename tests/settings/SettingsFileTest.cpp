#include "settings/SettingsFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/Exception.h"
#include "base/FileSystem.h"
#include "base/Messages.h"
#include "base/Utf.h"
#include "support/TestFiles.h"

// Runs with LC_ALL=ja_JP.UTF-8: the ANSI code page is 932.
namespace quillmark {
namespace {

using test::ReadBytes;
using test::WriteBytes;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

class SettingsFileTest : public ::testing::Test {
  protected:
    TConvertInfo Read(std::string_view content) {
        WriteBytes(folder / "s.qmk", content);
        return ReadSettingsFile(folder.File("s.qmk"));
    }
    test::TTempDir folder;
};

TEST_F(SettingsFileTest, NewFileHasTheEightLinesInAnsi) {
    WriteSettingsFile({u"C:\\入力.csv", u"C:\\out.csv", 1, {0, 2}, u""}, folder.File("s.qmk"));
    EXPECT_EQ(ReadBytes(folder / "s.qmk"),
              "[FILE]\r\nSOURCE=C:\\\x93\xFC\x97\xCD.csv\r\nTARGET=C:\\out.csv\r\nENCODING=1\r\n\r\n"
              "[CSV]\r\nCOL=0,2\r\n\r\n");
}

TEST_F(SettingsFileTest, EmptyValuesAndNegativeEncoding) {
    WriteSettingsFile({u"", u"", -1, {}, u""}, folder.File("s.qmk"));
    EXPECT_EQ(ReadBytes(folder / "s.qmk"),
              "[FILE]\r\nSOURCE=\r\nTARGET=\r\nENCODING=-1\r\n\r\n[CSV]\r\nCOL=\r\n\r\n");
}

struct ReadCase {
    const char* name;
    std::string content;
    TConvertInfo expected;  // SettingsFileName filled in by the test
};

class ReadSettingsFileTest : public SettingsFileTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadSettingsFileTest, GivesTheRecord) {
    TConvertInfo expected = GetParam().expected;
    expected.SettingsFileName = folder.File("s.qmk");
    EXPECT_EQ(Read(GetParam().content), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReadSettingsFileTest,
    ::testing::Values(
        ReadCase{"Empty", "", {u"", u"", 0, {}, u""}},
        ReadCase{"Full",
                 "[FILE]\nSOURCE=a.csv\nTARGET=b.csv\nENCODING=1\n[CSV]\nCOL=2,0\n",
                 {u"a.csv", u"b.csv", 1, {0, 2}, u""}},
        ReadCase{"NamesIgnoreCaseValuesTrimmed",
                 "  [ file ] \r\n source = a.csv \r\n",
                 {u"a.csv", u"", 0, {}, u""}},
        ReadCase{"CommentsAndLinesBeforeSections",
                 "SOURCE=x\r;[FILE]\r[FILE]\r;SOURCE=y\rSOURCE=z\r",
                 {u"z", u"", 0, {}, u""}},
        ReadCase{"FirstSectionAndKeyWin",
                 "[FILE]\nSOURCE=a\nSOURCE=b\n[FILE]\nSOURCE=c\nTARGET=t\n",
                 {u"a", u"", 0, {}, u""}},
        ReadCase{"BadColumnMeansNotGiven", "[CSV]\nCOL=1,x\n", {u"", u"", 0, {-1, 1}, u""}},
        ReadCase{"HexEncoding", "[FILE]\nENCODING=0x1\n", {u"", u"", 1, {}, u""}},
        ReadCase{"BadEncodingIsAnsi", "[FILE]\nENCODING=abc\n", {u"", u"", 0, {}, u""}},
        ReadCase{"EncodingTwoIsCarried", "[FILE]\nENCODING=2\n", {u"", u"", 2, {}, u""}},
        ReadCase{
            "ValueKeepsSemicolonAndEquals", "[FILE]\nSOURCE=a;b=c.csv\n", {u"a;b=c.csv", u"", 0, {}, u""}},
        ReadCase{"ZeroInColumnListEndsIt", std::string("[CSV]\nCOL=1 \0,x\n", 16), {u"", u"", 0, {1}, u""}},
        ReadCase{"AnsiBytes", "[FILE]\nSOURCE=\x93\xFC\x97\xCD.csv\n", {u"入力.csv", u"", 0, {}, u""}},
        ReadCase{
            "Utf8WithMark", "\xEF\xBB\xBF[FILE]\nSOURCE=\xE5\x85\xA5.csv\n", {u"入.csv", u"", 0, {}, u""}},
        ReadCase{"Utf16LeWithMark",
                 std::string("\xFF\xFE[\0F\0I\0L\0E\0]\0\n\0S\0O\0U\0R\0C\0E\0=\0e\x30", 32),
                 {u"\u3065", u"", 0, {}, u""}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsFileTest, MissingFileGivesTheEmptySettings) {
    EXPECT_EQ(ReadSettingsFile(folder.File("none.qmk")),
              (TConvertInfo{u"", u"", 0, {}, folder.File("none.qmk")}));
}

TEST_F(SettingsFileTest, UnopenableFileThrowsTheOpenError) {
    const test::TUnixSocket socket(folder / "s.qmk");
    const std::string expected = "ファイル " + (folder / "s.qmk").string() + " は開けません。 ";
    EXPECT_THAT([&] { ReadSettingsFile(folder.File("s.qmk")); },
                ThrowsMessage<EFOpenError>(::testing::StartsWith(expected)));
    EXPECT_THAT([&] { WriteSettingsFile({}, folder.File("s.qmk")); },
                ThrowsMessage<EFOpenError>(::testing::StartsWith(expected)));
}

TEST_F(SettingsFileTest, RewritingKeepsOtherSectionsAndTheEncoding) {
    WriteBytes(
        folder / "s.qmk",
        "\xEF\xBB\xBF; comment\r\n[Mine]\r\n key = v \r\nloose line\r\n[file]\r\nsource=old\r\nOTHER=1\r\n");
    WriteSettingsFile({u"新.csv", u"out.csv", 0, {3}, u""}, folder.File("s.qmk"));
    EXPECT_EQ(ReadBytes(folder / "s.qmk"),
              "\xEF\xBB\xBF[Mine]\r\nkey=v\r\nloose line\r\n\r\n"
              "[file]\r\nSOURCE=\xE6\x96\xB0.csv\r\nOTHER=1\r\nTARGET=out.csv\r\nENCODING=0\r\n\r\n"
              "[CSV]\r\nCOL=3\r\n\r\n");
}

TEST_F(SettingsFileTest, Utf16FilesStayUtf16) {
    for (const std::string& mark : {std::string("\xFF\xFE"), std::string("\xFE\xFF")}) {
        WriteBytes(folder / "s.qmk", mark);
        WriteSettingsFile({u"\u3042", u"", 0, {}, u""}, folder.File("s.qmk"));
        const std::string bytes = ReadBytes(folder / "s.qmk");
        ASSERT_TRUE(bytes.starts_with(mark));
        EXPECT_EQ(ReadSettingsFile(folder.File("s.qmk")).SourceFileName, u"\u3042");
        EXPECT_EQ(
            bytes.size(),
            2 + 2 * std::u16string_view(
                        u"[FILE]\r\nSOURCE=\u3042\r\nTARGET=\r\nENCODING=0\r\n\r\n[CSV]\r\nCOL=\r\n\r\n")
                        .size());
    }
}

TEST_F(SettingsFileTest, RoundTripKeepsTheRecord) {
    const TConvertInfo records[] = {
        {u"C:\\My Data\\in.csv", u"/tmp/x=y;z.csv", 1, {0, 5, 16383}, u""},
        {u"", u"", 0, {}, u""},
        {u"入力.csv", u"", 2, {7}, u""},
    };
    for (TConvertInfo record : records) {
        WriteSettingsFile(record, folder.File("s.qmk"));
        record.SettingsFileName = folder.File("s.qmk");
        EXPECT_EQ(ReadSettingsFile(folder.File("s.qmk")), record);
    }
}

TEST_F(SettingsFileTest, FailedWriteLeavesTheOldFile) {
    WriteBytes(folder / "s.qmk", "[FILE]\r\nSOURCE=old\r\n");
    EXPECT_THAT([&] { WriteSettingsFile({}, folder.File("missing/s.qmk")); },
                ThrowsMessage<EFCreateError>(::testing::StartsWith(
                    "ファイル \"" + Utf16ToUtf8(ExpandFileName(folder.File("missing/s.qmk"))))));
    std::filesystem::create_directory(folder / "dir.qmk");
    EXPECT_THROW(WriteSettingsFile({}, folder.File("dir.qmk")), Exception);
    EXPECT_EQ(ReadBytes(folder / "s.qmk"), "[FILE]\r\nSOURCE=old\r\n");
    EXPECT_EQ(folder.Listing(), "dir.qmk s.qmk");
}

TEST(IsSettingsFileNameTest, AcceptsQmkAndIniInAnyCase) {
    for (const char16_t* name : {u"a.qmk", u"A.QMK", u"a.ini", u"a.Ini", u"/x.y/b.Qmk"})
        EXPECT_TRUE(IsSettingsFileName(name));
    for (const char16_t* name : {u"a.csv", u"a.qmk.bak", u"qmk", u"a.qmk/b", u""})
        EXPECT_FALSE(IsSettingsFileName(name));
    EXPECT_THAT([] { IsSettingsFileName(u"a<b.qmk"); },
                ThrowsMessage<EArgumentException>(StrEq("ファイル名に無効な文字が含まれています")));
}

}  // namespace
}  // namespace quillmark
