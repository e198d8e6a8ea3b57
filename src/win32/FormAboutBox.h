#pragma once

#include <windows.h>

#include <string>

namespace quillmark {

// The about box: product name, file version and copyright line from the
// program's version resource, and the address of the manual. Reading the
// resource happens on construction and throws there when it fails, so a
// box that could not be filled is never shown.
class TFormAboutBox {
  public:
    TFormAboutBox();

    // Shows the box modally over `owner`; returns when it is closed.
    void ShowModal(HWND owner);

    const std::wstring& ProductName() const { return FProductName; }
    const std::wstring& Version() const { return FVersion; }
    const std::wstring& Copyright() const { return FCopyright; }
    const std::wstring& Url() const { return FUrl; }

    // Called with the box's window once it is filled (for the tests).
    static inline void (*OnShown)(HWND box) = nullptr;

  private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    std::wstring FProductName;
    std::wstring FVersion;
    std::wstring FCopyright;
    std::wstring FUrl;
    HFONT FUnderlined = nullptr;
};

}  // namespace quillmark
