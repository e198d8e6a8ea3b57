#include "model/FormMainModel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>

#include "base/Exception.h"
#include "model/RecordingUserInterface.h"
#include "support/TestFiles.h"

namespace quillmark {
namespace {

using test::ReadBytes;
using test::TRecordingUserInterface;
using test::TTempDir;
using test::WriteBytes;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class FormMainModelTest : public ::testing::Test {
  protected:
    std::vector<std::u16string> Labels() const {
        std::vector<std::u16string> labels;
        for (const auto& entry : model.Columns())
            labels.push_back(entry.Label);
        return labels;
    }
    // A socket exists as a file but cannot be opened, even by root.
    std::u16string UnreadableFile(const char* name) {
        sockets.push_back(std::make_unique<test::TUnixSocket>(folder / name));
        return folder.File(name);
    }

    TTempDir folder;
    TRecordingUserInterface ui;
    TFormMainModel model{ui};
    std::vector<std::unique_ptr<test::TUnixSocket>> sockets;
};

TEST_F(FormMainModelTest, StartsAsAnEmptyWindow) {
    EXPECT_EQ(model.SourceFileName(), u"");
    EXPECT_EQ(model.TargetFileName(), u"");
    EXPECT_EQ(model.EncodingIndex(), 0);
    EXPECT_THAT(model.Columns(), IsEmpty());
    EXPECT_EQ(model.GetConvertInfo(), (TConvertInfo{u"", u"", 0, {}, u""}));
}

TEST_F(FormMainModelTest, ColumnLabelsComeFromTheFirstRow) {
    WriteBytes(folder / "in.csv", "氏名,日付,金額\n1,2,3,4,5\n");
    ASSERT_TRUE(model.LoadCsvColumns(folder.File("in.csv")));
    EXPECT_THAT(Labels(),
                ElementsAre(u"A列（氏名）", u"B列（日付）", u"C列（金額）", u"D列（）", u"E列（）"));
    EXPECT_THAT(ui.Shown, IsEmpty());
    EXPECT_EQ(ui.Cursors, 0);
    EXPECT_EQ(ui.CursorsCreated, 1);
}

TEST_F(FormMainModelTest, ColumnsPastXfdHaveNoLetters) {
    WriteBytes(folder / "in.csv", std::string(16385, ',') + "x\n");
    ASSERT_TRUE(model.LoadCsvColumns(folder.File("in.csv")));
    ASSERT_EQ(model.Columns().size(), 16386u);
    EXPECT_EQ(model.Columns()[16383].Label, u"XFD列（）");
    EXPECT_EQ(model.Columns()[16384].Label, u"列（）");
    EXPECT_EQ(model.Columns()[16385].Label, u"列（x）");
}

TEST_F(FormMainModelTest, LoadFailuresEmptyTheList) {
    WriteBytes(folder / "in.csv", "a,b\n");
    ASSERT_TRUE(model.LoadCsvColumns(folder.File("in.csv")));

    EXPECT_FALSE(model.LoadCsvColumns(folder.File("missing.csv")));
    EXPECT_THAT(model.Columns(), IsEmpty());
    EXPECT_THAT(ui.Shown, IsEmpty());

    ASSERT_TRUE(model.LoadCsvColumns(folder.File("in.csv")));
    EXPECT_FALSE(model.LoadCsvColumns(UnreadableFile("socket.csv")));
    EXPECT_THAT(model.Columns(), IsEmpty());
    EXPECT_THAT(ui.Shown, ElementsAre("warning: CSVファイルの読み込みに失敗しました。"));
}

TEST_F(FormMainModelTest, OnDemandAFileThatCannotBeOpenedFailsAtOnce) {
    model.SetColumnsOnDemand(true);
    EXPECT_FALSE(model.LoadCsvColumns(folder.File("missing.csv")));
    EXPECT_THAT(ui.Shown, IsEmpty());
    EXPECT_FALSE(model.LoadCsvColumns(UnreadableFile("socket.csv")));
    EXPECT_THAT(ui.Shown, ElementsAre("warning: CSVファイルの読み込みに失敗しました。"));
    EXPECT_THAT(model.Columns(), IsEmpty());
}

TEST_F(FormMainModelTest, FileWithoutRowsCountsAsRead) {
    WriteBytes(folder / "empty.csv", "\r\n,,\r\n");
    EXPECT_TRUE(model.LoadCsvColumns(folder.File("empty.csv")));
    EXPECT_THAT(model.Columns(), IsEmpty());
}

struct CheckCase {
    const char* name;
    TColumnSet already;
    TColumnSet columns;
    TColumnSet ticked;
};

class CheckCsvColumns : public FormMainModelTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(CheckCsvColumns, TicksUpToTheFirstIndexOutOfRange) {
    WriteBytes(folder / "in.csv", "a,b,c\n");
    ASSERT_TRUE(model.LoadCsvColumns(folder.File("in.csv")));
    model.CheckCsvColumns(GetParam().already);
    model.CheckCsvColumns(GetParam().columns);
    EXPECT_EQ(model.GetQuoteColumns(), GetParam().ticked);
}

// On demand the ticks wait for the list; once it is read they are the same.
TEST_P(CheckCsvColumns, OnDemandTickTheSameEntriesOnceTheListIsRead) {
    WriteBytes(folder / "in.csv", "a,b,c\n");
    model.SetColumnsOnDemand(true);
    ASSERT_TRUE(model.LoadCsvColumns(folder.File("in.csv")));
    model.CheckCsvColumns(GetParam().already);
    model.CheckCsvColumns(GetParam().columns);
    EXPECT_EQ(ui.CursorsCreated, 0) << "read before it was needed";
    EXPECT_TRUE(std::ranges::includes(model.GetQuoteColumns(), GetParam().ticked));
    EXPECT_EQ(model.Columns().size(), 3u);
    EXPECT_EQ(model.GetQuoteColumns(), GetParam().ticked);
}

INSTANTIATE_TEST_SUITE_P(Ticks, CheckCsvColumns,
                         ::testing::Values(CheckCase{"InRange", {}, {0, 2}, {0, 2}},
                                           CheckCase{"StopsPastTheEnd", {}, {1, 5}, {1}},
                                           CheckCase{"NegativeTicksNothing", {}, {-2, 0}, {}},
                                           CheckCase{"MarkerTicksNothing", {}, {-1, 1}, {}},
                                           CheckCase{"NeverUnticks", {0}, {2}, {0, 2}},
                                           CheckCase{"EmptySetKeepsTicks", {1}, {}, {1}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FormMainModelTest, EncodingOutsideTheListSelectsNothing) {
    model.SetConvertInfo({u"", u"", 1, {-1}, u""});
    EXPECT_EQ(model.EncodingIndex(), 1);
    model.SetConvertInfo({u"", u"", -1, {-1}, u""});
    EXPECT_EQ(model.EncodingIndex(), 1);
    model.SetConvertInfo({u"", u"", 2, {-1}, u""});
    EXPECT_EQ(model.EncodingIndex(), -1);
    EXPECT_EQ(model.GetConvertInfo().Encoding, -1);
}

TEST_F(FormMainModelTest, SetConvertInfoRebuildsColumnsBeforeTicking) {
    WriteBytes(folder / "a.csv", "x,y,z\n");
    WriteBytes(folder / "b.csv", "p,q\n");
    ASSERT_TRUE(model.SetConvertInfo({folder.File("a.csv"), u"out.csv", 1, {0, 1, 2}, u""}));
    EXPECT_EQ(model.GetQuoteColumns(), (TColumnSet{0, 1, 2}));

    ASSERT_TRUE(model.SetConvertInfo({folder.File("b.csv"), u"", -1, {1}, u""}));
    EXPECT_THAT(Labels(), ElementsAre(u"A列（p）", u"B列（q）"));
    EXPECT_EQ(model.GetConvertInfo(), (TConvertInfo{folder.File("b.csv"), u"out.csv", 1, {1}, u""}));
}

TEST_F(FormMainModelTest, SetConvertInfoWithMissingSourceKeepsTheList) {
    WriteBytes(folder / "a.csv", "x,y\n");
    ASSERT_TRUE(model.SetConvertInfo({folder.File("a.csv"), u"", -1, {0}, u""}));
    EXPECT_FALSE(model.SetConvertInfo({folder.File("gone.csv"), u"t.csv", -1, {1}, u""}));
    EXPECT_EQ(model.SourceFileName(), folder.File("gone.csv"));
    EXPECT_EQ(model.TargetFileName(), u"t.csv");
    EXPECT_THAT(Labels(), ElementsAre(u"A列（x）", u"B列（y）"));
    EXPECT_EQ(model.GetQuoteColumns(), (TColumnSet{0, 1}));
    EXPECT_THAT(ui.Shown, IsEmpty());
}

TEST_F(FormMainModelTest, ResetKeepsEntriesButUnticksThem) {
    WriteBytes(folder / "a.csv", "x,y\n");
    model.SetConvertInfo({folder.File("a.csv"), u"t.csv", 1, {0, 1}, u""});
    model.ResetForm();
    EXPECT_EQ(model.GetConvertInfo(), (TConvertInfo{u"", u"", 0, {}, u""}));
    EXPECT_EQ(model.Columns().size(), 2u);
}

TEST_F(FormMainModelTest, SaveToCsvReportsTheOutcome) {
    WriteBytes(folder / "a.csv", "x,y\n");
    model.SetConvertInfo({folder.File("a.csv"), folder.File("out.csv"), 1, {1}, u""});
    EXPECT_TRUE(model.SaveToCsv());
    EXPECT_EQ(ReadBytes(folder / "out.csv"), "x,\"y\"\r\n");
    // The busy cursor is still up while the success box is open.
    EXPECT_EQ(ui.MaxCursorsWhileShowing, 1);

    ui.MaxCursorsWhileShowing = 0;
    model.SetSourceFileName(folder.File("gone.csv"));
    EXPECT_FALSE(model.SaveToCsv());
    EXPECT_THAT(ui.Shown,
                ElementsAre("info: 保存しました。", "warning: 変換元CSVファイルが見つかりません。"));
    // ... but it is gone before a failure is shown.
    EXPECT_EQ(ui.MaxCursorsWhileShowing, 0);
    EXPECT_EQ(ui.Cursors, 0);
}

}  // namespace
}  // namespace quillmark
