#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace quillmark::test {

// How a child's standard output is set up.
struct TChildOptions {
    int Stdout = -1;  // descriptor to hand over as 1; -1: /dev/null
    bool CloseStdout = false;
    bool AsNobody = false;  // run through setpriv as nobody:nogroup
    int Umask = 022;
    std::vector<std::string> Environment;  // "NAME=value", over LC_ALL=ja_JP.UTF-8, LC_MESSAGES=C
};

// Options with one member set: With(&TChildOptions::Umask, 027).
template <class T, class U>
TChildOptions With(T TChildOptions::*member, U&& value) {
    TChildOptions options;
    options.*member = std::forward<U>(value);
    return options;
}

// A program started in `folder` with the interrupt signals at their
// defaults, whatever this process does with them. Its standard error is
// collected.
class TChildProcess {
  public:
    TChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                  const std::filesystem::path& folder, const TChildOptions& options = {});
    ~TChildProcess();
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    void Signal(int signal);
    // The exit status, or 128 + the signal that ended it. A child that is
    // still running after `seconds` is killed and reported as a failure of
    // the test (a hang), with status -1.
    int Wait(double seconds = 60);
    const std::string& Err() const { return FErr; }

  private:
    void Drain();

    pid_t FPid = -1;
    int FErrPipe = -1;
    std::string FErr;
    int FStatus = -1;
};

// True when this process may run others as nobody (it runs as root and
// setpriv is there); tests that need that skip otherwise.
bool CanRunAsNobody();

}  // namespace quillmark::test
