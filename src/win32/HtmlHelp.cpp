#include "win32/HtmlHelp.h"

#include "settings/FileName.h"
#include "win32/WideString.h"

namespace quillmark {

namespace {

constexpr UINT kDisplayTableOfContents = 0x0001;  // HH_DISPLAY_TOC
using THtmlHelpW = HWND(WINAPI*)(HWND, const wchar_t*, UINT, DWORD_PTR);

THtmlHelpW HtmlHelpFunction() {
    static const THtmlHelpW function = [] {
        HMODULE viewer = LoadLibraryW(L"hhctrl.ocx");
        return viewer == nullptr ? nullptr
                                 : reinterpret_cast<THtmlHelpW>(
                                       reinterpret_cast<void*>(GetProcAddress(viewer, "HtmlHelpW")));
    }();
    return function;
}

}  // namespace

std::u16string HelpFileName(std::u16string_view programPath) {
    return ChangeFileExt(programPath, u".CHM");
}

bool ShowHelpContents(HWND owner, const std::u16string& helpFile) {
    const DWORD attributes = GetFileAttributesW(WidePtr(helpFile));
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
    const THtmlHelpW htmlHelp = HtmlHelpFunction();
    return htmlHelp != nullptr && htmlHelp(owner, WidePtr(helpFile), kDisplayTableOfContents, 0) != nullptr;
}

}  // namespace quillmark
