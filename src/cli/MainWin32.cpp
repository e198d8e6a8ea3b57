// The console program's entry on Windows: Unicode arguments split from
// GetCommandLineW, messages written as the console shows them.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#define NOGDI
#include <windows.h>

#include <iostream>
#include <streambuf>

#include "base/Interrupt.h"
#include "base/Utf.h"
#include "cli/CommandLineWin32.h"
#include "cli/RunCli.h"

namespace {

// Takes UTF-8 text and writes it to a standard handle: to a console as
// UTF-16 (WriteConsoleW), redirected to a file or a pipe as bytes in the
// console's output code page, or in the ANSI code page without a console.
class TConsoleBuffer final : public std::streambuf {
  public:
    explicit TConsoleBuffer(DWORD which) : FHandle(::GetStdHandle(which)) {}
    ~TConsoleBuffer() override { sync(); }

  protected:
    int_type overflow(int_type character) override {
        if (!traits_type::eq_int_type(character, traits_type::eof())) {
            FText.push_back(traits_type::to_char_type(character));
            if (character == '\n') sync();
        }
        return traits_type::not_eof(character);
    }

    std::streamsize xsputn(const char* text, std::streamsize count) override {
        FText.append(text, static_cast<std::size_t>(count));
        if (FText.find('\n') != std::string::npos) sync();
        return count;
    }

    int sync() override {
        // A character cut by the end of the text waits for the rest.
        const std::size_t complete = quillmark::CompleteUtf8Length(FText);
        std::u16string text = quillmark::Utf8ToUtf16(std::string_view(FText).substr(0, complete));
        FText.erase(0, complete);
        if (text.empty()) return 0;
        if (FHandle == nullptr || FHandle == INVALID_HANDLE_VALUE) return -1;
        DWORD mode = 0;
        DWORD written = 0;
        // A failed write fails the stream, which the caller reports.
        if (::GetConsoleMode(FHandle, &mode))
            return ::WriteConsoleW(FHandle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)
                       ? 0
                       : -1;
        // Files and pipes get Windows line ends, as from any console program.
        for (std::size_t at = text.find(u'\n'); at != std::u16string::npos; at = text.find(u'\n', at + 2))
            text.insert(at, 1, u'\r');
        UINT codePage = ::GetConsoleOutputCP();
        if (codePage == 0) codePage = ::GetACP();
        const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
        const auto count = static_cast<int>(text.size());
        const int length = ::WideCharToMultiByte(codePage, 0, wide, count, nullptr, 0, nullptr, nullptr);
        if (length <= 0) return 0;
        std::string bytes(static_cast<std::size_t>(length), '\0');
        ::WideCharToMultiByte(codePage, 0, wide, count, bytes.data(), length, nullptr, nullptr);
        const BOOL wrote =
            ::WriteFile(FHandle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        return wrote && written == bytes.size() ? 0 : -1;
    }

  private:
    HANDLE FHandle;
    std::string FText;
};

}  // namespace

int main() {
    quillmark::InstallInterruptHandlers();
    const auto* line = reinterpret_cast<const char16_t*>(::GetCommandLineW());
    // RunCli reads arguments as the system's bytes; here those are UTF-8.
    std::vector<std::string> arguments;
    for (const std::u16string& argument : quillmark::SplitCommandLine(line))
        arguments.push_back(quillmark::UnicodeToNative(argument));

    TConsoleBuffer outBuffer(STD_OUTPUT_HANDLE);
    TConsoleBuffer errBuffer(STD_ERROR_HANDLE);
    std::ostream out(&outBuffer);
    std::ostream err(&errBuffer);
    const int status = quillmark::RunCli(arguments, out, err);
    out.flush();
    err.flush();
    // An interrupted run says so in its status, as a shell expects.
    if (const int signal = quillmark::InterruptSignal(); signal != 0) return 128 + signal;
    return status;
}
