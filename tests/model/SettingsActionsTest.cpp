#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/FileSystem.h"
#include "base/Utf.h"
#include "model/FormMainModel.h"
#include "model/RecordingUserInterface.h"
#include "support/TestFiles.h"

// Runs with LC_ALL=ja_JP.UTF-8: the ANSI code page is 932.
namespace quillmark {
namespace {

using test::ReadBytes;
using test::WriteBytes;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;

class SettingsActionsTest : public ::testing::Test {
  protected:
    SettingsActionsTest() {
        WriteBytes(folder / "in.csv", "a,b,c\n");
        WriteBytes(folder / "s.qmk",
                   "[FILE]\nSOURCE=" + (folder / "in.csv").string() + "\nENCODING=1\n[CSV]\nCOL=1\n");
    }
    test::TTempDir folder;
    test::TRecordingUserInterface ui;
    TFormMainModel model{ui};
};

TEST_F(SettingsActionsTest, OpenSettingsFileLaysTheFileOverTheForm) {
    model.SetTargetFileName(u"kept.csv");
    EXPECT_TRUE(model.OpenSettingsFile(folder.File("s.qmk")));
    EXPECT_EQ(model.GetConvertInfo(), (TConvertInfo{folder.File("in.csv"), u"kept.csv", 1, {1}, u""}));
    EXPECT_EQ(model.SettingsFileName(), folder.File("s.qmk"));
    EXPECT_EQ(model.Columns().size(), 3u);
    EXPECT_EQ(ui.CursorsCreated, 2);  // the open, and the column list it rebuilt
}

TEST_F(SettingsActionsTest, OpenFromIniResetsFirst) {
    model.SetTargetFileName(u"dropped.csv");
    EXPECT_TRUE(model.OpenFromIni(folder.File("s.qmk")));
    EXPECT_EQ(model.TargetFileName(), u"");
}

TEST_F(SettingsActionsTest, FailedOpenChangesNothing) {
    const test::TUnixSocket socket(folder / "bad.qmk");
    model.OpenSettingsFile(folder.File("s.qmk"));
    model.SetTargetFileName(u"t.csv");
    EXPECT_FALSE(model.OpenSettingsFile(folder.File("bad.qmk")));
    EXPECT_THAT(ui.Shown, ElementsAre(StartsWith("warning: ファイル " + (folder / "bad.qmk").string())));
    EXPECT_EQ(model.SettingsFileName(), folder.File("s.qmk"));
    EXPECT_EQ(model.TargetFileName(), u"t.csv");
}

TEST_F(SettingsActionsTest, SaveToIniWritesAndRemembers) {
    model.OpenSettingsFile(folder.File("s.qmk"));
    EXPECT_TRUE(model.SaveToIni(folder.File("new.QMK")));
    EXPECT_EQ(model.SettingsFileName(), folder.File("new.QMK"));
    EXPECT_EQ(ReadBytes(folder / "new.QMK"), "[FILE]\r\nSOURCE=" + (folder / "in.csv").string() +
                                                 "\r\nTARGET=\r\nENCODING=1\r\n\r\n[CSV]\r\nCOL=1\r\n\r\n");
    EXPECT_EQ(model.SettingsDialogFolder(), NativeToUnicode(folder.Path().string()));
    EXPECT_EQ(model.SettingsDialogFileName(), u"new.QMK");
    EXPECT_THAT(ui.Shown, IsEmpty());
}

TEST_F(SettingsActionsTest, FailedSaveKeepsTheRememberedFile) {
    model.OpenSettingsFile(folder.File("s.qmk"));
    EXPECT_FALSE(model.SaveToIni(folder.File("no/such.qmk")));
    EXPECT_EQ(model.SettingsFileName(), folder.File("s.qmk"));
    EXPECT_THAT(ui.Shown, ElementsAre(StartsWith("warning: ファイル \"" +
                                                 Utf16ToUtf8(ExpandFileName(folder.File("no/such.qmk"))) +
                                                 "\" を作成できません。")));
}

TEST_F(SettingsActionsTest, FileNewForgetsTheFileAndKeepsTheEntries) {
    model.OpenSettingsFile(folder.File("s.qmk"));
    model.FileNew();
    EXPECT_EQ(model.SettingsFileName(), u"");
    EXPECT_EQ(model.GetConvertInfo(), (TConvertInfo{u"", u"", 0, {}, u""}));
    EXPECT_EQ(model.Columns().size(), 3u);
    EXPECT_EQ(model.SettingsDialogFolder(), u"");
}

TEST_F(SettingsActionsTest, DropOpensTheFirstExistingSettingsFile) {
    WriteBytes(folder / "b.ini", "[FILE]\nTARGET=from-ini.csv\n");
    model.SetTargetFileName(u"kept.csv");
    EXPECT_TRUE(model.DropFiles({folder.File("in.csv"), folder.File("missing.qmk"), u"bad\"name.qmk",
                                 folder.File("b.ini"), folder.File("s.qmk")}));
    EXPECT_EQ(model.SettingsFileName(), folder.File("b.ini"));
    EXPECT_EQ(model.TargetFileName(), u"from-ini.csv");
    EXPECT_FALSE(model.DropFiles({folder.File("in.csv")}));
    EXPECT_EQ(model.SettingsFileName(), folder.File("b.ini"));
}

TEST_F(SettingsActionsTest, SaveToBatWritesTheLineAndSaysSo) {
    model.OpenSettingsFile(folder.File("s.qmk"));
    EXPECT_TRUE(model.SaveToBat(folder.File("run.bat"), u"/opt/quillmark"));
    EXPECT_EQ(ReadBytes(folder / "run.bat"), "\"/opt/quillmark\" \"/source:" + (folder / "in.csv").string() +
                                                 "\" /encoding:1 \"/quote:1\" /auto");
    EXPECT_THAT(ui.Shown, ElementsAre("info: バッチファイルを保存しました。"));
    EXPECT_EQ(ui.MaxCursorsWhileShowing, 1);
}

TEST_F(SettingsActionsTest, FailedBatchFileIsReported) {
    EXPECT_FALSE(model.SaveToBat(folder.File("none/run.bat"), u"q"));
    EXPECT_THAT(ui.Shown, ElementsAre(StartsWith("warning: ファイル \"")));
}

}  // namespace
}  // namespace quillmark
