#include "gui/FormMain.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include "base/Exception.h"
#include "gui/Application.h"
#include "gui/CursorHourGlass.h"
#include "gui/FakeDialogs.h"
#include "gui/FileNameEdit.h"
#include "gui/QtString.h"
#include "model/RecordingUserInterface.h"
#include "support/TestFiles.h"

// Runs offscreen with LC_ALL=ja_JP.UTF-8.
namespace quillmark {
namespace {

using test::ReadBytes;
using test::WriteBytes;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

QString Q(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

class FormMainTest : public ::testing::Test {
  protected:
    FormMainTest() { WriteBytes(folder / "in.csv", "名前,日付,金額\r\n山田,1/2,\"1,000\"\r\n"); }

    QAction* Action(const char* name) const { return form.findChild<QAction*>(name); }
    QListWidget* List() const { return form.findChild<QListWidget*>("CheckListBoxCsvCol"); }
    TFileNameEdit* Edit(const char* name) const { return form.findChild<TFileNameEdit*>(name); }
    QComboBox* Combo() const { return form.findChild<QComboBox*>("ComboBoxEncoding"); }

    std::vector<std::string> Labels() const {
        std::vector<std::string> labels;
        for (int i = 0; i < List()->count(); ++i)
            labels.push_back((List()->item(i)->checkState() == Qt::Checked ? "[x] " : "[ ] ") +
                             List()->item(i)->text().toStdString());
        return labels;
    }

    void ShowActive() {
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    }

    test::TTempDir folder;
    test::TRecordingUserInterface ui;
    test::TFakeDialogs dialogs;
    TFormMain form{ui, dialogs};
};

struct ActionRow {
    const char* name;
    const char* category;
    const char* caption;
    const char* hint;
    const char* shortcut;
    int image;
};

TEST_F(FormMainTest, ActionsCarryTheirCaptionsHintsAndShortcuts) {
    const ActionRow rows[] = {
        {"ActionFileNew", "ファイル", "新規作成", "新しい設定を作成します。", "Ctrl+N", 6},
        {"ActionOpenFromIni", "ファイル", "設定ファイルを開く", "設定ファイルを開きます。", "Ctrl+O", 5},
        {"ActionSaveToIni", "ファイル", "設定ファイルを保存する", "設定ファイルを保存します。", "Ctrl+S", 2},
        {"ActionSaveToCsv", "ファイル", "CSVファイルを保存する", "CSVファイルを保存します。", "Ctrl+X", 1},
        {"ActionSaveToBat", "ファイル", "バッチファイルを保存する", "バッチファイルを保存します。", "Ctrl+W",
         0},
        {"ActionCsvColCheckAll", "列", "すべてチェック", "すべての列をチェックします。", "Ctrl+A", 3},
        {"ActionCsvColUncheck", "列", "チェックを外す", "", "Ctrl+Alt+A", 4},
        {"ActionHelp", "", "ヘルプ", "ヘルプを表示します", "", 7},
    };
    for (const ActionRow& row : rows) {
        const QAction* action = Action(row.name);
        ASSERT_NE(action, nullptr) << row.name;
        EXPECT_EQ(action->property("category").toString().toStdString(), row.category) << row.name;
        EXPECT_EQ(action->text().toStdString(), row.caption);
        EXPECT_EQ(action->statusTip().toStdString(), row.hint);
        EXPECT_EQ(action->shortcut().toString(QKeySequence::PortableText).toStdString(), row.shortcut);
        EXPECT_EQ(action->property("imageIndex").toInt(), row.image);
        EXPECT_FALSE(action->icon().isNull());
    }

    std::vector<std::string> toolBar;
    for (const QAction* action : form.findChild<QToolBar*>("ToolBar1")->actions())
        toolBar.push_back(action->isSeparator() ? "|" : action->objectName().toStdString());
    EXPECT_THAT(toolBar, ElementsAre("ActionFileNew", "ActionOpenFromIni", "ActionSaveToIni", "|",
                                     "ActionSaveToCsv", "ActionSaveToBat", "|", "ActionCsvColCheckAll",
                                     "ActionCsvColUncheck", "|", "ActionHelp"));
    auto* bar = form.findChild<QToolBar*>("ToolBar1");
    EXPECT_EQ(bar->iconSize(), QSize(48, 48));
    for (QAction* action : bar->actions())
        if (!action->isSeparator()) {
            EXPECT_EQ(bar->widgetForAction(action)->size(), QSize(55, 54));
        }
}

TEST_F(FormMainTest, StartsEmptyWithAnsiAndLabelsFocusTheirBoxes) {
    EXPECT_EQ(form.windowTitle(), "Quillmark");
    EXPECT_EQ(Edit("EditSourceFile")->text(), "");
    EXPECT_EQ(Combo()->currentText(), "ANSI");
    EXPECT_EQ(Combo()->count(), 2);
    EXPECT_EQ(List()->count(), 0);
    EXPECT_EQ(form.findChild<QLabel*>("LabelSourceFile")->text(), "変換元CSVファイルの保存場所(&S)");
    EXPECT_EQ(form.findChild<QLabel*>("LabelSourceFile")->buddy(), Edit("EditSourceFile")->LineEdit());
    EXPECT_EQ(form.findChild<QLabel*>("LabelTargetFile")->buddy(), Edit("EditTargetFile")->LineEdit());
    EXPECT_EQ(form.findChild<QLabel*>("LabelEncoding")->buddy(), Combo());
}

TEST_F(FormMainTest, BrowsingTheSourceBuildsTheColumnList) {
    dialogs.Answers.push_back(Q(folder / "in.csv"));
    Edit("EditSourceFile")->Browse();
    EXPECT_THAT(Labels(), ElementsAre("[ ] A列（名前）", "[ ] B列（日付）", "[ ] C列（金額）"));
    EXPECT_EQ(dialogs.Asked.at(0).Title, "変換元CSVファイル");
    EXPECT_EQ(dialogs.Asked.at(0).DefaultSuffix, "csv");

    // Cancelling rebuilds the list from the name in the box: the ticks go.
    List()->item(1)->setCheckState(Qt::Checked);
    EXPECT_EQ(form.Model().GetQuoteColumns(), TColumnSet{1});
    Edit("EditSourceFile")->Browse();
    EXPECT_THAT(Labels(), ElementsAre("[ ] A列（名前）", "[ ] B列（日付）", "[ ] C列（金額）"));

    // ... and empties it when the box names nothing.
    Edit("EditSourceFile")->LineEdit()->setText("");
    Edit("EditSourceFile")->Browse();
    EXPECT_EQ(List()->count(), 0);
    EXPECT_THAT(ui.Shown, IsEmpty());
}

TEST_F(FormMainTest, OpeningSettingsShowsTheirValuesAndTicks) {
    WriteBytes(folder / "s.qmk", "[FILE]\nSOURCE=" + (folder / "in.csv").string() +
                                     "\nTARGET=t.csv\nENCODING=1\n"
                                     "[CSV]\nCOL=0,2\n");
    dialogs.Answers.push_back(Q(folder / "s.qmk"));
    Action("ActionOpenFromIni")->trigger();
    EXPECT_THAT(Labels(), ElementsAre("[x] A列（名前）", "[ ] B列（日付）", "[x] C列（金額）"));
    EXPECT_EQ(Edit("EditTargetFile")->text(), "t.csv");
    EXPECT_EQ(Combo()->currentText(), "UTF-8");

    // The next settings dialog starts where this file is.
    Action("ActionSaveToIni")->trigger();
    EXPECT_EQ(dialogs.Asked.at(1).Folder, Q(folder.Path()));
    EXPECT_EQ(dialogs.Asked.at(1).FileName, "s.qmk");
    EXPECT_EQ(dialogs.Asked.at(1).DefaultSuffix, "QMK");
}

TEST_F(FormMainTest, EditsGoIntoTheModel) {
    Edit("EditTargetFile")->LineEdit()->setText("typed.csv");
    Combo()->setCurrentIndex(1);
    EXPECT_EQ(form.Model().GetConvertInfo(), (TConvertInfo{u"", u"typed.csv", 1, {}, u""}));
}

TEST_F(FormMainTest, ShortcutsWinOverThePathBoxes) {
    ShowActive();
    dialogs.Answers.push_back(Q(folder / "in.csv"));
    Edit("EditSourceFile")->Browse();
    Edit("EditTargetFile")->LineEdit()->setText(Q(folder / "out.csv"));
    QLineEdit* box = Edit("EditTargetFile")->LineEdit();
    box->setFocus();
    box->selectAll();

    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    EXPECT_THAT(Labels(), ElementsAre("[x] A列（名前）", "[x] B列（日付）", "[x] C列（金額）"));
    QTest::keyClick(box, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(box->text(), Q(folder / "out.csv"));  // not cut
    EXPECT_THAT(ui.Shown, ElementsAre("info: 保存しました。"));
    EXPECT_EQ(ReadBytes(folder / "out.csv"),
              "\"\x96\xBC\x91\x4F\",\"\x93\xFA\x95\x74\",\"\x8B\xE0\x8A\x7A\"\r\n"
              "\"\x8E\x52\x93\x63\",\"1/2\",\"1,000\"\r\n");
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_THAT(Labels(), ElementsAre("[ ] A列（名前）", "[ ] B列（日付）", "[ ] C列（金額）"));
}

TEST_F(FormMainTest, NewEmptiesTheBoxesAndKeepsTheEntries) {
    dialogs.Answers.push_back(Q(folder / "in.csv"));
    Edit("EditSourceFile")->Browse();
    Action("ActionCsvColCheckAll")->trigger();
    Combo()->setCurrentIndex(1);
    Action("ActionFileNew")->trigger();
    EXPECT_EQ(Edit("EditSourceFile")->text(), "");
    EXPECT_EQ(Combo()->currentIndex(), 0);
    EXPECT_THAT(Labels(), ElementsAre("[ ] A列（名前）", "[ ] B列（日付）", "[ ] C列（金額）"));
}

void Drop(QWidget* target, const std::vector<QString>& files) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& file : files)
        urls.append(QUrl::fromLocalFile(file));
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
}

TEST_F(FormMainTest, DropsOnTheWindowOpenTheFirstSettingsFile) {
    WriteBytes(folder / "s.INI", "[FILE]\nTARGET=from-ini.csv\n");
    Edit("EditSourceFile")->LineEdit()->setText("kept.csv");
    Drop(&form, {Q(folder / "in.csv"), Q(folder / "gone.qmk"), Q(folder / "s.INI")});
    EXPECT_EQ(Edit("EditTargetFile")->text(), "from-ini.csv");
    EXPECT_EQ(Edit("EditSourceFile")->text(), "kept.csv");
    EXPECT_EQ(form.Model().SettingsFileName(), FromQString(Q(folder / "s.INI")));
}

TEST_F(FormMainTest, DropOnAPathBoxOnlySetsItsText) {
    Drop(Edit("EditSourceFile"), {Q(folder / "in.csv")});
    EXPECT_EQ(Edit("EditSourceFile")->text(), Q(folder / "in.csv"));
    EXPECT_EQ(List()->count(), 0);
    EXPECT_EQ(form.Model().SourceFileName(), FromQString(Q(folder / "in.csv")));
}

TEST_F(FormMainTest, FirstIdleAppliesTheCommandLineOnce) {
    form.SetArguments({u"/source:" + FromQString(Q(folder / "in.csv")), u"/quote:1"});
    form.FirstIdle();
    EXPECT_THAT(Labels(), ElementsAre("[ ] A列（名前）", "[x] B列（日付）", "[ ] C列（金額）"));
    form.SetArguments({u"/quote:0"});
    form.FirstIdle();
    EXPECT_EQ(form.Model().GetQuoteColumns(), TColumnSet{1});
    EXPECT_FALSE(form.AutoRunFailed());
}

TEST_F(FormMainTest, AutoRunClosesTheWindowWhenItSucceeds) {
    ShowActive();
    form.SetArguments({u"/source:" + FromQString(Q(folder / "in.csv")),
                       u"/target:" + FromQString(Q(folder / "out.csv")), u"/quote:0", u"/encoding:1",
                       u"/auto"});
    form.FirstIdle();
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.AutoRunFailed());
    EXPECT_EQ(ReadBytes(folder / "out.csv"), "\"名前\",日付,金額\r\n\"山田\",1/2,1,000\r\n");
}

TEST_F(FormMainTest, FailedAutoRunLeavesTheWindowOpenAndFails) {
    ShowActive();
    form.SetArguments({u"/auto"});
    form.FirstIdle();
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.AutoRunFailed());
    EXPECT_THAT(ui.Shown, ElementsAre("warning: 変換元CSVファイルが見つかりません。"));
}

TEST_F(FormMainTest, BadCommandLineEscapesToTheApplication) {
    form.SetArguments({u"a|b", u"/auto"});
    EXPECT_THROW(form.FirstIdle(), EArgumentException);
    EXPECT_TRUE(form.AutoRunFailed());
    EXPECT_FALSE(form.IsBusy());
}

TEST_F(FormMainTest, ActionsAreBlockedWhileAConversionRuns) {
    dialogs.Answers.push_back(Q(folder / "in.csv"));
    Edit("EditSourceFile")->Browse();
    Edit("EditTargetFile")->LineEdit()->setText(Q(folder / "out.csv"));
    bool enabledWhileShowing = true;
    ui.WhileShowing = [&] { enabledWhileShowing = Action("ActionSaveToCsv")->isEnabled(); };
    Action("ActionSaveToCsv")->trigger();
    EXPECT_THAT(ui.Shown, ElementsAre("info: 保存しました。"));
    EXPECT_FALSE(enabledWhileShowing);
    EXPECT_TRUE(Action("ActionSaveToCsv")->isEnabled());
    EXPECT_FALSE(form.IsBusy());
}

TEST_F(FormMainTest, CancelledConversionLeavesTheTarget) {
    dialogs.Answers.push_back(Q(folder / "in.csv"));
    Edit("EditSourceFile")->Browse();
    Edit("EditTargetFile")->LineEdit()->setText(Q(folder / "out.csv"));
    WriteBytes(folder / "out.csv", "precious");
    // Delivered while the conversion reports its progress.
    QMetaObject::invokeMethod(&form, &TFormMain::CancelConversion, Qt::QueuedConnection);
    Action("ActionSaveToCsv")->trigger();
    EXPECT_THAT(ui.Shown, IsEmpty());
    EXPECT_EQ(ReadBytes(folder / "out.csv"), "precious");
    EXPECT_EQ(folder.Listing(), "in.csv out.csv");
    EXPECT_FALSE(form.IsBusy());
}

// Closing the window during a run cancels it; the window closes once the
// run has stopped, and the target stays as it was.
TEST_F(FormMainTest, ClosingTheWindowDuringAConversionCancelsItFirst) {
    ShowActive();
    dialogs.Answers.push_back(Q(folder / "in.csv"));
    Edit("EditSourceFile")->Browse();
    Edit("EditTargetFile")->LineEdit()->setText(Q(folder / "out.csv"));
    WriteBytes(folder / "out.csv", "precious");
    bool visibleWhileRunning = false;
    QMetaObject::invokeMethod(
        &form,
        [&] {
            form.close();
            visibleWhileRunning = form.isVisible();
        },
        Qt::QueuedConnection);
    Action("ActionSaveToCsv")->trigger();
    EXPECT_TRUE(visibleWhileRunning);
    EXPECT_THAT(ui.Shown, IsEmpty());
    EXPECT_EQ(ReadBytes(folder / "out.csv"), "precious");
    EXPECT_EQ(folder.Listing(), "in.csv out.csv");
    QTest::qWait(50);
    EXPECT_FALSE(form.isVisible());
}

TEST(CursorHourGlassTest, NestedCursorsUnwindInOrder) {
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    TCursorHourGlassRef outer = CreateCursorHourGlass();
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    TCursorHourGlassRef copy = outer;
    {
        TCursorHourGlassRef inner = CreateCursorHourGlass(Qt::BusyCursor);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BusyCursor);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    outer.reset();
    EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);  // the copy still holds it
    copy.reset();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(ApplicationTest, ErrorsNoHandlerCaughtAreShown) {
    auto* application = static_cast<TApplication*>(QCoreApplication::instance());
    std::vector<std::u16string> shown;
    application->SetExceptionHandler([&](std::u16string_view message) { shown.emplace_back(message); });
    QTimer::singleShot(0, [] { throw EArgumentException(u"ファイル名に無効な文字が含まれています"); });
    QTimer::singleShot(0, [] { throw std::runtime_error("plain"); });
    QTest::qWait(20);
    application->SetExceptionHandler(nullptr);
    EXPECT_THAT(shown, ElementsAre(u"ファイル名に無効な文字が含まれています", u"plain"));
}

}  // namespace
}  // namespace quillmark
