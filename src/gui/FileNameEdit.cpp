#include "gui/FileNameEdit.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMimeData>
#include <QStyle>
#include <QToolButton>
#include <QUrl>

#include "gui/QtString.h"
#include "settings/FileName.h"

namespace quillmark {

namespace {

// The first local file among the dropped URLs, or "".
QString FirstLocalFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) return url.toLocalFile();
    return {};
}

}  // namespace

TFileNameEdit::TFileNameEdit(IDialogs& dialogs, TFileDialogSetup setup, QWidget* parent)
    : QWidget(parent),
      FDialogs(dialogs),
      FSetup(std::move(setup)),
      FEdit(new QLineEdit(this)),
      FButton(new QToolButton(this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(FEdit);
    layout->addWidget(FButton);
    FButton->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    FButton->setToolTip(FSetup.Title);
    setFocusProxy(FEdit);
    // Files dropped on the line edit come here instead of being pasted as URLs.
    FEdit->setAcceptDrops(false);
    setAcceptDrops(true);
    connect(FEdit, &QLineEdit::textChanged, this, &TFileNameEdit::textChanged);
    connect(FButton, &QToolButton::clicked, this, &TFileNameEdit::Browse);
}

QString TFileNameEdit::text() const {
    return FEdit->text();
}

void TFileNameEdit::setText(const QString& text) {
    if (FEdit->text() != text) FEdit->setText(text);
}

void TFileNameEdit::Browse() {
    TFileDialogSetup setup = FSetup;
    const QFileInfo current(FEdit->text());
    if (!FEdit->text().isEmpty()) {
        setup.Folder = current.absolutePath();
        setup.FileName = current.fileName();
    }
    const std::optional<QString> chosen = FDialogs.OpenFile(window(), setup);
    if (chosen) {
        FEdit->setText(*chosen);
        emit AfterDialog(*chosen, true);
        return;
    }
    const QString kept = HasInvalidPathChars(FromQString(FEdit->text())) ? QString() : FEdit->text();
    emit AfterDialog(kept, false);
}

void TFileNameEdit::dragEnterEvent(QDragEnterEvent* event) {
    if (!FirstLocalFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TFileNameEdit::dropEvent(QDropEvent* event) {
    const QString file = FirstLocalFile(event->mimeData());
    if (file.isEmpty()) return;
    FEdit->setText(QFileInfo(file).absoluteFilePath());
    event->acceptProposedAction();
}

}  // namespace quillmark
