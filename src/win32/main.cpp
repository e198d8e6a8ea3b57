// quillmark.exe: the desktop program on the Windows API.
#include <windows.h>

#include <commctrl.h>

#include "base/Exception.h"
#include "base/Utf.h"
#include "cli/CommandLineWin32.h"
#include "win32/Controls.h"
#include "win32/FormMain.h"
#include "win32/WideString.h"
#include "win32/WindowUserInterface.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    quillmark::InitWindowControls();

    quillmark::TMessageBoxUserInterface ui;
    quillmark::TCommonFileDialogs dialogs;
    bool autoRunFailed = false;
    try {
        quillmark::TFormMain form(ui, dialogs);
        ui.SetOwner(form.Hwnd());
        form.OnClosed = [] { PostQuitMessage(0); };
        form.SetArguments(quillmark::SplitCommandLine(quillmark::FromWide(GetCommandLineW())));
        form.Show(showCommand);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (form.Hwnd() != nullptr && form.PreTranslateMessage(message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        autoRunFailed = form.AutoRunFailed();
    } catch (const quillmark::Exception& error) {
        MessageBoxW(nullptr, quillmark::ToWide(error.Message()).c_str(), L"Quillmark",
                    MB_OK | MB_ICONWARNING);
        autoRunFailed = true;
    } catch (const std::exception& error) {
        MessageBoxW(nullptr, quillmark::ToWide(quillmark::Utf8ToUtf16(error.what())).c_str(), L"Quillmark",
                    MB_OK | MB_ICONWARNING);
        autoRunFailed = true;
    }
    return autoRunFailed ? 1 : 0;
}
