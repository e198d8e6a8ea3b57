// The desktop entry, run the way a file manager runs it for a chosen file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QListWidget>
#include <QRegularExpression>

#include "gui/FakeDialogs.h"
#include "gui/FileNameEdit.h"
#include "gui/FormMain.h"
#include "gui/QtString.h"
#include "model/OpenArgument.h"
#include "model/RecordingUserInterface.h"
#include "support/TestFiles.h"

namespace quillmark {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The value of `key` in the desktop entry's main group.
QString DesktopEntryValue(const QString& key) {
    QFile file(QStringLiteral(QUILLMARK_DESKTOP_FILE));
    if (!file.open(QIODevice::ReadOnly)) return {};
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
        if (line.startsWith(key + '=')) return line.mid(key.size() + 1);
    }
    return {};
}

// The program's arguments for `file` as a file manager builds them from the
// Exec line: the field code %f becomes the file, or goes when there is none.
TArguments ExecArguments(const QString& file) {
    TArguments arguments;
    const QStringList words = DesktopEntryValue("Exec").split(' ', Qt::SkipEmptyParts);
    for (qsizetype i = 1; i < words.size(); ++i) {
        if (words[i] == "%f") {
            if (!file.isEmpty()) arguments.push_back(FromQString(file));
        } else {
            arguments.push_back(FromQString(words[i]));
        }
    }
    return arguments;
}

class DesktopEntryTest : public ::testing::Test {
  protected:
    DesktopEntryTest() { test::WriteBytes(folder / "in.csv", "名前,日付\r\n山田,1/2\r\n"); }

    void Open(const std::filesystem::path& file) {
        form.SetProgramArguments(
            ExecArguments(file.empty() ? QString() : QString::fromStdString(file.string())));
        form.FirstIdle();
    }
    QString Text(const char* box) const { return form.findChild<TFileNameEdit*>(box)->text(); }
    int Columns() const { return form.findChild<QListWidget*>("CheckListBoxCsvCol")->count(); }

    test::TTempDir folder;
    test::TRecordingUserInterface ui;
    test::TFakeDialogs dialogs;
    TFormMain form{ui, dialogs};
};

TEST_F(DesktopEntryTest, ClaimsCsvFiles) {
    EXPECT_THAT(DesktopEntryValue("MimeType").split(';', Qt::SkipEmptyParts),
                ElementsAre("application/x-quillmark-settings", "text/csv"));
    EXPECT_TRUE(DesktopEntryValue("Exec").contains("%f"));
}

TEST_F(DesktopEntryTest, ACsvFileBecomesTheSourceWithItsColumns) {
    Open(folder / "in.csv");
    EXPECT_EQ(Text("EditSourceFile").toStdString(), (folder / "in.csv").string());
    EXPECT_EQ(Columns(), 2);
    EXPECT_THAT(ui.Shown, IsEmpty());
    EXPECT_EQ(form.Model().SettingsFileName(), u"");
}

TEST_F(DesktopEntryTest, ASettingsFileOpensAsSettings) {
    for (const char* name : {"s.qmk", "s.INI"}) {
        test::WriteBytes(folder / name,
                         "[FILE]\nSOURCE=" + (folder / "in.csv").string() + "\nTARGET=t.csv\n[CSV]\nCOL=1\n");
        TFormMain fresh(ui, dialogs);
        fresh.SetProgramArguments(ExecArguments(QString::fromStdString((folder / name).string())));
        fresh.FirstIdle();
        EXPECT_EQ(fresh.Model().TargetFileName(), u"t.csv") << name;
        EXPECT_EQ(fresh.Model().GetQuoteColumns(), TColumnSet{1}) << name;
        EXPECT_EQ(fresh.Model().SettingsFileName(),
                  FromQString(QString::fromStdString((folder / name).string())));
    }
}

TEST_F(DesktopEntryTest, WithoutAFileTheWindowStartsEmpty) {
    Open({});
    EXPECT_EQ(Text("EditSourceFile"), "");
    EXPECT_EQ(Columns(), 0);
    EXPECT_THAT(ui.Shown, IsEmpty());
}

TEST_F(DesktopEntryTest, TiesTheWindowToItsLauncher) {
    // X11 names a Qt window's class after the application.
    EXPECT_EQ(DesktopEntryValue("StartupWMClass"), QCoreApplication::applicationName());
    EXPECT_EQ(DesktopEntryValue("StartupWMClass"), "Quillmark");
}

struct OpenArgumentCase {
    const char* name;
    TArguments arguments;
    std::optional<std::u16string> file;
    TArguments rest;
};

class OpenArgument : public ::testing::TestWithParam<OpenArgumentCase> {};

TEST_P(OpenArgument, IsTakenOffBeforeTheSwitchesAreRead) {
    TArguments arguments = GetParam().arguments;
    EXPECT_EQ(TakeOpenArgument(arguments), GetParam().file);
    EXPECT_EQ(arguments, GetParam().rest);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, OpenArgument,
    ::testing::Values(
        OpenArgumentCase{"None", {u"/source:a.csv", u"/auto"}, {}, {u"/source:a.csv", u"/auto"}},
        OpenArgumentCase{"File", {u"--open", u"a.csv"}, u"a.csv", {}},
        OpenArgumentCase{"FileThatLooksLikeASwitch", {u"--open", u"/auto"}, u"/auto", {}},
        OpenArgumentCase{"Trailing", {u"/quote:1", u"--open"}, {}, {u"/quote:1"}},
        OpenArgumentCase{"LastWins", {u"--open", u"a", u"x", u"--open", u"b"}, u"b", {u"x"}},
        OpenArgumentCase{"CaseMatters", {u"--OPEN", u"a"}, {}, {u"--OPEN", u"a"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillmark
