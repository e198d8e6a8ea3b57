#pragma once

#include <memory>
#include <string_view>

#include "base/Progress.h"

namespace quillmark {

// The busy cursor. It shows from its creation until the last reference to
// it goes; nested uses unwind in reverse order.
class ICursorHourGlass {
  public:
    virtual ~ICursorHourGlass() = default;
};

using TCursorHourGlassRef = std::shared_ptr<ICursorHourGlass>;

// What the model needs of a front end: message boxes with one OK button,
// the busy cursor and, optionally, progress of long work. The window shows
// real boxes, the console prints to stderr, tests record the calls.
class IUserInterface {
  public:
    virtual void ShowWarning(std::u16string_view message) = 0;
    virtual void ShowInformation(std::u16string_view message) = 0;
    // Shows the busy cursor and lets pending window messages through once.
    virtual TCursorHourGlassRef CreateCursorHourGlass() = 0;
    // Told how far reading and converting have come; may throw EAbort.
    virtual TProgressCallback Progress() { return {}; }

  protected:
    ~IUserInterface() = default;
};

}  // namespace quillmark
