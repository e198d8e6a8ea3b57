#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "settings/ConvertInfo.h"

namespace quillmark {

using TArguments = std::vector<std::u16string>;

// Turns the program's arguments (without the program's own name) into a
// record. Each argument is taken by the first of these that matches, case
// sensitive and untrimmed:
// - "/source:PATH", "/target:PATH": the text after the prefix, may be empty;
// - "/encoding:N": StrToIntDef(N, 0), so u"/encoding:abc" gives 0 (ANSI);
// - "/quote:LIST": ParseQuoteColumns(LIST), replacing the whole set;
// - a path whose extension, upper-cased, is ".QMK" and at which a file
//   exists (FileExists: links followed, a directory does not count; asked
//   only when the extension matches): the settings file, the whole argument;
// - anything else is ignored, "/SOURCE:a.csv" and "/auto" included.
// Later arguments win. What no argument gives stays not given: empty paths,
// encoding -1, columns {-1}. No arguments at all give the empty record
// (encoding 0, no columns).
//
// Throws EArgumentException "ファイル名に無効な文字が含まれています" when an argument
// that none of the four prefixes takes holds a character no path can hold
// (see ExtractFileExt); u"/source:<" is a source name, u"<.csv" throws.
TConvertInfo ParseCommandLine(const TArguments& arguments);

// True when some argument is "/" or "-" followed by `name`, compared without
// regard to case (AnsiUpperCase). For u"auto": u"/AUTO" and u"-Auto" count,
// u"/autox" and u"auto" do not.
bool FindCmdLineSwitch(const TArguments& arguments, std::u16string_view name);

}  // namespace quillmark
