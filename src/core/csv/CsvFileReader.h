#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/CodePage.h"
#include "base/Progress.h"
#include "csv/CsvSplitter.h"
#include "csv/CsvTable.h"

// Reading CSV files piece by piece: the same detection, decoding and state
// machine as TCsv::LoadFromFile, with memory bounded by the piece size
// instead of the file size.
namespace quillmark {

// The code page TCsv::LoadFromFile would decode the file with. Throws
// EFOpenError or EReadError when it cannot be read.
TCodePage DetectCsvFileCodePage(const std::u16string& fileName);

// Feeds the whole file, decoded to UTF-16, through the state machine into
// `sink`. `progress`, when given, hears after each piece how far this read
// has come, as pass `pass` of `passes` reads of the file: (pass x size +
// bytes read, passes x size). Throws EFOpenError or EReadError when the file
// cannot be opened or read; an EAbort from `progress` or an error of the
// sink passes through.
void SplitCsvFile(const std::u16string& fileName, ICsvSinkOf<char16_t>& sink,
                  const TProgressCallback& progress = {}, unsigned pass = 0, unsigned passes = 1);

// Feeds the file's text to `feed` in pieces, as TTextReader::ReadAs reads
// it in `target`, when the file is one ReadAs reads so (UTF-8 or Shift_JIS
// in UTF-8, Shift_JIS in 932; a file taken byte by byte in UTF-8, with
// ETextNotAscii thrown at its first piece that is not ASCII): text for
// TByteCsvMachine. Pieces are read
// exactly while `exact` is null or true: `feed` may clear it once it needs
// exact text no more (pieces read ahead by then stay exact). False, with
// nothing read, for a file of any other code page. Errors and `progress` as
// for SplitCsvFile.
bool ReadCsvFileAs(const std::u16string& fileName, TCodePage target,
                   const std::function<void(std::string_view)>& feed, const TProgressCallback& progress = {},
                   unsigned pass = 0, unsigned passes = 1, const std::atomic<bool>* exact = nullptr);

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
                  bool withFirstRow = true, unsigned pass = 0, unsigned passes = 1);

}  // namespace quillmark
