#pragma once

#include <cstdint>
#include <string>

#include "base/ColumnSet.h"

namespace quillmark {

// Encoding selector: the index of an entry of the window's encoding list.
inline constexpr std::int32_t kEncodingAnsi = 0;
inline constexpr std::int32_t kEncodingUtf8 = 1;
inline constexpr std::int32_t kEncodingNotGiven = -1;

// The column-set marker for "no column list given".
inline constexpr std::int32_t kColumnsNotGiven = -1;

// The settings of one conversion. Every field can say that it is not given:
// an empty path, a negative encoding, -1 in the column set. Applying a record
// changes only what it gives, which is how settings files and command-line
// switches are layered.
struct TConvertInfo {
    std::u16string SourceFileName;
    std::u16string TargetFileName;
    std::int32_t Encoding = kEncodingAnsi;
    TColumnSet QuoteColumns;
    std::u16string SettingsFileName;

    bool SourceGiven() const { return !SourceFileName.empty(); }
    bool TargetGiven() const { return !TargetFileName.empty(); }
    bool EncodingGiven() const { return Encoding >= 0; }
    bool ColumnsGiven() const { return !QuoteColumns.contains(kColumnsNotGiven); }
    bool SettingsFileGiven() const { return !SettingsFileName.empty(); }

    bool operator==(const TConvertInfo&) const = default;
};

}  // namespace quillmark
