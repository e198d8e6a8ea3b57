#pragma once

#include <string>
#include <string_view>

#include "settings/ConvertInfo.h"
#include "settings/IniFile.h"

// Settings files (".QMK", also ".INI"): an INI text with the source, target
// and encoding in section FILE and the quote-column list in section CSV.
//
//   [FILE]
//   SOURCE=C:\in.csv
//   TARGET=C:\out.csv
//   ENCODING=1
//
//   [CSV]
//   COL=0,2
namespace quillmark {

// The encodings a settings file is kept in, told apart by the byte-order
// mark; without one, bytes that are valid UTF-8 and not all ASCII are UTF-8
// (what common editors save), anything else the ANSI code page.
enum class TSettingsFileEncoding { Ansi, Utf8Bom, Utf16LeBom, Utf16BeBom, Utf8 };

TSettingsFileEncoding SettingsFileEncodingOf(std::string_view bytes);

// The encoding `text` is saved in when the file was read in `encoding`: the
// same, except that ANSI text with a character the code page cannot hold
// exactly (a best fit or "?" would take its place) is saved as UTF-8 with
// byte-order mark.
TSettingsFileEncoding SettingsFileEncodingFor(std::u16string_view text, TSettingsFileEncoding encoding);
std::u16string DecodeSettingsFile(std::string_view bytes, TSettingsFileEncoding encoding);
std::string EncodeSettingsFile(std::u16string_view text, TSettingsFileEncoding encoding);

// Reads the record from the file at `path`; SettingsFileName is `path`.
// A missing file gives the empty settings (no paths, encoding 0, no column).
// A file that exists but cannot be opened throws EFOpenError
// "ファイル %s は開けません。 %s ".
TConvertInfo ReadSettingsFile(const std::u16string& path);

// Writes the four settings of `info` into the file at `path`, keeping every
// other section and key of an existing file and its encoding (a new file is
// written in the ANSI code page). The file is replaced atomically: on any
// failure it stays as it was. Throws EFOpenError, EFCreateError or
// EWriteError with their messages.
void WriteSettingsFile(const TConvertInfo& info, const std::u16string& path);

// The record an INI text holds (what ReadSettingsFile gives after loading),
// and the record laid into an INI text (what WriteSettingsFile writes).
TConvertInfo SettingsFromIni(const TIniFile& ini, const std::u16string& path);
void SettingsIntoIni(const TConvertInfo& info, TIniFile& ini);

// True when the extension, upper-cased, is ".QMK" or ".INI". Throws
// EArgumentException "ファイル名に無効な文字が含まれています" for a path
// with characters no path can hold.
bool IsSettingsFileName(std::u16string_view path);

}  // namespace quillmark
