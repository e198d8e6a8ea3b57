#include "win32/FileDialogs.h"

#include <commdlg.h>

namespace quillmark {

namespace {

std::optional<std::wstring> Run(HWND owner, const TFileDialogSetup& setup, bool save) {
    const std::wstring filter = FormatDialogFilter(setup.Filter);
    // Long paths: the buffer holds any path the system accepts.
    std::wstring file(32768, L'\0');
    file.replace(0, setup.FileName.size(), setup.FileName);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrInitialDir = setup.Folder.empty() ? nullptr : setup.Folder.c_str();
    dialog.lpstrTitle = setup.Title.empty() ? nullptr : setup.Title.c_str();
    dialog.lpstrDefExt = setup.DefaultExt.empty() ? nullptr : setup.DefaultExt.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_ENABLESIZING;
    if (save)
        dialog.Flags |= OFN_OVERWRITEPROMPT;
    else if (setup.MustExist)
        dialog.Flags |= OFN_FILEMUSTEXIST;
    const BOOL chosen = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (!chosen) return std::nullopt;
    file.resize(file.find(L'\0'));
    return file;
}

}  // namespace

std::wstring FormatDialogFilter(const std::wstring& filter) {
    std::wstring result = filter;
    for (wchar_t& c : result)
        if (c == L'|') c = L'\0';
    if (!result.empty()) result += L'\0';
    result += L'\0';
    return result;
}

std::optional<std::wstring> TCommonFileDialogs::OpenFile(HWND owner, const TFileDialogSetup& setup) {
    return Run(owner, setup, false);
}

std::optional<std::wstring> TCommonFileDialogs::SaveFile(HWND owner, const TFileDialogSetup& setup) {
    return Run(owner, setup, true);
}

}  // namespace quillmark
