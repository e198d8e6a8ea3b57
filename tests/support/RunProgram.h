#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace quillmark::test {

struct TProgramResult {
    int ExitCode = -1;  // -1 when the program did not exit normally
    std::string Out;
    std::string Err;
};

// Runs a program to its end in `folder`, with `environment` ("NAME=value"
// entries) added to a cleaned copy of this process's environment, replacing
// entries of the same name.
TProgramResult RunProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                          const std::filesystem::path& folder,
                          const std::vector<std::string>& environment = {});

#if defined(_WIN32)
// The same with flags for CreateProcessW (a new process group, a console of
// its own; without them the program runs without a console), and a function
// called with the process id while the program runs.
TProgramResult RunProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                          const std::filesystem::path& folder, const std::vector<std::string>& environment,
                          unsigned long creationFlags,
                          const std::function<void(unsigned long)>& whileRunning);

// `argument` as the console program's command line takes it in one piece.
std::u16string QuoteArgument(std::u16string_view argument);
#endif

}  // namespace quillmark::test
