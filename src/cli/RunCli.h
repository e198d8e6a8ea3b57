#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace quillmark {

// Exit statuses of the console program.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;     // the conversion failed or could not run
inline constexpr int kExitBadCommand = 2;  // no arguments, or arguments that cannot be read

// The console program: takes the desktop program's arguments (without the
// program's name) and converts as the desktop program does with "/auto",
// without a window. Messages go to `err`; `out` gets only --help,
// --version, the column list of --list-columns and the JSON of --check
// (which, like --list-columns, writes nothing).
int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace quillmark
