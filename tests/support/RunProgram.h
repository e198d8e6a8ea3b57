#pragma once

#include <filesystem>
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

}  // namespace quillmark::test
