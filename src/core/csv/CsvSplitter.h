#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/Progress.h"

namespace quillmark {

// Where the splitter puts what it stores: `units` are appended to the field
// at (row, column). Rows and fields come into existence only this way;
// separators on their own create nothing.
template <class TUnit>
class ICsvSinkOf {
  public:
    virtual void Store(std::size_t row, std::size_t column, std::basic_string_view<TUnit> units) = 0;

  protected:
    ~ICsvSinkOf() = default;
};

using ICsvSink = ICsvSinkOf<char16_t>;

enum class TCsvState {
    FieldStart,  // at the beginning of a field
    Plain,       // in a field whose first unit was not a quotation mark
    Quoted,      // in a field begun with a quotation mark, between quotes
    AfterQuote,  // in such a field, after the quotation mark that closed the quotes
};

// The CSV state machine. It never rejects its input: every text is some
// table. Feed it the whole text at once or in pieces of any size; the result
// is the same.
//
// Before the machine sees a code unit: CR is dropped (also inside quotes, so
// CR LF acts as LF and a lone CR separates nothing), VT becomes LF, and
// U+0000-U+0008, U+000C, U+000E-U+001F, U+007F and U+0080 are dropped.
// Everything else passes, surrogate halves one by one.
//
// TCsvSplitter reads UTF-16. TUtf8CsvSplitter reads UTF-8 that holds no
// U+0080 (see TUtf8Cleaner): every byte of a multibyte character is then
// stored as it is, so it gives the same table in UTF-8.
template <class TUnit>
class TCsvSplitterOf {
  public:
    // `progress`, when given, hears (units fed, `total`) now and then while
    // quoted fields are read.
    explicit TCsvSplitterOf(ICsvSinkOf<TUnit>& sink, TProgressCallback progress = {},
                            std::uint64_t total = 0);

    void Feed(std::basic_string_view<TUnit> text);

    TCsvState State() const { return FState; }
    std::size_t Row() const { return FRow; }
    std::size_t Column() const { return FColumn; }

  private:
    ICsvSinkOf<TUnit>& FSink;
    TProgressCallback FProgress;
    std::uint64_t FTotal;
    std::uint64_t FPosition = 0;
    std::uint64_t FNextProgress;
    TCsvState FState = TCsvState::FieldStart;
    std::size_t FRow = 0;
    std::size_t FColumn = 0;
};

using TCsvSplitter = TCsvSplitterOf<char16_t>;
using TUtf8CsvSplitter = TCsvSplitterOf<char>;

extern template class TCsvSplitterOf<char16_t>;
extern template class TCsvSplitterOf<char>;

}  // namespace quillmark
