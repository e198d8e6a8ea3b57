// Runs the built quillmark-cli.exe on files written here and compares exact
// bytes: the target, and the messages as a redirected stderr takes them, in
// the ANSI code page with Windows line ends.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#define NOGDI
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "base/CodePage.h"
#include "base/FileSystem.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "base/Stream.h"
#include "base/Utf.h"
#include "support/RunProgram.h"
#include "support/TestFiles.h"

namespace quillmark {
namespace {

using test::Escape;
using test::ReadBytes;
using test::RunProgram;
using test::TTempDir;
using test::WriteBytes;

const std::filesystem::path kProgram = QUILLMARK_CLI_PATH;

// The program runs with the system's ANSI code page, 932 here: Windows
// ignores the locale variable, and Wine keeps the code page of the process
// that started the program (the suite runs with LANG=ja_JP.UTF-8).
const std::vector<std::string> kJapanese = {"LC_ALL=ja_JP.UTF-8"};

// A message line as the program writes it to a file in code page 932.
std::string Cp932Line(std::u16string_view text) {
    return WideCharToMultiByte(932, text).value() + "\r\n";
}
std::string Cp932Line(std::string_view utf8) {
    return Cp932Line(Utf8ToUtf16(utf8));
}

std::u16string Wide(const std::filesystem::path& path) {
    return FromNativePath(path);
}

std::string CreateErrorLine(const std::filesystem::path& path, DWORD error) {
    return Cp932Line(Format(messages::CreateErrorPattern,
                            {ExpandFileName(Wide(path)), SystemErrorText(static_cast<int>(error))}));
}

struct EndToEndCase {
    const char* name;
    std::vector<std::string> locale;
    std::string source;  // bytes of in.csv
    std::vector<std::string> arguments;
    int exitCode;
    std::string target;  // bytes of out.csv
    std::string err;
};

class EndToEnd : public ::testing::TestWithParam<EndToEndCase> {};

TEST_P(EndToEnd, ConvertsExactly) {
    const EndToEndCase& c = GetParam();
    TTempDir folder;
    WriteBytes(folder / "in.csv", c.source);
    const auto result = RunProgram(kProgram, c.arguments, folder.Path(), c.locale);
    EXPECT_EQ(result.ExitCode, c.exitCode);
    EXPECT_EQ(result.Out, "");
    EXPECT_EQ(Escape(result.Err), Escape(c.err));
    if (c.exitCode == 0) {
        EXPECT_EQ(Escape(ReadBytes(folder / "out.csv")), Escape(c.target));
        EXPECT_EQ(folder.Listing(), "in.csv out.csv");
    } else {
        EXPECT_EQ(folder.Listing(), "in.csv");
    }
}

const std::vector<std::string> kInOut = {"/source:in.csv", "/target:out.csv"};

std::vector<std::string> With(std::vector<std::string> more) {
    std::vector<std::string> arguments = kInOut;
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
}

INSTANTIATE_TEST_SUITE_P(
    Programs, EndToEnd,
    ::testing::Values(
        EndToEndCase{"ShiftJisToAnsi932", kJapanese,
                     "\x8E\x81\x96\xBC,\x93\xFA\x95\x74\r\n\x8E\x52\x93\x63,\"1,2\"\r\n", With({"/quote:0"}),
                     0, "\"\x8E\x81\x96\xBC\",\x93\xFA\x95\x74\r\n\"\x8E\x52\x93\x63\",1,2\r\n", ""},
        EndToEndCase{"ShiftJisToUtf8", kJapanese, "\x82\xA0,\x81\x60\n", With({"/encoding:1", "/quote:1"}), 0,
                     "\xE3\x81\x82,\"\xEF\xBD\x9E\"\r\n", ""},
        EndToEndCase{"Utf8BomToAnsi932", kJapanese, "\xEF\xBB\xBFx,\xE3\x81\x82\n", With({}), 0,
                     "x,\x82\xA0\r\n", ""},
        EndToEndCase{"EucJpWaveDash", kJapanese, "\xA4\xA2,\xA1\xC1\n", With({"/encoding:1"}), 0,
                     "\xE3\x81\x82,\xEF\xBD\x9E\r\n", ""},
        EndToEndCase{"Utf16LeWithMark", kJapanese,
                     std::string("\xFF\xFE"
                                 "a\0,\0b\0\n\0",
                                 10),
                     With({"/quote:0,1", "/encoding:1"}), 0, "\"a\",\"b\"\r\n", ""},
        EndToEndCase{"LaterSwitchesWin", kJapanese, "a,b\n",
                     With({"/quote:0", "/quote:1", "/target:out.csv"}), 0, "a,\"b\"\r\n", ""},
        EndToEndCase{"AutoIsAccepted", kJapanese, "a\n", With({"/AUTO"}), 0, "a\r\n", ""},
        EndToEndCase{"MissingSource",
                     kJapanese,
                     "a\n",
                     {"/source:gone.csv", "/target:out.csv"},
                     1,
                     "",
                     Cp932Line(messages::SourceNotFound)},
        EndToEndCase{"BadArgument", kJapanese, "a\n", With({"what?<"}), 2, "",
                     Cp932Line(messages::InvalidFileNameChars)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EndToEndWin32, ListsColumnsInTheAnsiCodePage) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", "\x96\xBC\x91\x4F,\x93\xFA\x95\x74\r\n1,2,3\r\n");
    const auto result = RunProgram(kProgram, {"--list-columns", "/source:in.csv", "/target:out.csv", "/auto"},
                                   folder.Path(), kJapanese);
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_EQ(Escape(result.Out), Escape("0\tA" + Cp932Line("列（名前）") + "1\tB" + Cp932Line("列（日付）") +
                                         "2\tC" + Cp932Line("列（）")));
    EXPECT_EQ(folder.Listing(), "in.csv");
}

// A target another program holds open without sharing (a spreadsheet
// program does), one marked read-only, and one in a folder that does not
// exist: the create error names the file and the system's reason, and the
// old target stays as it was.
TEST(EndToEndWin32, TargetThatCannotBeReplacedStaysAsItWas) {
    TTempDir folder;
    WriteBytes(folder / "in.csv", "a,b\n");
    WriteBytes(folder / "out.csv", "precious");
    {
        const HANDLE held = ::CreateFileW((folder / "out.csv").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                          nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        const auto result = RunProgram(kProgram, kInOut, folder.Path(), kJapanese);
        ::CloseHandle(held);
        EXPECT_EQ(result.ExitCode, 1);
        EXPECT_EQ(Escape(result.Err), Escape(CreateErrorLine(folder / "out.csv", ERROR_SHARING_VIOLATION)));
    }
    EXPECT_EQ(ReadBytes(folder / "out.csv"), "precious");
    EXPECT_EQ(folder.Listing(), "in.csv out.csv");

    ASSERT_TRUE(::SetFileAttributesW((folder / "out.csv").c_str(), FILE_ATTRIBUTE_READONLY));
    auto result = RunProgram(kProgram, kInOut, folder.Path(), kJapanese);
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(Escape(result.Err), Escape(CreateErrorLine(folder / "out.csv", ERROR_ACCESS_DENIED)));
    ::SetFileAttributesW((folder / "out.csv").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadBytes(folder / "out.csv"), "precious");
    EXPECT_EQ(folder.Listing(), "in.csv out.csv");

    result = RunProgram(kProgram, {"/source:in.csv", "/target:no\\out.csv"}, folder.Path(), kJapanese);
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(Escape(result.Err), Escape(CreateErrorLine(folder / "no" / "out.csv", ERROR_PATH_NOT_FOUND)));
    EXPECT_EQ(folder.Listing(), "in.csv out.csv");
}

// The arguments are split by the program's own rules, not the C runtime's:
// a backslash before the closing quotation mark stays in the path and does
// not swallow the next argument.
TEST(EndToEndWin32, BackslashBeforeTheClosingQuoteStaysInThePath) {
    TTempDir folder;
    std::filesystem::create_directory(folder / "sub dir");
    WriteBytes(folder / "sub dir" / "in.csv", "a,b\n");
    const auto converted =
        RunProgram(kProgram, {"/source:sub dir\\in.csv", "/target:sub dir\\out.csv", "/quote:1"},
                   folder.Path(), kJapanese);
    EXPECT_EQ(converted.ExitCode, 0);
    EXPECT_EQ(ReadBytes(folder / "sub dir" / "out.csv"), "a,\"b\"\r\n");

    // "/target:...\sub dir\" names the folder itself, which cannot become a file.
    const auto result = RunProgram(kProgram, {"/source:sub dir\\in.csv", "/target:sub dir\\", "/quote:0"},
                                   folder.Path(), kJapanese);
    EXPECT_EQ(result.ExitCode, 1);
    const std::string named = Cp932Line(
        Format(messages::CreateErrorPattern, {ExpandFileName(Wide(folder / "sub dir")) + u"\\", u""}));
    EXPECT_EQ(Escape(result.Err.substr(0, named.size() - 2)), Escape(named.substr(0, named.size() - 2)));
}

// A path of Japanese folders, longer than the classic limit of 260 characters.
TEST(EndToEndWin32, JapaneseAndLongPathsWork) {
    TTempDir folder;
    std::u16string deep = Wide(folder.Path());
    for (int level = 0; level < 16; ++level) {
        deep += u"\\日本語のとても長いフォルダ名です_" + Utf8ToUtf16(std::to_string(level));
        ASSERT_TRUE(
            ::CreateDirectoryW(reinterpret_cast<const wchar_t*>((u"\\\\?\\" + deep).c_str()), nullptr));
    }
    ASSERT_GT(deep.size(), 300u);
    const std::u16string source = deep + u"\\入力.csv";
    const std::u16string target = deep + u"\\出力.csv";
    {
        TSafeFileWriter writer(source);
        writer.Write("\x82\xA0,x\r\n");
        writer.Commit();
    }
    const auto result =
        RunProgram(kProgram, {"/source:" + Utf16ToUtf8(source), "/target:" + Utf16ToUtf8(target), "/quote:0"},
                   folder.Path(), kJapanese);
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_EQ(Escape(result.Err), "");
    ASSERT_TRUE(FileExists(target));
    TFileStream written(target);
    std::string bytes(static_cast<std::size_t>(written.Size()), '\0');
    written.ReadBuffer(bytes.data(), bytes.size());
    EXPECT_EQ(Escape(bytes), Escape("\"\x82\xA0\",x\r\n"));
    // TTempDir removes the folder through std::filesystem, which stops at 260.
    for (std::u16string path = deep; path.size() > Wide(folder.Path()).size();
         path.resize(path.find_last_of(u'\\'))) {
        for (const std::u16string& file : {path + u"\\入力.csv", path + u"\\出力.csv"})
            ::DeleteFileW(reinterpret_cast<const wchar_t*>((u"\\\\?\\" + file).c_str()));
        ::RemoveDirectoryW(reinterpret_cast<const wchar_t*>((u"\\\\?\\" + path).c_str()));
    }
}

// A pipe nobody reads holds the program in a write: Ctrl+C still ends it
// (the waiting write is cancelled), not only a second one.
TEST(EndToEndWin32, CtrlCEndsAWriteToAPipeNobodyReads) {
    if (::GetConsoleWindow() == nullptr && !::AllocConsole()) GTEST_SKIP() << "no console to share";
    TTempDir folder;
    std::string source;
    for (int row = 0; row < 200000; ++row)
        source += "row " + std::to_string(row) + ",some text to write\r\n";
    WriteBytes(folder / "in.csv", source);
    const std::string name = "\\\\.\\pipe\\quillmark-stalled-" + std::to_string(::GetCurrentProcessId());
    const HANDLE pipe = ::CreateNamedPipeA(name.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                                           4096, 4096, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    bool sent = false;
    bool ended = true;
    // The program starts with Ctrl+C as this process has it: not ignored,
    // whatever a test before left.
    ::SetConsoleCtrlHandler(nullptr, FALSE);
    const auto result = RunProgram(
        kProgram, {"/source:in.csv", "/target:" + name, "/quote:0"}, folder.Path(), kJapanese,
        CREATE_DEFAULT_ERROR_MODE, [&](unsigned long processId) {
            ::SetConsoleCtrlHandler(nullptr, TRUE);
            ::ConnectNamedPipe(pipe, nullptr);
            // Bytes wait in the pipe: the program is in its writes.
            for (int i = 0; i < 20000; ++i) {
                DWORD waiting = 0;
                if (::PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr) && waiting > 0) break;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            sent = ::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
            // One that stays in its write fails the test rather than hang it.
            const HANDLE process = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId);
            if (::WaitForSingleObject(process, 20000) == WAIT_TIMEOUT) {
                ended = false;
                ::TerminateProcess(process, 99);
            }
            ::CloseHandle(process);
        });
    ::CloseHandle(pipe);
    ASSERT_TRUE(sent);
    EXPECT_TRUE(ended);
    EXPECT_EQ(result.ExitCode, 128 + 2) << Escape(result.Err);
    EXPECT_EQ(folder.Listing(), "in.csv");
}

// Ctrl+C in the console while the target is being written: the program
// stops at a safe point, the old target stays and no temporary file is
// left; the exit status is 128 + SIGINT. (Ctrl+Break to a process group of
// its own would spare this process, but Wine does not deliver it.)
TEST(EndToEndWin32, CtrlCDuringAConversionLeavesTheOldTarget) {
    // The event goes to the processes of this process's console. Wine gives
    // a console only to programs started from a terminal (scripts/windows
    // runs the suite in one).
    if (::GetConsoleWindow() == nullptr && !::AllocConsole()) GTEST_SKIP() << "no console to share";
    TTempDir folder;
    std::string source;
    // Large enough to be still under way when the event arrives.
    for (int row = 0; row < 3000000; ++row)
        source += "row " + std::to_string(row) + ",\x93\xFA\x96\x7B\x8C\xEA,some more text to write\r\n";
    WriteBytes(folder / "in.csv", source);
    WriteBytes(folder / "out.csv", "precious");

    bool sent = false;
    bool seen = false;
    DWORD error = 0;
    ::SetConsoleCtrlHandler(nullptr, FALSE);
    const auto result =
        RunProgram(kProgram, {"/source:in.csv", "/target:out.csv", "/quote:0,1"}, folder.Path(), kJapanese,
                   CREATE_DEFAULT_ERROR_MODE, [&](unsigned long processId) {
                       // Ctrl+C goes to every process of the console: this one ignores
                       // it, the program takes it again when it starts.
                       ::SetConsoleCtrlHandler(nullptr, TRUE);
                       // As soon as the temporary file is there, the conversion is under way.
                       const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
                       const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, processId);
                       while (!sent && std::chrono::steady_clock::now() < until &&
                              ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
                           for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
                               if (entry.path().extension() == ".tmp") {
                                   seen = true;
                                   sent = ::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
                                   if (!sent) error = ::GetLastError();
                                   break;
                               }
                           }
                           std::this_thread::sleep_for(std::chrono::milliseconds(1));
                       }
                       ::CloseHandle(process);
                   });
    ASSERT_TRUE(sent) << "temporary file seen: " << seen << ", error " << error << ", console "
                      << (::GetConsoleWindow() != nullptr) << ", exit " << result.ExitCode << " "
                      << Escape(result.Err);
    EXPECT_EQ(result.ExitCode, 128 + 2);
    EXPECT_EQ(ReadBytes(folder / "out.csv"), "precious");
    EXPECT_EQ(folder.Listing(), "in.csv out.csv");
}

}  // namespace
}  // namespace quillmark
