#pragma once

#include <windows.h>

#include <commctrl.h>

namespace quillmark {

// The eight tool-bar pictures at `size` pixels square, in the order of
// their image indexes. They come from the strips the build renders at 48,
// 60, 72 and 96 pixels; another size takes the nearest smaller strip, so
// a picture is never blurred by enlarging it.
HIMAGELIST LoadToolBarImages(int size);

}  // namespace quillmark
