#include "support/RunProgram.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstring>
#include <stdexcept>

#include "support/TestFiles.h"

extern char** environ;

namespace quillmark::test {
namespace {

// Locale variables of the caller would change the program's ANSI code page.
bool IsLocaleVariable(std::string_view entry) {
    return entry.starts_with("LC_") || entry.starts_with("LANG=") || entry.starts_with("LANGUAGE=");
}

}  // namespace

TProgramResult RunProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                          const std::filesystem::path& folder, const std::vector<std::string>& environment) {
    TTempDir streams;
    const auto outPath = streams / "stdout";
    const auto errPath = streams / "stderr";

    std::vector<std::string> storage;
    storage.push_back(program.string());
    storage.insert(storage.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    // The given entries replace those of the same name.
    auto given = [&environment](std::string_view entry) {
        const std::string_view name = entry.substr(0, entry.find('=') + 1);
        for (const std::string& added : environment)
            if (std::string_view(added).starts_with(name)) return true;
        return false;
    };
    std::vector<std::string> envStorage;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!IsLocaleVariable(*entry) && !given(*entry)) envStorage.emplace_back(*entry);
    }
    envStorage.insert(envStorage.end(), environment.begin(), environment.end());
    std::vector<char*> envp;
    for (std::string& entry : envStorage)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());

    pid_t pid;
    const int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        throw std::runtime_error("cannot start " + program.string() + ": " + std::strerror(error));

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) throw std::runtime_error("waitpid failed");
    }
    TProgramResult result;
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.Out = ReadBytes(outPath);
    result.Err = ReadBytes(errPath);
    return result;
}

}  // namespace quillmark::test
