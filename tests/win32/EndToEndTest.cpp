// quillmark.exe run as the user runs it, in a folder of the test's own.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "WindowTestSupport.h"

namespace quillmark {
namespace {

// The program's path as Windows sees it: the cross build names it with a
// host path, which Wine shows on drive Z:.
std::wstring ProgramPath() {
    std::wstring path;
    for (const char c : std::string(QUILLMARK_WIN32_PATH))
        path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return path.starts_with(L"\\") ? L"Z:" + path : path;
}

struct TRun {
    PROCESS_INFORMATION Process{};
    bool Started = false;

    TRun(const std::wstring& arguments, const std::filesystem::path& folder) {
        std::wstring commandLine = L"\"" + ProgramPath() + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        Started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 folder.wstring().c_str(), &startup, &Process) != FALSE;
    }
    ~TRun() {
        if (!Started) return;
        if (WaitForSingleObject(Process.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(Process.hProcess, 99);
        CloseHandle(Process.hThread);
        CloseHandle(Process.hProcess);
    }
    // The exit code, or -1 when it has not ended within `milliseconds`.
    int Wait(DWORD milliseconds) {
        if (WaitForSingleObject(Process.hProcess, milliseconds) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(Process.hProcess, &code);
        return static_cast<int>(code);
    }
    // Asks every window of the program to close, as the user would.
    void CloseWindows() {
        EnumWindows(
            [](HWND hwnd, LPARAM data) -> BOOL {
                DWORD owner = 0;
                GetWindowThreadProcessId(hwnd, &owner);
                if (owner == reinterpret_cast<TRun*>(data)->Process.dwProcessId && IsWindowVisible(hwnd))
                    PostMessageW(hwnd, WM_CLOSE, 0, 0);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(this));
    }
};

TEST(QuillmarkExe, AutoWritesTheTargetAndExitsWithZero) {
    test::TTempFolder folder;
    test::WriteBytes(folder / L"in.csv", "a,b,c\r\n1,2,3\r\n");
    TRun run(L"/source:in.csv \"/target:out file.csv\" /quote:0,2 /auto", folder.Path());
    ASSERT_TRUE(run.Started);
    EXPECT_EQ(run.Wait(60000), 0);
    EXPECT_EQ(test::ReadBytes(folder / L"out file.csv"), "\"a\",b,\"c\"\r\n\"1\",2,\"3\"\r\n");
}

TEST(QuillmarkExe, AutoWithAMissingSourceStaysOpenAndExitsWithOne) {
    test::TTempFolder folder;
    TRun run(L"/source:missing.csv /target:out.csv /quote:0 /auto", folder.Path());
    ASSERT_TRUE(run.Started);
    EXPECT_EQ(run.Wait(3000), -1) << "the window closed by itself";
    int code = -1;
    for (int attempt = 0; attempt < 40 && code == -1; ++attempt) {
        run.CloseWindows();
        code = run.Wait(500);
    }
    EXPECT_EQ(code, 1);
    EXPECT_FALSE(std::filesystem::exists(folder / L"out.csv"));
}

}  // namespace
}  // namespace quillmark
