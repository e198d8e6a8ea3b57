#pragma once

#include <QString>
#include <QUrl>

namespace quillmark {

// The help file: the executable's path with the extension ".CHM".
QString HelpFileName();

// The HTML manual shipped with the program: beside an installed program in
// share/doc/quillmark/manual, else in the source tree it was built from.
// Empty when neither exists.
QString ManualFileName();

// What the about box links to: the manual.
QUrl ManualUrl();

// Opens the ".CHM" help file through the desktop when it exists, otherwise
// the manual. False when there is nothing to open or the desktop refused.
bool ShowHelp();

}  // namespace quillmark
