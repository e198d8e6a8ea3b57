#include "gui/FormAboutBox.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

#include "gui/QtString.h"
#include "model/AppInfo.h"

namespace quillmark {

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    return label;
}

}  // namespace

TFormAboutBox::TFormAboutBox(QWidget* owner) : QDialog(owner) {
    setObjectName("FormAboutBox");
    setWindowTitle(QStringLiteral("バージョン情報"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(298, 213);
    // Centred on the screen, not over the main window: a position of its
    // own keeps QDialog from placing it over its owner.
    QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));

    auto* panel = new QFrame(this);
    panel->setObjectName("Panel1");
    panel->setGeometry(8, 8, 281, 161);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);

    auto* icon = MakeLabel(panel, "ProgramIcon", {}, QRect(8, 8, 65, 57));
    icon->setPixmap(QApplication::windowIcon().pixmap(QSize(57, 57)));
    icon->setAlignment(Qt::AlignCenter);
    FProductName = MakeLabel(panel, "ProductName", QStringLiteral("製品名: "), QRect(88, 16, 185, 20));
    FVersion = MakeLabel(panel, "Version", QStringLiteral("バージョン"), QRect(88, 40, 185, 20));
    FCopyright = MakeLabel(panel, "Copyright", QStringLiteral("Copyright"), QRect(8, 80, 265, 20));
    FUrl = MakeLabel(panel, "URL", {}, QRect(8, 104, 256, 50));
    FUrl->setWordWrap(true);
    FUrl->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    FUrl->setCursor(Qt::PointingHandCursor);
    QFont underlined = FUrl->font();
    underlined.setUnderline(true);
    FUrl->setFont(underlined);
    FUrl->setStyleSheet(QStringLiteral("color: palette(highlight);"));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName("OKButton");
    ok->setGeometry(111, 180, 75, 25);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    const TAppInfo info;
    FProductName->setText(QApplication::applicationName());
    FVersion->setText(ToQString(info.GetInfo(aiFileVersion)));
    FCopyright->setText(QStringLiteral("Copyright ") + ToQString(info.GetInfo(aiLegalCopyright)));
    FUrl->setText(ToQString(kMakerWebPage));
    FUrl->installEventFilter(this);
}

void TFormAboutBox::URLClick() {
    // What the desktop makes of the address is its own business.
    QDesktopServices::openUrl(QUrl(FUrl->text()));
}

bool TFormAboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FUrl && event->type() == QEvent::MouseButtonRelease) URLClick();
    return QDialog::eventFilter(watched, event);
}

}  // namespace quillmark
