#include "csv/QuotedCsvSink.h"

namespace quillmark {

TQuotedCsvSink::TQuotedCsvSink(TQuotedCsvWriter& writer, std::size_t columnCount)
    : FWriter(writer), FColumnCount(columnCount) {}

void TQuotedCsvSink::WriteEmptyFields(std::size_t from, std::size_t to) {
    for (std::size_t column = from; column < to; ++column) {
        FWriter.BeginField(column);
        FWriter.EndField();
    }
}

void TQuotedCsvSink::FinishRow() {
    FWriter.EndField();
    WriteEmptyFields(FColumn + 1, FColumnCount);
    FWriter.EndRow();
}

void TQuotedCsvSink::Store(std::size_t row, std::size_t column, std::u16string_view units) {
    if (!FInRow || row != FRow) {
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
    if (column != FColumn) {
        FWriter.EndField();
        WriteEmptyFields(FColumn + 1, column);
        FColumn = column;
        FWriter.BeginField(column);
    }
    FWriter.AppendToField(units);
}

void TQuotedCsvSink::Finish() {
    if (FInRow) FinishRow();
    FInRow = false;
}

}  // namespace quillmark
