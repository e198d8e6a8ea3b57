#pragma once

#include <windows.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/UserInterface.h"
#include "win32/FileDialogs.h"

namespace quillmark::test {

// A fresh folder under the system's temporary folder, removed with
// everything in it when the object goes.
class TTempFolder {
  public:
    TTempFolder();
    ~TTempFolder();
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;
    std::filesystem::path operator/(std::wstring_view name) const { return FPath / name; }
    const std::filesystem::path& Path() const { return FPath; }

  private:
    std::filesystem::path FPath;
};

void WriteBytes(const std::filesystem::path& path, std::string_view bytes);
std::string ReadBytes(const std::filesystem::path& path);

// Records what the model shows instead of showing it, and how deep the
// busy cursor is nested.
class TRecordingUserInterface final : public IUserInterface {
  public:
    void ShowWarning(std::u16string_view message) override { Warnings.emplace_back(message); }
    void ShowInformation(std::u16string_view message) override { Informations.emplace_back(message); }
    TCursorHourGlassRef CreateCursorHourGlass() override;

    std::vector<std::u16string> Warnings;
    std::vector<std::u16string> Informations;
    int Depth = 0;
    int DeepestDepth = 0;
    // Called whenever a cursor is created, with the depth it brings.
    std::function<void(int depth)> OnCursor;
};

// Answers the file dialogs from a queue; an empty queue cancels.
class TScriptedDialogs final : public IFileDialogs {
  public:
    std::optional<std::wstring> OpenFile(HWND owner, const TFileDialogSetup& setup) override;
    std::optional<std::wstring> SaveFile(HWND owner, const TFileDialogSetup& setup) override;

    std::vector<std::optional<std::wstring>> Answers;
    std::vector<TFileDialogSetup> Asked;
};

// Dispatches the messages waiting for this thread.
void PumpMessages();

// A memory block of dropped files as the shell makes it for WM_DROPFILES.
HDROP MakeDrop(const std::vector<std::wstring>& files);

}  // namespace quillmark::test
