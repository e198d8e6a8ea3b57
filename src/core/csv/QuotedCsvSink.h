#pragma once

#include <cstddef>

#include "csv/CsvSplitter.h"
#include "csv/QuotedCsvWriter.h"

namespace quillmark {

// Writes what the state machine stores straight to a quoted writer, as if
// the whole table had been loaded first: every row gets `columnCount`
// fields, a row into which nothing was stored is written (as empty fields)
// only when a later row stores something, and line breaks after the last
// stored unit add nothing. Call Finish after the last piece.
template <class TUnit>
class TQuotedCsvSinkOf final : public ICsvSinkOf<TUnit> {
  public:
    TQuotedCsvSinkOf(TQuotedCsvWriterOf<TUnit>& writer, std::size_t columnCount)
        : FWriter(writer), FColumnCount(columnCount) {}

    void Store(std::size_t row, std::size_t column, std::basic_string_view<TUnit> units) override {
        if (!FInRow || row != FRow) StartRow(row);
        if (column != FColumn) {
            FWriter.EndField();
            WriteEmptyFields(FColumn + 1, column);
            FColumn = column;
            FWriter.BeginField(column);
        }
        FWriter.AppendToField(units);
    }

    void Finish() {
        if (FInRow) FinishRow();
        FInRow = false;
    }

  private:
    void StartRow(std::size_t row) {
        if (FInRow) FinishRow();
        // Rows skipped on the way exist now, as rows of empty fields.
        for (std::size_t empty = FInRow ? FRow + 1 : 0; empty < row; ++empty) {
            WriteEmptyFields(0, FColumnCount);
            FWriter.EndRow();
        }
        FInRow = true;
        FRow = row;
        FColumn = 0;
        FWriter.BeginField(0);
    }

    void FinishRow() {
        FWriter.EndField();
        WriteEmptyFields(FColumn + 1, FColumnCount);
        FWriter.EndRow();
    }

    void WriteEmptyFields(std::size_t from, std::size_t to) {
        for (std::size_t column = from; column < to; ++column) {
            FWriter.BeginField(column);
            FWriter.EndField();
        }
    }

    TQuotedCsvWriterOf<TUnit>& FWriter;
    std::size_t FColumnCount;
    bool FInRow = false;
    std::size_t FRow = 0;
    std::size_t FColumn = 0;
};

using TQuotedCsvSink = TQuotedCsvSinkOf<char16_t>;
using TUtf8QuotedCsvSink = TQuotedCsvSinkOf<char>;

}  // namespace quillmark
