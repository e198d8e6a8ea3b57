// quillmark_win32_screenshot OUT.BMP [--size=WxH] [ARGUMENT...]: shows the window with the
// arguments applied, as quillmark.exe would, and saves a picture of it as
// a 24-bit bitmap (scripts/screenshot-windows makes the README's picture).
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <vector>

#include "cli/CommandLineWin32.h"
#include "win32/Controls.h"
#include "win32/FormMain.h"
#include "win32/WideString.h"
#include "win32/WindowUserInterface.h"

namespace {

void PumpFor(DWORD milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    while (GetTickCount() < end) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(20);
    }
}

bool SaveWindow(HWND hwnd, const wchar_t* path) {
    RECT bounds{};
    GetWindowRect(hwnd, &bounds);
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, bounds.left, bounds.top, SRCCOPY);
    SelectObject(memory, old);
    GdiFlush();
    const DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    const DWORD imageBytes = rowBytes * static_cast<DWORD>(height);
    BITMAPFILEHEADER file{
        0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) + imageBytes, 0, 0,
        sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
    bool saved = false;
    if (FILE* out = _wfopen(path, L"wb")) {
        saved = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
                std::fwrite(bits, imageBytes, 1, out) == 1;
        saved = std::fclose(out) == 0 && saved;
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    quillmark::InitWindowControls();
    std::vector<std::u16string> arguments =
        quillmark::SplitCommandLine(quillmark::FromWide(GetCommandLineW()));
    if (arguments.empty()) return 2;
    const std::wstring output = quillmark::ToWide(arguments.front());
    arguments.erase(arguments.begin());
    // "--size=WIDTHxHEIGHT" first: the window's size in pixels.
    int width = 0, height = 0;
    if (!arguments.empty() && arguments.front().starts_with(u"--size=")) {
        const std::string size(arguments.front().begin() + 7, arguments.front().end());
        if (std::sscanf(size.c_str(), "%dx%d", &width, &height) != 2) return 2;
        arguments.erase(arguments.begin());
    }

    quillmark::TMessageBoxUserInterface ui;
    quillmark::TCommonFileDialogs dialogs;
    quillmark::TFormMain form(ui, dialogs);
    ui.SetOwner(form.Hwnd());
    form.SetArguments(std::move(arguments));
    SetWindowPos(form.Hwnd(), nullptr, 40, 40, width, height, (width > 0 ? 0 : SWP_NOSIZE) | SWP_NOZORDER);
    form.Show(SW_SHOWNORMAL);
    PumpFor(2500);
    return SaveWindow(form.Hwnd(), output.c_str()) ? 0 : 1;
}
