#pragma once

#include <windows.h>

#include <optional>
#include <string>

// The common file dialogs of the window, behind an interface a test can
// answer.
namespace quillmark {

struct TFileDialogSetup {
    std::wstring Title;       // empty: the system's default title
    std::wstring Filter;      // "CSVファイル|*.csv": descriptions and patterns, separated by "|"
    std::wstring DefaultExt;  // appended to a name typed without extension
    std::wstring Folder;      // where the dialog starts; empty: its own choice
    std::wstring FileName;    // the name it proposes
    bool MustExist = true;    // an open dialog that accepts a new name when false
};

class IFileDialogs {
  public:
    virtual ~IFileDialogs() = default;
    // The chosen file, or nothing when the user cancelled.
    virtual std::optional<std::wstring> OpenFile(HWND owner, const TFileDialogSetup& setup) = 0;
    // The chosen name (the user agreed to replace an existing file), or
    // nothing when the user cancelled.
    virtual std::optional<std::wstring> SaveFile(HWND owner, const TFileDialogSetup& setup) = 0;
};

// GetOpenFileNameW and GetSaveFileNameW.
class TCommonFileDialogs final : public IFileDialogs {
  public:
    std::optional<std::wstring> OpenFile(HWND owner, const TFileDialogSetup& setup) override;
    std::optional<std::wstring> SaveFile(HWND owner, const TFileDialogSetup& setup) override;
};

// The filter string of the dialogs: pairs of description and patterns,
// each ended by a null character, the whole ended by another. Patterns
// match names whatever their case.
// **Example**: L"CSVファイル|*.csv" -> L"CSVファイル\0*.csv\0\0".
std::wstring FormatDialogFilter(const std::wstring& filter);

}  // namespace quillmark
