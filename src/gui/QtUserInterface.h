#pragma once

#include "model/UserInterface.h"

namespace quillmark {

// Message boxes with the single button OK, and the hourglass cursor.
class TQtUserInterface final : public IUserInterface {
  public:
    void ShowWarning(std::u16string_view message) override;
    void ShowInformation(std::u16string_view message) override;
    TCursorHourGlassRef CreateCursorHourGlass() override;
};

}  // namespace quillmark
