#pragma once

#include <QString>
#include <QUrl>
#include <functional>

namespace quillmark {

// The help file: the executable's path with the extension ".CHM".
QString HelpFileName();

// The HTML manual shipped with the program: beside an installed program in
// share/doc/quillmark/manual, else in the source tree it was built from.
// Empty when neither exists.
QString ManualFileName();

// What the about box links to: the manual.
QUrl ManualUrl();

// Opens a file with the program the desktop has for it; false when none could.
using THelpOpener = std::function<bool(const QUrl&)>;

// Opens the ".CHM" help file through the desktop when it exists, otherwise
// the manual. False when there is nothing to open or the desktop refused.
bool ShowHelp(const THelpOpener& open);

// The warning shown when no program could show the help: it names where the
// manual is (or would be, installed), so that the user can open it himself.
QString HelpUnavailableMessage();

}  // namespace quillmark
