#pragma once

#include <cstdint>
#include <functional>

namespace quillmark {

// Told how far a long operation has come: `done` of `total` units (bytes of
// a file, or code units of a text). Called now and then, never per unit, so
// that a window can repaint and show progress. It may throw EAbort to cancel
// the operation.
using TProgressCallback = std::function<void(std::uint64_t done, std::uint64_t total)>;

}  // namespace quillmark
