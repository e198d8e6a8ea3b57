#pragma once

#include <QIcon>

namespace quillmark {

// The tool-bar pictures, drawn as vectors at whatever size is asked for, so
// they stay crisp at any scale. Indexes as the actions use them.
enum class TActionIcon {
    SaveBatch = 0,
    SaveCsv = 1,
    SaveSettings = 2,
    CheckAll = 3,
    Uncheck = 4,
    OpenSettings = 5,
    FileNew = 6,
    Help = 7,
};

QIcon ActionIcon(TActionIcon icon);

}  // namespace quillmark
