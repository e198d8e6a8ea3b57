#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "base/ColumnSet.h"
#include "base/FileSystem.h"
#include "csv/CsvSplitter.h"

namespace quillmark {

// The conversion's inner loop: splits UTF-8 that holds no U+0080 (see
// TUtf8Cleaner) with the CSV state machine and writes the quoted target form
// of it, UTF-8 still, to `out`. The bytes are those TUtf8CsvSplitter,
// TUtf8QuotedCsvSink and TUtf8QuotedCsvWriter (to a UTF-8 target) give
// together, `columnCount` and `growing` meaning what they mean to the sink
// (ECsvWidthGrew included); it only skips the calls between them.
//
// Feed pieces of any size (characters may be cut between pieces); Finish
// after the last. What reaches `out` always ends with a whole character when
// the pieces fed so far do.
class TUtf8CsvQuoter {
  public:
    TUtf8CsvQuoter(IByteSink& out, const TColumnSet& quoteColumns, std::size_t columnCount,
                   bool growing = false);

    void Feed(std::string_view text);
    void Finish();

  private:
    // Field and row bookkeeping, away from the byte loop.
    void OpenField(std::size_t remaining);
    bool OpenNextField(std::size_t remaining);
    void EndRow();
    void FinishRow();
    void WriteEmptyRows();
    void AppendEmptyFields(std::size_t from, std::size_t to);
    bool IsQuoted(std::size_t column) const;

    // The output buffer: Reserve makes room for `size` more bytes.
    void Reserve(std::size_t size);
    void FlushIfFull();

    IByteSink& FOut;
    const TColumnSet& FQuoteColumns;
    std::vector<std::uint8_t> FQuoted;  // quick answers for the first columns
    std::size_t FColumnCount;
    bool FGrowing;

    TCsvState FState = TCsvState::FieldStart;
    std::size_t FColumn = 0;  // the machine's field in the row being read

    bool FInRow = false;          // something was stored in the row being read
    bool FRowEnded = false;       // the row stored in last is read, not yet finished
    std::size_t FOpenColumn = 0;  // the field written last in that row
    bool FOpenQuoted = false;     // it is in a quote column
    std::size_t FEmptyRows = 0;   // rows read since the last stored one, with nothing stored
    bool FRowsWritten = false;

    std::unique_ptr<char[]> FBuffer;
    std::size_t FSize = 0;
    std::size_t FCapacity = 0;
};

}  // namespace quillmark
