#pragma once

#include <cstddef>

#include "csv/CsvSplitter.h"
#include "csv/QuotedCsvWriter.h"

namespace quillmark {

// Thrown by a growing TQuotedCsvSinkOf when a row turns out wider than rows
// it has already written: they should have been filled up further. `Width`
// is the widest row's width where the thrower read on to the end for it
// (TByteCsvQuoter), 0 where it did not.
struct ECsvWidthGrew {
    std::size_t Width = 0;
};

// Writes what the state machine stores straight to a quoted writer, as if
// the whole table had been loaded first: every row gets `columnCount`
// fields, a row into which nothing was stored is written (as empty fields)
// only when a later row stores something, and line breaks after the last
// stored unit add nothing. Call Finish after the last piece.
//
// With `growing`, `columnCount` is only where the width starts: the first
// row may widen it, and a later row that is wider than the rows written
// before it throws ECsvWidthGrew (the caller then finds the width first).
template <class TUnit>
class TQuotedCsvSinkOf final : public ICsvSinkOf<TUnit> {
  public:
    TQuotedCsvSinkOf(TQuotedCsvWriterOf<TUnit>& writer, std::size_t columnCount, bool growing = false)
        : FWriter(writer), FColumnCount(columnCount), FGrowing(growing) {}

    void Store(std::size_t row, std::size_t column, std::basic_string_view<TUnit> units) override {
        if (FGrowing && column >= FColumnCount) {
            if (FRowsWritten) throw ECsvWidthGrew();
            FColumnCount = column + 1;
        }
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
            FRowsWritten = true;
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
        FRowsWritten = true;
    }

    void WriteEmptyFields(std::size_t from, std::size_t to) {
        for (std::size_t column = from; column < to; ++column) {
            FWriter.BeginField(column);
            FWriter.EndField();
        }
    }

    TQuotedCsvWriterOf<TUnit>& FWriter;
    std::size_t FColumnCount;
    bool FGrowing;
    bool FRowsWritten = false;
    bool FInRow = false;
    std::size_t FRow = 0;
    std::size_t FColumn = 0;
};

using TQuotedCsvSink = TQuotedCsvSinkOf<char16_t>;
using TUtf8QuotedCsvSink = TQuotedCsvSinkOf<char>;

}  // namespace quillmark
