#include "support/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

extern char** environ;

namespace quillmark::test {
namespace {

bool IsLocaleVariable(std::string_view entry) {
    return entry.starts_with("LC_") || entry.starts_with("LANG=") || entry.starts_with("LANGUAGE=");
}

}  // namespace

TChildProcess::TChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                             const std::filesystem::path& folder, const TChildOptions& options) {
    std::vector<std::string> storage;
    if (options.AsNobody)
        storage = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
    storage.push_back(program.string());
    storage.insert(storage.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    std::vector<std::string> environment = {"LC_ALL=ja_JP.UTF-8", "LC_MESSAGES=C"};
    for (const std::string& entry : options.Environment) {
        const std::string name = entry.substr(0, entry.find('=') + 1);
        std::erase_if(environment, [&name](const std::string& old) { return old.starts_with(name); });
        environment.push_back(entry);
    }
    std::vector<std::string> envStorage;
    for (char** entry = environ; *entry != nullptr; ++entry)
        if (!IsLocaleVariable(*entry)) envStorage.emplace_back(*entry);
    envStorage.insert(envStorage.end(), environment.begin(), environment.end());
    std::vector<char*> envp;
    for (std::string& entry : envStorage)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    int errPipe[2];
    if (::pipe2(errPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    const std::string directory = folder.string();

    FPid = ::fork();
    if (FPid == 0) {
        // Only async-signal-safe calls until exec.
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
            ::signal(signal, SIG_DFL);
        ::umask(static_cast<mode_t>(options.Umask));
        ::dup2(devNull, 0);
        if (options.CloseStdout)
            ::close(1);
        else
            ::dup2(options.Stdout >= 0 ? options.Stdout : devNull, 1);
        ::dup2(errPipe[1], 2);
        if (::chdir(directory.c_str()) != 0) ::_exit(126);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(errPipe[1]);
    ::close(devNull);
    if (FPid < 0) {
        ::close(errPipe[0]);
        throw std::runtime_error("fork failed");
    }
    FErrPipe = errPipe[0];
    ::fcntl(FErrPipe, F_SETFL, O_NONBLOCK);
}

TChildProcess::~TChildProcess() {
    if (FStatus == -1 && FPid > 0) {
        ::kill(FPid, SIGKILL);
        ::waitpid(FPid, nullptr, 0);
    }
    if (FErrPipe >= 0) ::close(FErrPipe);
}

void TChildProcess::Signal(int signal) {
    if (FStatus == -1) ::kill(FPid, signal);
}

void TChildProcess::Drain() {
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(FErrPipe, buffer, sizeof buffer)) > 0)
        FErr.append(buffer, static_cast<std::size_t>(got));
}

int TChildProcess::Wait(double seconds) {
    if (FStatus != -1) return FStatus;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        Drain();
        int status = 0;
        const pid_t done = ::waitpid(FPid, &status, WNOHANG);
        if (done == FPid) {
            Drain();
            FStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return FStatus;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(FPid, SIGKILL);
            ::waitpid(FPid, nullptr, 0);
            FStatus = -2;
            ADD_FAILURE() << "the program hung; its errors: " << FErr;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

bool CanRunAsNobody() {
    return ::geteuid() == 0 && ::access("/usr/bin/setpriv", X_OK) == 0;
}

}  // namespace quillmark::test
