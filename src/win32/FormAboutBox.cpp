#include "win32/FormAboutBox.h"

#include <shellapi.h>

#include "model/AppInfo.h"
#include "win32/Resource.h"
#include "win32/WideString.h"

namespace quillmark {

TFormAboutBox::TFormAboutBox() {
    const TAppInfo info;
    FProductName = L"Quillmark";
    FVersion = ToWide(info.GetInfo(aiFileVersion));
    FCopyright = L"Copyright " + ToWide(info.GetInfo(aiLegalCopyright));
    FUrl = ToWide(kMakerWebPage);
}

void TFormAboutBox::ShowModal(HWND owner) {
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUTBOX), owner, DialogProc,
                    reinterpret_cast<LPARAM>(this));
    if (FUnderlined != nullptr) DeleteObject(FUnderlined);
    FUnderlined = nullptr;
}

INT_PTR CALLBACK TFormAboutBox::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* box = reinterpret_cast<TFormAboutBox*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            box = reinterpret_cast<TFormAboutBox*>(lParam);
            SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
            SetDlgItemTextW(hwnd, IDC_PRODUCTNAME, box->FProductName.c_str());
            SetDlgItemTextW(hwnd, IDC_VERSION, box->FVersion.c_str());
            SetDlgItemTextW(hwnd, IDC_COPYRIGHT, box->FCopyright.c_str());
            SetDlgItemTextW(hwnd, IDC_URL, box->FUrl.c_str());
            LOGFONTW font{};
            GetObjectW(reinterpret_cast<HFONT>(SendDlgItemMessageW(hwnd, IDC_URL, WM_GETFONT, 0, 0)),
                       sizeof font, &font);
            font.lfUnderline = TRUE;
            box->FUnderlined = CreateFontIndirectW(&font);
            SendDlgItemMessageW(hwnd, IDC_URL, WM_SETFONT, reinterpret_cast<WPARAM>(box->FUnderlined), FALSE);
            if (OnShown != nullptr) OnShown(hwnd);
            return TRUE;
        }
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lParam) == GetDlgItem(hwnd, IDC_URL)) {
                SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_HOTLIGHT));
                SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
                return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
            }
            return FALSE;
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(wParam) == GetDlgItem(hwnd, IDC_URL)) {
                SetCursor(LoadCursorW(nullptr, IDC_HAND));
                SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, TRUE);
                return TRUE;
            }
            return FALSE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                case IDCANCEL:
                    EndDialog(hwnd, IDOK);
                    return TRUE;
                case IDC_URL:
                    // What the shell makes of the address is its own business.
                    if (HIWORD(wParam) == STN_CLICKED && box != nullptr)
                        ShellExecuteW(nullptr, L"open", box->FUrl.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
                    return TRUE;
            }
            return FALSE;
    }
    return FALSE;
}

}  // namespace quillmark
