#pragma once

#include <string>
#include <string_view>

namespace quillmark {

// The extension of a path: from the last "." after the last "\" or "/" to
// the end, "." included; empty when there is none. A path holding a
// character no path can hold (codes 0 to 31, '"', '<', '>', '|') throws
// EArgumentException "ファイル名に無効な文字が含まれています".
//
// **Example**: u"C:\\a.b\\c.qmk" -> u".qmk"; u"dir.x/name" -> u"".
std::u16string ExtractFileExt(std::u16string_view path);

// True when `path` holds a character no path can hold (see ExtractFileExt).
bool HasInvalidPathChars(std::u16string_view path);

// Upper case as AnsiUpperCase gives it for the characters of file names.
std::u16string AnsiUpperCase(std::u16string_view text);

// The path with its extension replaced (or appended when it has none).
// **Example**: (u"/opt/q/quillmark", u".CHM") -> u"/opt/q/quillmark.CHM".
std::u16string ChangeFileExt(std::u16string_view path, std::u16string_view extension);

// The folder part of a path, without the separator that ends it, and the
// name part after the last separator.
std::u16string ExtractFileDir(std::u16string_view path);
std::u16string ExtractFileName(std::u16string_view path);

}  // namespace quillmark
