// The real file dialogs of the window, answered the way a user answers them:
// a file type chosen from the list, a name typed, Enter.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include "gui/Dialogs.h"
#include "gui/FakeDialogs.h"
#include "gui/FileNameEdit.h"
#include "gui/FormMain.h"
#include "model/RecordingUserInterface.h"
#include "support/TestFiles.h"

// Readable QStrings in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace quillmark {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

QString Q(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

// What the user saw in a dialog, and what it gave back.
struct TDialogVisit {
    QString Title;
    QStringList Types;  // the entries of the file-type list, as shown
    bool StillOpenAfterEnter = false;
    QString Message;  // what a message box over the dialog said
    std::optional<QString> Result;
};

// Records another dialog's setup and then runs the real one on it, typing
// `Typed` with the file type `Type` chosen.
class TTypingDialogs final : public IDialogs {
  public:
    std::optional<QString> OpenFile(QWidget* parent, const TFileDialogSetup& setup) override {
        return Type(parent, setup, true);
    }
    std::optional<QString> SaveFile(QWidget* parent, const TFileDialogSetup& setup) override {
        return Type(parent, setup, false);
    }

    QString Typed;
    int TypeIndex = 0;
    TDialogVisit Visit;

  private:
    std::optional<QString> Type(QWidget* parent, const TFileDialogSetup& setup, bool open) {
        Visit = {};
        QTimer::singleShot(0, [this] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
            Visit.Title = dialog->windowTitle();
            auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
            ASSERT_NE(types, nullptr);
            for (int i = 0; i < types->count(); ++i)
                Visit.Types.append(types->itemText(i));
            types->setFocus();
            for (int i = 0; i < TypeIndex; ++i)
                QTest::keyClick(types, Qt::Key_Down);
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(name, nullptr);
            name->setFocus();
            name->setText(Typed);
            // A message the dialog raises about the name is read and closed.
            QTimer::singleShot(0, [this] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    Visit.Message = box->text();
                    box->accept();
                }
            });
            QTest::keyClick(name, Qt::Key_Return);
            Visit.StillOpenAfterEnter = dialog->isVisible();
            if (dialog->isVisible()) dialog->reject();
        });
        TQtDialogs real;
        Visit.Result = open ? real.OpenFile(parent, setup) : real.SaveFile(parent, setup);
        return Visit.Result;
    }
};

class DialogsTest : public ::testing::Test {
  protected:
    DialogsTest() { test::WriteBytes(folder / "existing.csv", "a\r\n"); }

    TFileNameEdit* Edit(const char* name) const { return form.findChild<TFileNameEdit*>(name); }

    // Runs the target box's browse dialog in the test's folder.
    std::optional<QString> BrowseTarget(const QString& typed) {
        dialogs.Typed = Q(folder / typed.toStdString());
        Edit("EditTargetFile")->LineEdit()->setText(Q(folder / "x.csv"));
        Edit("EditTargetFile")->Browse();
        return dialogs.Visit.Result;
    }

    test::TTempDir folder;
    test::TRecordingUserInterface ui;
    TTypingDialogs dialogs;
    TFormMain form{ui, dialogs};
};

TEST_F(DialogsTest, TheTargetDialogAcceptsANewName) {
    EXPECT_EQ(BrowseTarget("brand_new"), Q(folder / "brand_new.csv"));
    EXPECT_EQ(dialogs.Visit.Title, "変換先CSVファイル");
    EXPECT_THAT(dialogs.Visit.Types, ElementsAre("CSVファイル"));
    EXPECT_EQ(Edit("EditTargetFile")->text(), Q(folder / "brand_new.csv"));
    EXPECT_EQ(BrowseTarget("brand_new.txt"), Q(folder / "brand_new.txt"));
    EXPECT_EQ(BrowseTarget("existing.csv"), Q(folder / "existing.csv"));
    EXPECT_EQ(BrowseTarget("existing"), Q(folder / "existing.csv"));
    // Nothing was asked and nothing written.
    EXPECT_EQ(folder.Listing(), "existing.csv");
    EXPECT_THAT(ui.Shown, ::testing::IsEmpty());
}

TEST_F(DialogsTest, TheSourceDialogAcceptsOnlyAnExistingFile) {
    dialogs.Typed = Q(folder / "existing");
    Edit("EditSourceFile")->Browse();
    EXPECT_EQ(dialogs.Visit.Title, "変換元CSVファイル");
    EXPECT_EQ(dialogs.Visit.Result, Q(folder / "existing.csv"));

    dialogs.Typed = Q(folder / "brand_new.csv");
    Edit("EditSourceFile")->Browse();
    EXPECT_TRUE(dialogs.Visit.StillOpenAfterEnter);
    EXPECT_FALSE(dialogs.Visit.Message.isEmpty());
    EXPECT_EQ(dialogs.Visit.Result, std::nullopt);
}

struct BatchCase {
    const char* name;
    int type;  // 0 batch file, 1 shell script, 2 every file
    const char* typed;
    const char* saved;
};

class BatchDialog : public DialogsTest, public ::testing::WithParamInterface<BatchCase> {};

TEST_P(BatchDialog, TheExtensionFollowsTheChosenType) {
    dialogs.Typed = Q(folder / GetParam().typed);
    dialogs.TypeIndex = GetParam().type;
    form.findChild<QAction*>("ActionSaveToBat")->trigger();
    EXPECT_THAT(dialogs.Visit.Types,
                ElementsAre("バッチファイル(*.BAT)", "シェルスクリプト(*.sh)", "すべてのファイル(*.*)"));
    EXPECT_EQ(dialogs.Visit.Result, Q(folder / GetParam().saved));
    ASSERT_EQ(ui.Shown.size(), 1u);
    EXPECT_EQ(ui.Shown[0], "info: バッチファイルを保存しました。");
    EXPECT_TRUE(std::filesystem::exists(folder / GetParam().saved));
}

INSTANTIATE_TEST_SUITE_P(TypedNames, BatchDialog,
                         ::testing::Values(BatchCase{"BatchTypeAddsBat", 0, "run", "run.BAT"},
                                           BatchCase{"ShellTypeAddsSh", 1, "run", "run.sh"},
                                           BatchCase{"ShellTypeKeepsATypedExtension", 1, "run.cmd",
                                                     "run.cmd"},
                                           BatchCase{"BatchTypeKeepsATypedSh", 0, "run.sh", "run.sh"},
                                           BatchCase{"EveryFileAddsTheDialogsBat", 2, "run", "run.BAT"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WindowTitles, CarryNoApplicationName) {
    // Qt adds the display name to every title once one is set; without one,
    // the display name follows the application name.
    const QString name = QCoreApplication::applicationName();
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), name);
    QCoreApplication::setApplicationName("probe");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "probe");
    QCoreApplication::setApplicationName(name);
}

TEST_F(DialogsTest, SettingsDialogsShowTheirTypesAsWritten) {
    dialogs.Typed = Q(folder / "s");
    form.findChild<QAction*>("ActionSaveToIni")->trigger();
    EXPECT_FALSE(dialogs.Visit.Title.contains("Quillmark"));  // the platform's own
    EXPECT_THAT(dialogs.Visit.Types,
                ElementsAre("設定ファイル(*.QMK)", "設定ファイル(*.INI)", "すべてのファイル(*.*)"));
    EXPECT_EQ(dialogs.Visit.Result, Q(folder / "s.QMK"));
}

struct PatternCase {
    const char* extension;
    std::vector<const char*> matching;
    std::vector<const char*> other;
};

TEST(AnyCaseExtension, MatchesTheExtensionInAnyCase) {
    const PatternCase cases[] = {
        {"csv", {"a.csv", "a.CSV", "a.Csv", "x.y.cSv"}, {"a.csv.bak", "csv", "a.txt"}},
        {"QMK", {"s.qmk", "s.QMK", "s.Qmk"}, {"s.qm", "s.ini"}},
        {"sh", {"r.sh", "r.SH"}, {"r.bash"}},
    };
    for (const PatternCase& row : cases) {
        const QStringList patterns = AnyCaseExtension(row.extension).split(' ');
        EXPECT_EQ(patterns.value(0), QStringLiteral("*.") + row.extension);
        const auto matches = [&patterns](const char* name) {
            for (const QString& pattern : patterns) {
                if (QRegularExpression::fromWildcard(pattern, Qt::CaseSensitive).match(name).hasMatch())
                    return true;
            }
            return false;
        };
        for (const char* name : row.matching)
            EXPECT_TRUE(matches(name)) << row.extension << " " << name;
        for (const char* name : row.other)
            EXPECT_FALSE(matches(name)) << row.extension << " " << name;
    }
}

}  // namespace
}  // namespace quillmark
