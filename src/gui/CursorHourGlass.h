#pragma once

#include <Qt>

#include "model/UserInterface.h"

namespace quillmark {

// Sets `cursor` over the whole application until the last reference goes,
// then restores the one before: nested uses unwind in reverse order. Pending
// events are processed once right away, so the cursor shows before the work
// starts.
TCursorHourGlassRef CreateCursorHourGlass(Qt::CursorShape cursor = Qt::WaitCursor);

}  // namespace quillmark
