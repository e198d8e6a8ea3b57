#pragma once

#include <windows.h>

#include <string>

namespace quillmark {

// The help file of a program: its path with the extension ".CHM".
std::u16string HelpFileName(std::u16string_view programPath);

// Shows the table of contents of a compiled help file through the HTML
// help viewer (hhctrl.ocx, loaded when first needed). False when the file
// is missing or the viewer cannot show it.
bool ShowHelpContents(HWND owner, const std::u16string& helpFile);

}  // namespace quillmark
