#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillmark {

// Splits a Windows command line (GetCommandLineW) into the program's
// arguments, its own name left out: runs of spaces and control characters
// separate arguments, and a quotation mark opens a stretch, closed by the
// next one, in which they belong to the argument. Quotation marks are never
// part of an argument, and a backslash is an ordinary character:
// "/target:C:\out dir\" gives /target:C:\out dir\.
std::vector<std::u16string> SplitCommandLine(std::u16string_view commandLine);

}  // namespace quillmark
