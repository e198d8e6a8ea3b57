#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/ColumnSet.h"
#include "base/FileSystem.h"
#include "csv/ByteCsvMachine.h"
#include "csv/SimpleRows.h"

namespace quillmark {

// The conversion's inner loop: splits text that TByteCsvMachine reads (UTF-8
// without U+0080, or code page 932 as TShiftJisRewriter writes it) and
// writes the quoted target form of it, in the same code page, to `out`. For
// UTF-8 the bytes are those TUtf8CsvSplitter, TUtf8QuotedCsvSink and
// TUtf8QuotedCsvWriter (to a UTF-8 target) give together, `columnCount` and
// `growing` meaning what they mean to the sink; it only skips the calls
// between them (ECsvWidthGrew included, but see SetCountOn).
//
// Feed pieces of any size (characters may be cut between pieces); Finish
// after the last. What reaches `out` always ends with a whole character when
// the pieces fed so far do.
//
// UTF-8 written on into an ANSI code page comes with the characters that
// code page writes as quotation marks (QuotationMarkStandIns): inside quoted
// fields they are doubled, as the marks are. Pieces that hold one are then
// read by the machine alone, and must end with a whole character.
//
// `quoteColumns` is kept by reference: it must outlive the quoter.
class TByteCsvQuoter {
  public:
    TByteCsvQuoter(IByteSink& out, const TColumnSet& quoteColumns, std::size_t columnCount,
                   bool growing = false, const std::vector<char16_t>& standIns = {});

    void Feed(std::string_view text);
    void Finish();

    // How simple rows are written: as suits each row, or (for tests that
    // hold both ways to the machine) always field by field, or always 64
    // bytes at a time where the processor can (AVX-512 VBMI2), field by
    // field where it cannot.
    enum class ERowWriting { Chosen, FieldByField, Compressed };
    void SetRowWriting(ERowWriting writing);

    // Where the sink would throw ECsvWidthGrew (a row wider than rows
    // already written) once this is set, the quoter writes no more, reads on
    // for the widest row's width alone, and throws ECsvWidthGrew with that
    // width from Finish: near the end of a source, reading the rest for the
    // width costs less than reading the whole source again.
    void SetCountOn() { FCountOn = true; }

    // For writing the rows of one text in parts, a quoter each (see
    // TParallelCsvQuoter). EndPart hands on all that is written so far. Where
    // the text fed so far ends at the start of a row and the width can no
    // longer change without ECsvWidthGrew (it is fixed, or rows are
    // written), it finishes the row read last and sets AtRowStart: another
    // quoter of the same width, told SetRowsWritten, may then write the rows
    // after it, once the EmptyRows rows read since the last row that stored
    // something are written before its first byte (if it writes one).
    struct TPartEnd {
        bool AtRowStart = false;
        std::size_t EmptyRows = 0;
    };
    TPartEnd EndPart();
    void SetRowsWritten() { FRowsWritten = true; }
    std::size_t ColumnCount() const { return FColumnCount; }
    // Writes `count` rows of empty fields to `out` at once: for a quoter
    // whose text ended at a row start, the empty rows another quoter read
    // after it.
    void WriteEmptyRows(std::size_t count);
    // Writes into `buffer` rather than a buffer of its own.
    void UseBuffer(TByteBuffer&& buffer) {
        FOutput = std::move(buffer);
        FOutput.Size = 0;
    }

    // What the machine does, as TByteCsvMachine tells it: defined inline in
    // ByteCsvQuoter.cpp, for the machine's loop there.
    void Store(const char* bytes, std::size_t size, std::size_t remaining);
    void StoreQuote(std::size_t remaining);
    void StoreLineFeed(std::size_t remaining);
    void NextField() { ++FColumn; }
    void NextRow();
    std::size_t ReadRows(std::string_view text, std::size_t at);

  private:
    // Field and row bookkeeping, away from the byte loop.
    bool OpenField(std::size_t remaining);
    bool OpenNextField(std::size_t remaining);
    void FinishRow();
    void WriteEmptyRows();
    void AppendEmptyFields(std::size_t from, std::size_t to);
    bool IsQuoted(std::size_t column) const;
    bool WriteSimpleRow(const char* data, const char* limit, const TSimpleRow& row);
    char* WriteFieldsOneByOne(char* out, const char* data, const char* limit, const TSimpleRow& row,
                              std::size_t fields);
    void MakePadding();
    void StoreDoubled(std::string_view bytes);

    void Reserve(std::size_t size) { FOutput.Reserve(size); }
    void FlushIfFull();

    IByteSink& FOut;
    const TColumnSet& FQuoteColumns;
    std::vector<std::uint8_t> FQuoted;    // quick answers for the first columns
    std::vector<std::size_t> FQuoteList;  // those of them that are quoted, in order
    std::size_t FColumnCount;
    bool FGrowing;
    std::vector<char16_t> FStandInUnits;  // characters written as quotation marks
    std::vector<std::string> FStandIns;   // the same in UTF-8
    bool FPieceHasStandIns = false;       // the piece being fed holds one
    std::string FDoubled;

    TByteCsvMachine<TByteCsvQuoter> FMachine{*this};
    std::vector<TRowWord> FWords;  // the simple row being read
    std::string FPadding;          // empty fields that fill rows up (see MakePadding)
    std::vector<std::size_t> FPaddingAt;
    std::size_t FPaddingWidth = SIZE_MAX;
    std::size_t FColumn = 0;  // the machine's field in the row being read

    bool FInRow = false;          // something was stored in the row being read
    bool FRowEnded = false;       // the row stored in last is read, not yet finished
    std::size_t FOpenColumn = 0;  // the field written last in that row
    bool FOpenQuoted = false;     // it is in a quote column
    std::size_t FEmptyRows = 0;   // rows read since the last stored one, with nothing stored
    bool FRowsWritten = false;
    bool FCountOn = false;   // see SetCountOn
    bool FCounting = false;  // a row was wider than rows written: only the width is read on for
    std::size_t FCompressFrom =
        SIZE_MAX;  // quoted fields from which a simple row is written 64 bytes at a time

    TByteBuffer FOutput;
};

}  // namespace quillmark
