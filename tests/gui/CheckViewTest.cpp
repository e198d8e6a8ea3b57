// The window's status text, column marks and preview of the target.
#include "gui/CheckView.h"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStatusBar>
#include <QTableView>
#include <QToolButton>

#include "base/Utf.h"
#include "gui/FakeDialogs.h"
#include "gui/FileNameEdit.h"
#include "gui/FormMain.h"
#include "gui/PreviewTable.h"
#include "gui/QtString.h"
#include "model/RecordingUserInterface.h"
#include "support/TestFiles.h"

// Runs offscreen with LC_ALL=ja_JP.UTF-8: ANSI is code page 932.
namespace quillmark {
namespace {

using test::WriteBytes;

QString Q(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

class CheckViewTest : public ::testing::Test {
  protected:
    CheckViewTest() {
        WriteBytes(
            folder / "in.csv",
            Utf16ToUtf8(
                u"番号,氏名,備考\r\n1,\"山田, 太郎\",𠮷野家😀\r\n2,\"佐藤\n花子\",\"\"\"至急\"\"\"\r\n"));
        WriteBytes(folder / "s.qmk",
                   "[FILE]\nSOURCE=" + (folder / "in.csv").string() + "\nENCODING=0\n[CSV]\nCOL=0\n");
        dialogs.Answers.push_back(Q(folder / "s.qmk"));
        form.findChild<QAction*>("ActionOpenFromIni")->trigger();
    }

    QString Status() const { return form.findChild<QLabel*>("LabelSourceStatus")->text(); }
    QListWidgetItem* Entry(int row) const {
        return form.findChild<QListWidget*>("CheckListBoxCsvCol")->item(row);
    }
    QAbstractItemModel* Preview() const { return form.findChild<QTableView*>("TablePreview")->model(); }
    QVariant Cell(int row, int column, int role = Qt::DisplayRole) const {
        return Preview()->data(Preview()->index(row, column), role);
    }
    bool LossyMarked(int row, int column) const {
        return !Cell(row, column, TPreviewModel::kLossyRole).toList().isEmpty();
    }

    test::TTempDir folder;
    test::TRecordingUserInterface ui;
    test::TFakeDialogs dialogs;
    TFormMain form{ui, dialogs};
};

TEST_F(CheckViewTest, SettingsFileShowsStatusMarksAndPreview) {
    EXPECT_EQ(Status(), "文字コード: UTF-8 (65001)　行数: 3　列数: 3");

    EXPECT_EQ(Entry(0)->data(Qt::UserRole).toULongLong(), 0u);
    EXPECT_EQ(Entry(0)->toolTip(), "");
    EXPECT_EQ(Entry(1)->data(Qt::UserRole).toULongLong(), 2u);
    EXPECT_FALSE(Entry(1)->icon().isNull());
    EXPECT_EQ(Entry(1)->toolTip(), "カンマ・改行を含むフィールド: 2");
    EXPECT_EQ(Entry(2)->toolTip(), "カンマ・改行を含むフィールド: 1");

    ASSERT_EQ(Preview()->rowCount(), 3);
    ASSERT_EQ(Preview()->columnCount(), 3);
    EXPECT_EQ(Preview()->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), "C");
    EXPECT_EQ(Cell(1, 0).toString(), "\"1\"") << "ticked: quoted";
    EXPECT_EQ(Cell(1, 1).toString(), "山田, 太郎");
    EXPECT_EQ(Cell(2, 1).toString(), "佐藤↵花子") << "a line feed shown as a sign";
    const QVariant quoted = Cell(1, 0, Qt::BackgroundRole), breaking = Cell(1, 1, Qt::BackgroundRole);
    EXPECT_TRUE(quoted.isValid());
    EXPECT_TRUE(breaking.isValid());
    EXPECT_NE(quoted, breaking);
    EXPECT_FALSE(Cell(0, 1, Qt::BackgroundRole).isValid()) << "neither ticked nor breaking";
    EXPECT_EQ(Cell(1, 2).toString(), "??野家??");
    EXPECT_TRUE(LossyMarked(1, 2));
    EXPECT_FALSE(LossyMarked(1, 1));
}

TEST_F(CheckViewTest, PreviewFollowsTicksAndEncoding) {
    Entry(1)->setCheckState(Qt::Checked);
    EXPECT_EQ(form.Model().GetQuoteColumns(), (TColumnSet{0, 1}));
    EXPECT_EQ(Cell(1, 1).toString(), "\"山田, 太郎\"");
    EXPECT_EQ(Cell(1, 1, Qt::BackgroundRole), Cell(1, 0, Qt::BackgroundRole)) << "shaded as ticked";
    EXPECT_EQ(Entry(1)->toolTip(), "カンマ・改行を含むフィールド: 2") << "the mark says what unticking does";
    Entry(2)->setCheckState(Qt::Checked);
    EXPECT_EQ(Cell(2, 2).toString(), "\"\"\"至急\"\"\"");

    form.findChild<QComboBox*>("ComboBoxEncoding")->setCurrentIndex(1);
    EXPECT_EQ(Cell(1, 2).toString(), "\"𠮷野家😀\"");
    EXPECT_FALSE(LossyMarked(1, 2));

    Entry(1)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(Cell(1, 1).toString(), "山田, 太郎");
    EXPECT_NE(Cell(1, 1, Qt::BackgroundRole), Cell(1, 0, Qt::BackgroundRole));
}

TEST_F(CheckViewTest, ConversionReportsRowsSecondsAndReplacedCharacters) {
    form.findChild<TFileNameEdit*>("EditTargetFile")->LineEdit()->setText(Q(folder / "out.csv"));
    form.findChild<QAction*>("ActionSaveToCsv")->trigger();
    ASSERT_EQ(ui.Shown, (std::vector<std::string>{"info: 保存しました。"}));
    EXPECT_TRUE(Status().startsWith("3 行を書き込みました（")) << Status().toStdString();
    EXPECT_TRUE(Status().endsWith(" 秒、置き換えた文字: 2）")) << Status().toStdString();
}

TEST_F(CheckViewTest, HintsHideTheStatusTextAndThePreviewFolds) {
    form.show();
    QLabel* status = form.findChild<QLabel*>("LabelSourceStatus");
    EXPECT_TRUE(status->isVisible());
    form.statusBar()->showMessage("hint");
    EXPECT_FALSE(status->isVisible());
    form.statusBar()->clearMessage();
    EXPECT_TRUE(status->isVisible());

    QTableView* table = form.findChild<QTableView*>("TablePreview");
    EXPECT_TRUE(table->isVisible());
    form.findChild<QToolButton*>("ButtonPreview")->click();
    EXPECT_FALSE(table->isVisible());
    form.findChild<QToolButton*>("ButtonPreview")->click();
    EXPECT_TRUE(table->isVisible());
}

TEST_F(CheckViewTest, NoSourceNoReport) {
    form.findChild<QAction*>("ActionFileNew")->trigger();
    dialogs.Answers.push_back(Q(folder / "gone.csv"));
    form.findChild<TFileNameEdit*>("EditSourceFile")->Browse();
    EXPECT_EQ(Status(), "");
    EXPECT_EQ(Preview()->rowCount(), 0);
}

TEST(CheckViewAutoRun, ConvertingAndClosingReadsNoReport) {
    test::TTempDir folder;
    WriteBytes(folder / "in.csv", "a,\"b,c\"\r\n");
    test::TRecordingUserInterface ui;
    test::TFakeDialogs dialogs;
    TFormMain form{ui, dialogs};
    const std::u16string source = u"/source:" + FromQString(Q(folder / "in.csv"));
    form.SetArguments({source, u"/target:" + FromQString(Q(folder / "out.csv")), u"/auto"});
    form.FirstIdle();
    EXPECT_FALSE(form.AutoRunFailed());
    EXPECT_FALSE(form.CheckView().Report().Check());

    TFormMain shown{ui, dialogs};
    shown.SetArguments({source});
    shown.FirstIdle();
    ASSERT_TRUE(shown.CheckView().Report().Check());
    EXPECT_EQ(shown.CheckView().Report().Check()->Columns.at(1).BreakingFields, 1u);
}

}  // namespace
}  // namespace quillmark
