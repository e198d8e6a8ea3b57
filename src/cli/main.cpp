#include <clocale>
#include <csignal>
#include <iostream>

#include "base/Interrupt.h"
#include "cli/RunCli.h"

int main(int argc, char** argv) {
    // The system's error texts in the user's language, where it is installed.
    std::setlocale(LC_MESSAGES, "");
#ifdef SIGXFSZ
    // A write past the file-size limit, or into a closed pipe, must fail with
    // an error the program reports, not kill it with the target half written.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
    // Ctrl+C, kill and a closed terminal stop the run at a safe point; the
    // status then says so as shells expect of a process a signal ended.
    quillmark::InstallInterruptHandlers();
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const int status = quillmark::RunCli(arguments, std::cout, std::cerr);
    if (status != 0 && quillmark::InterruptSignal() != 0) return 128 + quillmark::InterruptSignal();
    return status;
}
