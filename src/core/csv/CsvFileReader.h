#pragma once

#include <cstdint>
#include <string>

#include "base/Progress.h"
#include "csv/CsvSplitter.h"
#include "csv/CsvTable.h"

// Reading CSV files piece by piece: the same detection, decoding and state
// machine as TCsv::LoadFromFile, with memory bounded by the piece size
// instead of the file size.
namespace quillmark {

// Feeds the whole file through the state machine into `sink`. `progress`,
// when given, hears after each piece how far this read has come, as pass
// `pass` of `passes` reads of the file: (pass x size + bytes read, passes x
// size). Throws EFOpenError or EReadError when the file cannot be opened or
// read; an EAbort from `progress` or an error of the sink passes through.
void SplitCsvFile(const std::u16string& fileName, ICsvSink& sink, const TProgressCallback& progress = {},
                  unsigned pass = 0, unsigned passes = 1);

// The shape of a CSV file as TCsv would load it: the number of rows, the
// number of fields of its longest row, and its first row filled up to that
// many fields (empty when the file has no rows).
struct TCsvShape {
    std::size_t RowCount = 0;
    std::size_t ColCount = 0;
    TCsvRow FirstRow;

    bool operator==(const TCsvShape&) const = default;
};

// Reads the shape without holding the file: what the column list needs.
// Without `withFirstRow` the first row is left empty. False when the file
// cannot be read (as ReadCsvFile); an EAbort from `progress` passes through.
bool ReadCsvShape(const std::u16string& fileName, TCsvShape& shape, const TProgressCallback& progress = {},
                  bool withFirstRow = true);

}  // namespace quillmark
