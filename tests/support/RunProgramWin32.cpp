#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <stdexcept>

#include "base/Utf.h"
#include "support/RunProgram.h"
#include "support/TestFiles.h"

namespace quillmark::test {
namespace {

// Locale variables of the caller would change the program's ANSI code page
// under Wine.
bool IsLocaleVariable(std::u16string_view entry) {
    return entry.starts_with(u"LC_") || entry.starts_with(u"LANG=") || entry.starts_with(u"LANGUAGE=");
}

std::u16string NameOf(std::u16string_view entry) {
    return std::u16string(entry.substr(0, entry.find(u'=', 1) + 1));
}

HANDLE Inheritable(const std::filesystem::path& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES security{sizeof security, nullptr, TRUE};
    const HANDLE handle = ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &security,
                                        disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path.string());
    return handle;
}

}  // namespace

std::u16string QuoteArgument(std::u16string_view argument) {
    return u"\"" + std::u16string(argument) + u"\"";
}

TProgramResult RunProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                          const std::filesystem::path& folder, const std::vector<std::string>& environment) {
    return RunProgram(program, arguments, folder, environment, 0, nullptr);
}

TProgramResult RunProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                          const std::filesystem::path& folder, const std::vector<std::string>& environment,
                          unsigned long creationFlags,
                          const std::function<void(unsigned long)>& whileRunning) {
    TTempDir streams;
    const auto outPath = streams / "stdout";
    const auto errPath = streams / "stderr";

    // Each argument in quotation marks, split again as the program splits.
    const std::filesystem::path absolute = std::filesystem::absolute(program);
    std::u16string commandLine = QuoteArgument(absolute.u16string());
    for (const std::string& argument : arguments)
        commandLine += u" " + QuoteArgument(Utf8ToUtf16(argument));

    std::vector<std::u16string> given;
    for (const std::string& entry : environment)
        given.push_back(Utf8ToUtf16(entry));
    std::u16string block;
    wchar_t* const strings = ::GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; *entry != 0; entry += std::wcslen(entry) + 1) {
        const std::u16string text(reinterpret_cast<const char16_t*>(entry));
        bool replaced = IsLocaleVariable(text);
        for (const std::u16string& added : given)
            replaced = replaced || NameOf(added) == NameOf(text);
        if (!replaced) block += text + u'\0';
    }
    ::FreeEnvironmentStringsW(strings);
    for (const std::u16string& added : given)
        block += added + u'\0';
    block += u'\0';

    const HANDLE input = Inheritable("NUL", GENERIC_READ, OPEN_EXISTING);
    const HANDLE output = Inheritable(outPath, GENERIC_WRITE, CREATE_ALWAYS);
    const HANDLE error = Inheritable(errPath, GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = error;
    PROCESS_INFORMATION process{};
    const bool started =
        ::CreateProcessW(nullptr, reinterpret_cast<wchar_t*>(commandLine.data()), nullptr, nullptr, TRUE,
                         CREATE_UNICODE_ENVIRONMENT | (creationFlags != 0 ? creationFlags : DETACHED_PROCESS),
                         block.data(), folder.c_str(), &startup, &process);
    ::CloseHandle(input);
    ::CloseHandle(output);
    ::CloseHandle(error);
    if (!started) throw std::runtime_error("cannot start " + absolute.string());

    if (whileRunning) whileRunning(process.dwProcessId);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    ::GetExitCodeProcess(process.hProcess, &exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);

    TProgramResult result;
    result.ExitCode = static_cast<int>(exitCode);
    result.Out = ReadBytes(outPath);
    result.Err = ReadBytes(errPath);
    return result;
}

}  // namespace quillmark::test
