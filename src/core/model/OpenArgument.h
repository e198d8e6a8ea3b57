#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "settings/CommandLine.h"

namespace quillmark {

// The desktop entry starts the program as "quillmark --open FILE" for a
// file the user opened from the file manager: a settings file, or a CSV
// file that becomes the source. The switch has no meaning for the command
// line the batch file writes, so it is taken off before the arguments are
// read as switches.
inline constexpr std::u16string_view kOpenSwitch = u"--open";

// Removes every "--open" and the argument after it from `arguments`; the
// file of the last one, or nothing. A trailing "--open" without a file (the
// desktop entry started with no file) only goes.
std::optional<std::u16string> TakeOpenArgument(TArguments& arguments);

}  // namespace quillmark
