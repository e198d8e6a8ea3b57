#include "cli/CommandLineWin32.h"

namespace quillmark {

std::vector<std::u16string> SplitCommandLine(std::u16string_view commandLine) {
    std::vector<std::u16string> arguments;
    std::size_t i = 0;
    const std::size_t size = commandLine.size();
    while (true) {
        while (i < size && commandLine[i] <= u' ')
            ++i;
        if (i == size) break;
        std::u16string argument;
        bool quoted = false;
        for (; i < size && (quoted || commandLine[i] > u' '); ++i) {
            if (commandLine[i] == u'"') {
                quoted = !quoted;
            } else {
                argument.push_back(commandLine[i]);
            }
        }
        arguments.push_back(std::move(argument));
    }
    // The first is the program's own name.
    if (!arguments.empty()) arguments.erase(arguments.begin());
    return arguments;
}

}  // namespace quillmark
