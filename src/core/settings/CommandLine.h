#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "settings/ConvertInfo.h"

namespace quillmark {

using TArguments = std::vector<std::u16string>;

// Turns the program's arguments (without the program's own name) into a
// record. Each argument is taken by the first of these that matches, case
// sensitive and untrimmed: "/source:PATH", "/target:PATH",
// "/encoding:N" (StrToIntDef(N, 0)), "/quote:LIST" (ParseQuoteColumns, the
// whole set replaced), the path of an existing file whose upper-cased
// extension is ".QMK"; anything else is ignored. Later arguments win. What
// no argument gives stays not given: empty paths, encoding -1, columns {-1}.
// No arguments at all give the empty record (encoding 0, no columns).
//
// Throws EArgumentException "ファイル名に無効な文字が含まれています" when an argument
// that none of the four prefixes takes holds a character no path can hold.
TConvertInfo ParseCommandLine(const TArguments& arguments);

// True when some argument is "/" or "-" followed by `name`, compared without
// regard to case. For u"auto": u"/AUTO" and u"-Auto" count, u"/autox" and
// u"auto" do not.
bool FindCmdLineSwitch(const TArguments& arguments, std::u16string_view name);

}  // namespace quillmark
