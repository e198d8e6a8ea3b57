#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/Progress.h"
#include "csv/CsvTable.h"

namespace quillmark {

// Reads CSV into a rectangular table. Malformed CSV is never an error: every
// text yields a table. Loading fails only when the file cannot be opened,
// read or decoded, and that is a false result, never a message.
//
// A TCsv is loaded once; loading again needs Clear() first.
class TCsv {
  public:
    TCsv() = default;
    ~TCsv() { Clear(); }

    bool IsEmpty() const { return FRowCount == 0 && FColCount == 0 && FTable.empty(); }
    void Clear();

    // Reads the file (other readers allowed, writers denied where the system
    // can deny them), decodes it by its detected encoding and loads the text.
    // False on every failure, and when the object is already loaded. Only a
    // cancel (EAbort from `progress`) passes through as an exception.
    bool LoadFromFile(const std::u16string& fileName, const TProgressCallback& progress = {});

    // Splits the text and pads every row with empty fields to the length of
    // the longest. False, with nothing changed, when the object is not empty.
    bool LoadFromText(std::u16string_view text, const TProgressCallback& progress = {});

    // The state machine over a whole text; rows are not padded.
    //
    // **Example**: u"a,b,c\n1,2\n" -> {{a, b, c}, {1, 2}};
    // u"\"x\"\"y\",z" -> {{x"y, z}}; u"a,b,\r\n" -> {{a, b}}.
    static TCsvTable Split(std::u16string_view text, const TProgressCallback& progress = {});

    // One step of Split: grows the table to row + 1 rows and the row to
    // column + 1 fields as needed, then appends the unit to that field.
    static void AppendChar(std::size_t row, std::size_t column, char16_t unit, TCsvTable& table);
    static void AppendChars(std::size_t row, std::size_t column, std::u16string_view units, TCsvTable& table);

    TCsvTable GetTable() const { return FTable; }
    // Hands the table over and leaves the object empty.
    TCsvTable TakeTable();

    std::size_t RowCount() const { return FRowCount; }
    std::size_t ColCount() const { return FColCount; }

  private:
    std::size_t FRowCount = 0;
    std::size_t FColCount = 0;
    TCsvTable FTable;
};

// Loads the file into a fresh TCsv. On success the caller's table is
// replaced by the loaded rows; on failure it is left as it was.
bool ReadCsvFile(const std::u16string& fileName, TCsvTable& table, const TProgressCallback& progress = {});

}  // namespace quillmark
