#pragma once

#include <string>
#include <string_view>

namespace quillmark {

// Paths are taken apart at "\" and at "/", on every system. A drive colon
// is no separator: "C:a" is one name.

// The extension of a path: from the last "." after the last separator to
// the end, "." included; empty when there is none. A path holding a
// character no path can hold (codes 0 to 31, '"', '<', '>', '|') throws
// EArgumentException "ファイル名に無効な文字が含まれています".
//
// **Example**: u"C:\\a.b\\c.qmk" -> u".qmk"; u"dir.x/name" -> u"";
// u".qmk" -> u".qmk"; u"a." -> u".".
std::u16string ExtractFileExt(std::u16string_view path);

// True when `path` holds a character no path can hold (see ExtractFileExt).
bool HasInvalidPathChars(std::u16string_view path);

// Upper case as AnsiUpperCase gives it for the characters of file names:
// the simple case mapping of ASCII, Latin-1, Latin Extended-A, the regular
// pairs of Latin Extended-B and Latin Extended Additional, Greek, Cyrillic
// and the full-width Latin letters. Letters whose capital lies in another
// block (U+00B5, U+0131, U+017F) and letters without a one-character capital
// (U+00DF) stay as they are, as does everything outside the BMP, so
// "ｑｍｋ" never becomes "QMK".
//
// **Example**: u"a.qmk" -> u"A.QMK"; u"ÿçя" -> u"ŸÇЯ"; u"ｑ" -> u"Ｑ".
std::u16string AnsiUpperCase(std::u16string_view text);

// The path with its extension (as ExtractFileExt finds it) replaced, or
// appended when it has none. Does not check the characters.
// **Example**: (u"/opt/q/quillmark", u".CHM") -> u"/opt/q/quillmark.CHM";
// (u"a.tar.gz", u"") -> u"a.tar".
std::u16string ChangeFileExt(std::u16string_view path, std::u16string_view extension);

// The folder part of a path, without the separator that ends it unless that
// separator is a root, and the name part after the last separator.
// **Example**: u"/opt/q/a.csv" -> u"/opt/q" and u"a.csv"; u"/a" -> u"/";
// u"C:\\a" -> u"C:\\"; u"a.csv" -> u"" and u"a.csv"; u"dir/" -> u"dir" and u"".
std::u16string ExtractFileDir(std::u16string_view path);
std::u16string ExtractFileName(std::u16string_view path);

}  // namespace quillmark
