#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/Utf.h"
#include "model/UserInterface.h"

namespace quillmark::test {

// Records what a front end would have shown: "warning: ...", "info: ...".
class TRecordingUserInterface : public IUserInterface {
  public:
    void ShowWarning(std::u16string_view message) override {
        Shown.push_back("warning: " + Utf16ToUtf8(message));
        if (WhileShowing) WhileShowing();
        MaxCursorsWhileShowing = std::max(MaxCursorsWhileShowing, Cursors);
    }
    void ShowInformation(std::u16string_view message) override {
        Shown.push_back("info: " + Utf16ToUtf8(message));
        if (WhileShowing) WhileShowing();
        MaxCursorsWhileShowing = std::max(MaxCursorsWhileShowing, Cursors);
    }
    TCursorHourGlassRef CreateCursorHourGlass() override {
        ++CursorsCreated;
        return std::make_shared<TCursor>(*this);
    }

    std::vector<std::string> Shown;
    std::function<void()> WhileShowing;  // called as each message shows
    int Cursors = 0;                     // busy cursors alive now
    int CursorsCreated = 0;
    int MaxCursorsWhileShowing = 0;

  private:
    struct TCursor : ICursorHourGlass {
        explicit TCursor(TRecordingUserInterface& ui) : Ui(ui) { ++Ui.Cursors; }
        ~TCursor() override { --Ui.Cursors; }
        TRecordingUserInterface& Ui;
    };
};

}  // namespace quillmark::test
