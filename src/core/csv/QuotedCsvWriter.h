#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
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
//
// TQuotedCsvWriter takes UTF-16 text; TUtf8QuotedCsvWriter takes UTF-8 and
// gives the same bytes (to a UTF-8 target it copies the text as it is).
template <class TUnit>
class TQuotedCsvWriterOf {
  public:
    using TView = std::basic_string_view<TUnit>;

    TQuotedCsvWriterOf(IByteSink& file, std::int32_t encoding, const TColumnSet& quoteColumns);

    // Fields of a row must come in column order, starting at 0, then EndRow.
    void WriteField(std::size_t column, TView value);
    // The same, for a value that arrives in pieces: BeginField, any number
    // of AppendToField, EndField.
    void BeginField(std::size_t column);
    void AppendToField(TView units);
    void EndField();
    void EndRow();

    // Writes out what is still buffered. Call once, after the last row.
    void Finish();

  private:
    bool IsQuoted(std::size_t column) const;
    void EncodePending(bool last);

    IByteSink& FFile;
    TCodePage FCodePage;
    std::unique_ptr<TCodePageEncoder> FEncoder;  // made at the first text; none for UTF-8 text to UTF-8
    const TColumnSet& FQuoteColumns;
    std::vector<bool> FQuoted;                         // quick answers for the first columns
    bool FFieldQuoted = false;                         // the field begun last is in a quote column
    const std::vector<char16_t>* FStandIns = nullptr;  // see QuotationMarkStandIns, once asked
    std::basic_string<TUnit> FText;
    std::u16string FWide;  // UTF-8 text widened for an ANSI target
    std::string FBytes;
};

using TQuotedCsvWriter = TQuotedCsvWriterOf<char16_t>;
using TUtf8QuotedCsvWriter = TQuotedCsvWriterOf<char>;

// Writes the fields of a row, then ends it.
void WriteRow(TQuotedCsvWriter& writer, const TCsvRow& row);

extern template class TQuotedCsvWriterOf<char16_t>;
extern template class TQuotedCsvWriterOf<char>;

// Writes the table to `target` as TQuotedCsvWriter does. The target is
// replaced only once everything is written; a failure leaves it as it was.
// Throws EFCreateError "ファイル "%s" を作成できません。%s" when the target cannot
// be created, EWriteError "ファイル "%s" に書き込めません。%s" when writing fails.
void WriteQuotedCsvFile(const std::u16string& target, const TCsvTable& table, std::int32_t encoding,
                        const TColumnSet& quoteColumns);

}  // namespace quillmark
