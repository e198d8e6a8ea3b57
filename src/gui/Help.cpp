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

namespace {

QString InstalledManualFileName() {
    return QDir::cleanPath(QCoreApplication::applicationDirPath() +
                           "/../share/doc/quillmark/manual/index.html");
}

}  // namespace

QString ManualFileName() {
    for (const QString& candidate : {InstalledManualFileName(), QStringLiteral(QUILLMARK_SOURCE_MANUAL)}) {
        if (QFileInfo(candidate).isFile()) return QDir::cleanPath(QFileInfo(candidate).absoluteFilePath());
    }
    return {};
}

QUrl ManualUrl() {
    const QString manual = ManualFileName();
    return manual.isEmpty() ? QUrl() : QUrl::fromLocalFile(manual);
}

bool ShowHelp(const THelpOpener& open) {
    const QString help = HelpFileName();
    if (QFileInfo(help).isFile()) return open(QUrl::fromLocalFile(help));
    const QUrl manual = ManualUrl();
    return manual.isValid() && open(manual);
}

QString HelpUnavailableMessage() {
    const QString manual = ManualFileName();
    return QStringLiteral("ヘルプを表示できません。マニュアルは次の場所にあります。\n") +
           QDir::toNativeSeparators(manual.isEmpty() ? InstalledManualFileName() : manual);
}

}  // namespace quillmark
