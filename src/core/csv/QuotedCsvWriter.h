#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/CodePage.h"
#include "base/ColumnSet.h"
#include "base/FileSystem.h"
#include "base/Progress.h"
#include "csv/CsvTable.h"

namespace quillmark {

// The code page a target is written in: the system's ANSI code page for
// encoding 0, UTF-8 for every other value (-1 and 2 included).
TCodePage OutputCodePage(std::int32_t encoding);

// Writes rows of a target CSV file: fields of the quote columns in quoted
// form, every other field exactly as it is, "," between fields, CR LF after
// each row, all in the output code page, no byte-order mark.
class TQuotedCsvWriter {
  public:
    TQuotedCsvWriter(TSafeFileWriter& file, std::int32_t encoding, const TColumnSet& quoteColumns);

    // Fields of a row must come in column order, starting at 0, then EndRow.
    void WriteField(std::size_t column, std::u16string_view value);
    // The same, for a value that arrives in pieces: BeginField, any number
    // of AppendToField, EndField.
    void BeginField(std::size_t column);
    void AppendToField(std::u16string_view units);
    void EndField();
    void EndRow();
    void WriteRow(const TCsvRow& row);

    // Writes out what is still buffered. Call once, after the last row.
    void Finish();

  private:
    bool IsQuoted(std::size_t column) const;
    void EncodePending(bool last);

    TSafeFileWriter& FFile;
    std::unique_ptr<TCodePageEncoder> FEncoder;
    const TColumnSet& FQuoteColumns;
    std::vector<bool> FQuoted;  // quick answers for the first columns
    bool FFieldQuoted = false;  // the field begun last is in a quote column
    std::u16string FText;
    std::string FBytes;
};

// Writes the table to `target` as TQuotedCsvWriter does. The target is
// replaced only once everything is written; a failure leaves it as it was.
// Throws EFCreateError "ファイル "%s" を作成できません。%s" when the target cannot
// be created, EWriteError "ファイル "%s" に書き込めません。%s" when writing fails.
void WriteQuotedCsvFile(const std::u16string& target, const TCsvTable& table, std::int32_t encoding,
                        const TColumnSet& quoteColumns);

}  // namespace quillmark
