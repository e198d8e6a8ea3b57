#pragma once

#include <windows.h>

#include "model/UserInterface.h"

namespace quillmark {

// Message boxes with the single OK button over an owner window, and the
// system's busy cursor, counted so that nested uses unwind in order.
class TMessageBoxUserInterface final : public IUserInterface {
  public:
    void SetOwner(HWND owner) { FOwner = owner; }
    void ShowWarning(std::u16string_view message) override;
    void ShowInformation(std::u16string_view message) override;
    TCursorHourGlassRef CreateCursorHourGlass() override;

  private:
    HWND FOwner = nullptr;
};

// How many busy cursors are alive in this program (0 when none).
int BusyCursorDepth();

}  // namespace quillmark
