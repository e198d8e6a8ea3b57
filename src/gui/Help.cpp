#include "gui/Help.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

#include "gui/QtString.h"
#include "settings/FileName.h"

namespace quillmark {

QString HelpFileName() {
    return ToQString(ChangeFileExt(FromQString(QCoreApplication::applicationFilePath()), u".CHM"));
}

QString ManualFileName() {
    const QString installed =
        QCoreApplication::applicationDirPath() + "/../share/doc/quillmark/manual/index.html";
    for (const QString& candidate : {installed, QStringLiteral(QUILLMARK_SOURCE_MANUAL)}) {
        if (QFileInfo(candidate).isFile()) return QDir::cleanPath(QFileInfo(candidate).absoluteFilePath());
    }
    return {};
}

QUrl ManualUrl() {
    const QString manual = ManualFileName();
    return manual.isEmpty() ? QUrl() : QUrl::fromLocalFile(manual);
}

bool ShowHelp() {
    const QString help = HelpFileName();
    if (QFileInfo(help).isFile()) return QDesktopServices::openUrl(QUrl::fromLocalFile(help));
    const QUrl manual = ManualUrl();
    return manual.isValid() && QDesktopServices::openUrl(manual);
}

}  // namespace quillmark
