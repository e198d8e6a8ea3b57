// The main window as a keyboard user meets it: real key events sent to the
// shown window (offscreen), and what the widgets show at each moment.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHelpEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <map>

#include "gui/FakeDialogs.h"
#include "gui/FileNameEdit.h"
#include "gui/FormAboutBox.h"
#include "gui/FormMain.h"
#include "gui/QtString.h"
#include "model/RecordingUserInterface.h"
#include "support/TestFiles.h"

namespace quillmark {
namespace {

using test::ReadBytes;
using test::WriteBytes;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

QString Q(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

// Also records what the window showed each time a busy cursor was asked for,
// that is when an operation began to read or write.
class TSnapshotUserInterface final : public test::TRecordingUserInterface {
  public:
    TCursorHourGlassRef CreateCursorHourGlass() override {
        if (OnCursor) OnCursor();
        return TRecordingUserInterface::CreateCursorHourGlass();
    }
    std::function<void()> OnCursor;
};

class FormMainKeyboardTest : public ::testing::Test {
  protected:
    FormMainKeyboardTest() { WriteBytes(folder / "in.csv", "名前,日付,金額\r\n山田,1/2,\"1,000\"\r\n"); }

    QListWidget* List() const { return form.findChild<QListWidget*>("CheckListBoxCsvCol"); }
    TFileNameEdit* Edit(const char* name) const { return form.findChild<TFileNameEdit*>(name); }
    QComboBox* Combo() const { return form.findChild<QComboBox*>("ComboBoxEncoding"); }
    QAction* Action(const char* name) const { return form.findChild<QAction*>(name); }

    void ShowActive() {
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    }

    // A key pressed as the user presses it: to whatever has the focus, or
    // to the active window.
    static void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget() != nullptr ? QApplication::focusWidget()
                                                                 : QApplication::activeWindow();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, key, modifiers);
    }

    std::string FocusName() const {
        const std::map<const QWidget*, std::string> names = {
            {List(), "list"},
            {Edit("EditSourceFile")->LineEdit(), "source"},
            {Edit("EditSourceFile")->BrowseButton(), "source browse"},
            {Edit("EditTargetFile")->LineEdit(), "target"},
            {Edit("EditTargetFile")->BrowseButton(), "target browse"},
            {Combo(), "encoding"},
        };
        const auto found = names.find(QApplication::focusWidget());
        if (found != names.end()) return found->second;
        return QApplication::focusWidget() == nullptr
                   ? "nothing"
                   : QApplication::focusWidget()->metaObject()->className();
    }

    std::vector<std::string> Labels() const {
        std::vector<std::string> labels;
        for (int i = 0; i < List()->count(); ++i)
            labels.push_back((List()->item(i)->checkState() == Qt::Checked ? "[x] " : "[ ] ") +
                             List()->item(i)->text().toStdString());
        return labels;
    }

    test::TTempDir folder;
    TSnapshotUserInterface ui;
    test::TFakeDialogs dialogs;
    TFormMain form{ui, dialogs};
};

TEST_F(FormMainKeyboardTest, AltSAndAltTSelectThePathFromAnywhere) {
    ShowActive();
    Edit("EditSourceFile")->LineEdit()->setText("a.csv");
    Edit("EditTargetFile")->LineEdit()->setText("b.csv");
    Combo()->setFocus();

    Press(Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(FocusName(), "source");
    EXPECT_EQ(Edit("EditSourceFile")->LineEdit()->selectedText(), "a.csv");

    List()->setFocus();
    Press(Qt::Key_T, Qt::AltModifier);
    EXPECT_EQ(FocusName(), "target");
    EXPECT_EQ(Edit("EditTargetFile")->LineEdit()->selectedText(), "b.csv");

    Press(Qt::Key_E, Qt::AltModifier);
    EXPECT_EQ(FocusName(), "encoding");
    Press(Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(FocusName(), "source");

    // Also from inside the box itself: the text is selected again.
    Press(Qt::Key_End);
    EXPECT_EQ(Edit("EditSourceFile")->LineEdit()->selectedText(), "");
    Press(Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(Edit("EditSourceFile")->LineEdit()->selectedText(), "a.csv");
}

TEST_F(FormMainKeyboardTest, TabVisitsTheListThenThePanelAndSpaceTicks) {
    ShowActive();
    dialogs.Answers.push_back(Q(folder / "in.csv"));
    List()->setFocus();
    std::vector<std::string> visited = {FocusName()};
    for (int i = 0; i < 6; ++i) {
        Press(Qt::Key_Tab);
        visited.push_back(FocusName());
    }
    EXPECT_THAT(visited, ElementsAre("list", "source", "source browse", "target", "target browse", "encoding",
                                     "list"));
    Press(Qt::Key_Backtab);
    EXPECT_EQ(FocusName(), "encoding");

    // The source's browse button, reached by keyboard, opens its dialog.
    Edit("EditSourceFile")->LineEdit()->setFocus();
    Press(Qt::Key_Tab);
    Press(Qt::Key_Space);
    EXPECT_EQ(dialogs.Asked.size(), 1u);
    ASSERT_EQ(List()->count(), 3);

    Edit("EditTargetFile")->LineEdit()->setFocus();
    Press(Qt::Key_Backtab);
    Press(Qt::Key_Backtab);
    Press(Qt::Key_Backtab);
    EXPECT_EQ(FocusName(), "list");
    Press(Qt::Key_Space);
    Press(Qt::Key_Down);
    Press(Qt::Key_Down);
    Press(Qt::Key_Space);
    EXPECT_THAT(Labels(), ElementsAre("[x] A列（名前）", "[ ] B列（日付）", "[x] C列（金額）"));
    EXPECT_EQ(form.Model().GetQuoteColumns(), (TColumnSet{0, 2}));
    Press(Qt::Key_Space);
    EXPECT_EQ(form.Model().GetQuoteColumns(), (TColumnSet{0}));
}

TEST_F(FormMainKeyboardTest, EscCancelsTheRunningConversion) {
    ShowActive();
    WriteBytes(folder / "out.csv", "precious");
    form.SetArguments({u"/source:" + FromQString(Q(folder / "in.csv")),
                       u"/target:" + FromQString(Q(folder / "out.csv")), u"/quote:0"});
    form.FirstIdle();
    Edit("EditTargetFile")->LineEdit()->setFocus();
    // Pressed while the conversion reports its progress.
    QMetaObject::invokeMethod(
        qApp, [] { Press(Qt::Key_Escape); }, Qt::QueuedConnection);
    Press(Qt::Key_X, Qt::ControlModifier);
    EXPECT_THAT(ui.Shown, IsEmpty());
    EXPECT_EQ(ReadBytes(folder / "out.csv"), "precious");
    EXPECT_EQ(folder.Listing(), "in.csv out.csv");
    EXPECT_FALSE(form.IsBusy());
    EXPECT_EQ(FocusName(), "target");  // where the keyboard was

    // Esc outside a run changes nothing; the next run goes through.
    Press(Qt::Key_Escape);
    Press(Qt::Key_X, Qt::ControlModifier);
    EXPECT_THAT(ui.Shown, ElementsAre("info: 保存しました。"));
    EXPECT_EQ(ReadBytes(folder / "out.csv"),
              "\"\x96\xBC\x91\x4F\",\x93\xFA\x95\x74,\x8B\xE0\x8A\x7A\r\n\"\x8E\x52\x93\x63\",1/2,1,000\r\n");
}

TEST_F(FormMainKeyboardTest, EscCancelsReadingTheColumnListOfTheCommandLine) {
    ShowActive();
    form.SetArguments({u"/source:" + FromQString(Q(folder / "in.csv")),
                       u"/target:" + FromQString(Q(folder / "out.csv")), u"/quote:0", u"/auto"});
    QMetaObject::invokeMethod(
        qApp, [] { Press(Qt::Key_Escape); }, Qt::QueuedConnection);
    EXPECT_NO_THROW(form.FirstIdle());
    EXPECT_THAT(ui.Shown, IsEmpty());
    EXPECT_EQ(List()->count(), 0);
    EXPECT_TRUE(form.isVisible());  // nothing converted, the window stays
    EXPECT_TRUE(form.AutoRunFailed());
    EXPECT_EQ(folder.Listing(), "in.csv");
    EXPECT_FALSE(form.IsBusy());
}

TEST_F(FormMainKeyboardTest, EscCancelsReadingTheColumnListOfASettingsFile) {
    ShowActive();
    WriteBytes(folder / "s.qmk", "[FILE]\nSOURCE=" + (folder / "in.csv").string() + "\nTARGET=t.csv\n");
    form.SetArguments({FromQString(Q(folder / "s.qmk")), u"/encoding:1", u"/auto"});
    QMetaObject::invokeMethod(
        qApp, [] { Press(Qt::Key_Escape); }, Qt::QueuedConnection);
    EXPECT_NO_THROW(form.FirstIdle());
    EXPECT_THAT(ui.Shown, IsEmpty());           // a cancel is no failure to report
    EXPECT_EQ(Combo()->currentText(), "ANSI");  // the switches were not laid over it
    EXPECT_TRUE(form.AutoRunFailed());
    EXPECT_EQ(folder.Listing(), "in.csv s.qmk");
}

TEST_F(FormMainKeyboardTest, ProgressIsHiddenBeforeAnyMessage) {
    ShowActive();
    auto* progress = form.findChild<QProgressBar*>("ProgressBar");
    auto* cancel = form.findChild<QPushButton*>("ButtonCancel");
    std::vector<std::string> whileShowing;
    ui.WhileShowing = [&] {
        whileShowing.push_back(std::string(progress->isVisible() ? "bar" : "-") +
                               (cancel->isVisible() ? " 中止" : " -"));
    };
    form.SetArguments({u"/source:" + FromQString(Q(folder / "in.csv")),
                       u"/target:" + FromQString(Q(folder / "out.csv")), u"/quote:0"});
    form.FirstIdle();
    Press(Qt::Key_X, Qt::ControlModifier);  // done
    Edit("EditTargetFile")->LineEdit()->setText(Q(folder / "no-such-folder" / "out.csv"));
    Press(Qt::Key_X, Qt::ControlModifier);  // failed
    ASSERT_EQ(ui.Shown.size(), 2u);
    EXPECT_EQ(ui.Shown[0], "info: 保存しました。");
    EXPECT_THAT(whileShowing, ElementsAre("- -", "- -"));
}

TEST_F(FormMainKeyboardTest, AChosenSourceStandsInItsBoxWhileItsColumnsLoad) {
    ShowActive();
    WriteBytes(folder / "s.qmk", "[FILE]\nSOURCE=" + (folder / "in.csv").string() + "\n");
    WriteBytes(folder / "other.csv", "x,y\r\n");
    std::vector<std::string> seen;
    ui.OnCursor = [&] {
        seen.push_back(QFileInfo(Edit("EditSourceFile")->text()).fileName().toStdString() + " " +
                       std::to_string(List()->count()));
    };

    // From the command line.
    form.SetArguments({u"/source:" + FromQString(Q(folder / "other.csv"))});
    form.FirstIdle();
    ASSERT_FALSE(seen.empty());
    // The last look is the source report's, once the columns are in.
    EXPECT_THAT(seen, Contains("other.csv 0"));
    EXPECT_EQ(seen.back(), "other.csv 2");
    EXPECT_EQ(List()->count(), 2);

    // From the browse dialog, reached by keyboard.
    seen.clear();
    dialogs.Answers.push_back(Q(folder / "in.csv"));
    Edit("EditSourceFile")->LineEdit()->setFocus();
    Press(Qt::Key_Tab);
    Press(Qt::Key_Space);
    EXPECT_THAT(seen, ElementsAre("in.csv 0", "in.csv 3"));

    // From a settings file opened with Ctrl+O.
    Edit("EditSourceFile")->LineEdit()->setText(Q(folder / "other.csv"));
    seen.clear();
    dialogs.Answers.push_back(Q(folder / "s.qmk"));
    Press(Qt::Key_O, Qt::ControlModifier);
    ASSERT_FALSE(seen.empty());
    EXPECT_THAT(seen, Contains("in.csv 0"));
    EXPECT_EQ(List()->count(), 3);
}

TEST_F(FormMainKeyboardTest, AFailedAutoRunWarnsOverTheAppliedSettings) {
    ShowActive();
    WriteBytes(folder / "s.qmk",
               "[FILE]\nSOURCE=" + (folder / "missing.csv").string() + "\nTARGET=t.csv\nENCODING=1\n");
    std::string whileShowing;
    ui.WhileShowing = [&] {
        whileShowing = QFileInfo(Edit("EditSourceFile")->text()).fileName().toStdString() + " | " +
                       Edit("EditTargetFile")->text().toStdString() + " | " +
                       Combo()->currentText().toStdString();
    };
    form.SetArguments({FromQString(Q(folder / "s.qmk")), u"/auto"});
    form.FirstIdle();
    EXPECT_THAT(ui.Shown, ElementsAre("warning: 変換元CSVファイルが見つかりません。"));
    EXPECT_EQ(whileShowing, "missing.csv | t.csv | UTF-8");
}

TEST_F(FormMainKeyboardTest, ASettingsFileThatCannotBeReadWarnsOverTheWindowAsItIs) {
    ShowActive();
    test::TUnixSocket socket(folder / "locked.qmk");
    Edit("EditTargetFile")->LineEdit()->setText("kept.csv");
    std::string whileShowing;
    ui.WhileShowing = [&] { whileShowing = Edit("EditTargetFile")->text().toStdString(); };
    form.SetArguments({FromQString(Q(folder / "locked.qmk")), u"/encoding:1"});
    form.FirstIdle();
    ASSERT_EQ(ui.Shown.size(), 1u);
    EXPECT_EQ(whileShowing, "kept.csv");
    EXPECT_EQ(Combo()->currentText(), "UTF-8");
}

TEST_F(FormMainKeyboardTest, TheWindowAndTheAboutBoxOpenCentredOnTheScreen) {
    ShowActive();
    const QPoint centre = form.screen()->availableGeometry().center();
    const QPoint windowCentre = form.frameGeometry().center();
    EXPECT_LE((windowCentre - centre).manhattanLength(), 4) << windowCentre.x() << "," << windowCentre.y();

    QPoint boxCentre;
    QTimer::singleShot(0, [&] {
        auto* box = form.findChild<TFormAboutBox*>();
        ASSERT_NE(box, nullptr);
        boxCentre = box->frameGeometry().center();
        box->accept();
    });
    // Moved away first, so that "over the main window" and "on the screen"
    // differ.
    form.move(form.screen()->availableGeometry().topLeft());
    form.WMSysCommand(128);
    EXPECT_LE((boxCentre - centre).manhattanLength(), 4) << boxCentre.x() << "," << boxCentre.y();
}

TEST_F(FormMainKeyboardTest, EveryToolBarButtonStaysReachableAtTheSmallestSize) {
    ShowActive();
    EXPECT_EQ(form.findChild<QWidget*>("GroupBox1")->width(), 185);
    form.resize(1, 1);
    QTest::qWait(20);
    const auto* toolBar = form.findChild<QToolBar*>("ToolBar1");
    for (QAction* action : toolBar->actions()) {
        if (action->isSeparator()) continue;
        const QWidget* button = toolBar->widgetForAction(action);
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->isVisible()) << action->objectName().toStdString();
        EXPECT_TRUE(toolBar->rect().contains(button->geometry())) << action->objectName().toStdString();
    }
    const auto* more = toolBar->findChild<QToolButton*>("qt_toolbar_ext_button");
    EXPECT_TRUE(more == nullptr || !more->isVisible());

    // The group box keeps its width when the window grows; the splitter moves it.
    form.resize(form.width() + 200, form.height());
    QTest::qWait(20);
    EXPECT_EQ(form.findChild<QWidget*>("GroupBox1")->width(), 185);
}

// The tool tip a tool-bar button shows when the mouse rests on it, or "".
QString ToolTipOf(QToolBar* toolBar, const char* action) {
    QToolTip::hideText();  // fades out: gone after a moment
    EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 3000));
    QWidget* button = toolBar->widgetForAction(toolBar->window()->findChild<QAction*>(action));
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), button->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(button, &help);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

TEST_F(FormMainKeyboardTest, OnlyActionsWithAHintShowATip) {
    ShowActive();
    auto* toolBar = form.findChild<QToolBar*>("ToolBar1");
    EXPECT_EQ(ToolTipOf(toolBar, "ActionCsvColCheckAll"), "すべての列をチェックします。");
    EXPECT_EQ(ToolTipOf(toolBar, "ActionHelp"), "ヘルプを表示します");
    EXPECT_EQ(ToolTipOf(toolBar, "ActionCsvColUncheck"), "");
    QToolTip::hideText();
}

TEST_F(FormMainKeyboardTest, HelpThatCannotOpenNamesTheManual) {
    std::vector<QUrl> asked;
    form.SetHelpOpener([&](const QUrl& url) {
        asked.push_back(url);
        return false;
    });
    Action("ActionHelp")->trigger();
    ASSERT_EQ(asked.size(), 1u);
    ASSERT_EQ(ui.Shown.size(), 1u);
    const std::string manual = QDir::toNativeSeparators(asked[0].toLocalFile()).toStdString();
    EXPECT_EQ(ui.Shown[0], "warning: ヘルプを表示できません。マニュアルは次の場所にあります。\n" + manual);

    form.SetHelpOpener([](const QUrl&) { return true; });
    Action("ActionHelp")->trigger();
    EXPECT_EQ(ui.Shown.size(), 1u);
}

}  // namespace
}  // namespace quillmark
