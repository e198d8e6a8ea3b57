#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "base/Exception.h"
#include "gui/Application.h"
#include "gui/FakeDialogs.h"
#include "gui/FormAboutBox.h"
#include "gui/FormMain.h"
#include "gui/Help.h"
#include "model/AppInfo.h"
#include "model/RecordingUserInterface.h"

namespace quillmark {
namespace {

using ::testing::StrEq;
using ::testing::ThrowsMessage;

TEST(AppInfoTest, ReadsTheEmbeddedVersionData) {
    const TAppInfo info;
    EXPECT_EQ(info.Translation(), 0x03A40411u);
    EXPECT_EQ(info.GetInfo(aiFileVersion), u"0.1.2.0");
    EXPECT_EQ(info.GetInfo(aiProductVersion), u"1.0.0.0");
    EXPECT_EQ(info.GetInfo(aiProductName), u"Quillmark");
    EXPECT_EQ(info.GetInfo(aiComments), u"Quillmark");
    EXPECT_EQ(info.GetInfo(aiLegalCopyright), u"The Quillmark authors");
    EXPECT_EQ(info.GetInfo(aiInternalName), u"");
    EXPECT_EQ(info.GetInfo(11), u"");
    EXPECT_EQ(VerQueryValue(*EmbeddedVersionResource(), u"\\StringFileInfo\\041103A4\\FileVersion"),
              u"0.1.2.0");
}

TEST(AppInfoTest, OnlyTheFirstTranslationCounts) {
    TVersionResource resource;
    resource.Translation = 0x04B00409;  // English, Unicode
    resource.Strings[u"\\StringFileInfo\\041103A4\\FileVersion"] = u"9.9";
    EXPECT_EQ(TAppInfo(&resource).GetInfo(aiFileVersion), u"");
    resource.Strings[u"\\StringFileInfo\\040904B0\\FileVersion"] = u"2.0";
    EXPECT_EQ(TAppInfo(&resource).GetInfo(aiFileVersion), u"2.0");
}

TEST(AppInfoTest, NoVersionDataIsAnError) {
    EXPECT_THAT([] { TAppInfo info(nullptr); },
                ThrowsMessage<Exception>(StrEq("バージョン情報を取得できません")));
}

TEST(FormAboutBoxTest, ShowsNameVersionAndCopyright) {
    TFormAboutBox box(nullptr);
    EXPECT_EQ(box.windowTitle(), "バージョン情報");
    EXPECT_EQ(box.findChild<QLabel*>("ProductName")->text(), "Quillmark");
    EXPECT_EQ(box.findChild<QLabel*>("Version")->text(), "0.1.2.0");
    EXPECT_EQ(box.findChild<QLabel*>("Copyright")->text(), "Copyright The Quillmark authors");
    EXPECT_EQ(box.findChild<QPushButton*>("OKButton")->text(), "OK");
    EXPECT_TRUE(box.findChild<QPushButton*>("OKButton")->isDefault());
    EXPECT_EQ(box.size(), QSize(298, 213));
}

// Records the addresses the desktop is asked to open.
class TUrlRecorder : public QObject {
    Q_OBJECT
  public slots:
    void Open(const QUrl& url) { Opened.push_back(url); }

  public:
    std::vector<QUrl> Opened;
};

TEST(FormAboutBoxTest, TheAddressIsTheMakersWebPageAndOpensAsWritten) {
    TUrlRecorder recorder;
    QDesktopServices::setUrlHandler("https", &recorder, "Open");
    TFormAboutBox box(nullptr);
    auto* label = box.findChild<QLabel*>("URL");
    QTest::mouseClick(label, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler("https");
    EXPECT_EQ(label->text(), "https://github.com/quillmark/quillmark");
    ASSERT_EQ(recorder.Opened.size(), 1u);
    EXPECT_EQ(recorder.Opened[0], QUrl(label->text()));
}

TEST(FormAboutBoxTest, SystemCommand128OpensItAndOkClosesIt) {
    test::TRecordingUserInterface ui;
    test::TFakeDialogs dialogs;
    TFormMain form(ui, dialogs);
    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto* box = form.findChild<TFormAboutBox*>();
        shown = box != nullptr && box->isVisible();
        if (box) QTest::keyClick(box, Qt::Key_Return);
    });
    form.WMSysCommand(128);
    EXPECT_TRUE(shown);
    EXPECT_EQ(form.findChild<TFormAboutBox*>(), nullptr);
    form.WMSysCommand(61536);  // another command: nothing happens here
}

TEST(HelpTest, WithoutAHelpFileTheManualOpens) {
    TUrlRecorder recorder;
    QDesktopServices::setUrlHandler("file", &recorder, "Open");
    const bool opened = ShowHelp(&QDesktopServices::openUrl);
    QDesktopServices::unsetUrlHandler("file");
    EXPECT_FALSE(QFileInfo(HelpFileName()).exists());
    EXPECT_TRUE(HelpFileName().endsWith(".CHM"));
    EXPECT_TRUE(opened);
    ASSERT_EQ(recorder.Opened.size(), 1u);
    EXPECT_EQ(recorder.Opened[0], ManualUrl());
}

TEST(TranslationTest, StandardButtonsSpeakJapanese) {
    ASSERT_TRUE(LoadQtJapaneseTranslation(*QCoreApplication::instance()));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("キャンセル"));
}

}  // namespace
}  // namespace quillmark

#include "AboutBoxTest.moc"
