#pragma once

#include <cstddef>

#include "csv/CsvSplitter.h"
#include "csv/QuotedCsvWriter.h"

namespace quillmark {

// Writes what the state machine stores straight to a TQuotedCsvWriter, as
// if the whole table had been loaded first: every row gets `columnCount`
// fields, a row into which nothing was stored is written (as empty fields)
// only when a later row stores something, and line breaks after the last
// stored unit add nothing. Call Finish after the last piece.
class TQuotedCsvSink final : public ICsvSink {
  public:
    TQuotedCsvSink(TQuotedCsvWriter& writer, std::size_t columnCount);

    void Store(std::size_t row, std::size_t column, std::u16string_view units) override;
    void Finish();

  private:
    void FinishRow();
    void WriteEmptyFields(std::size_t from, std::size_t to);

    TQuotedCsvWriter& FWriter;
    std::size_t FColumnCount;
    bool FInRow = false;
    std::size_t FRow = 0;
    std::size_t FColumn = 0;
};

}  // namespace quillmark
