#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/CodePage.h"
#include "base/ColumnSet.h"
#include "base/Progress.h"

// What a conversion would do to a source before it is run: which fields
// would no longer read back as themselves and which characters the target's
// code page cannot hold. Nothing is written.
namespace quillmark {

// One column of the check.
struct TCheckColumn {
    std::u16string Letters;  // "A", "B", ... ("" past "XFD")
    std::u16string Label;    // the column's value in the first row
    bool Quoted = false;     // ticked: its fields are written in quotes
    // Fields of the column that, written unquoted, a reader would not read
    // back as one field: they hold a comma or a line break, or begin with a
    // quotation mark (see FieldBreaksUnquoted). Counted whether or not the
    // column is ticked: it says what unticking it would do.
    std::uint64_t BreakingFields = 0;

    bool operator==(const TCheckColumn&) const = default;
};

struct TCsvCheck {
    TCodePage SourceCodePage = CP_NONE;  // as detected
    TCodePage TargetCodePage = CP_UTF_8;
    std::uint64_t RowCount = 0;
    std::uint64_t ColCount = 0;  // fields of the widest row
    // Characters the target would hold as "?" or as a best-fit stand-in:
    // those whose bytes in the target's code page do not decode back to
    // them. In UTF-8 only unpaired surrogates (of UTF-16 sources) count.
    std::uint64_t LossyCharacters = 0;
    std::vector<TCheckColumn> Columns;

    bool operator==(const TCsvCheck&) const = default;
};

// The name of a detected code page as the check reports it: 932
// "Shift_JIS", 65001 "UTF-8", 1200 "UTF-16LE", 65535 "none" (taken byte by
// byte), ...
std::string_view CodePageName(TCodePage codePage);

// The code page a conversion with `encoding` writes: 0 the ANSI code page,
// anything else UTF-8.
TCodePage TargetCodePage(std::int32_t encoding);

// What the characters of a text become in a target code page, remembered
// character by character.
class TTargetCharacters {
  public:
    explicit TTargetCharacters(TCodePage target);
    ~TTargetCharacters();
    TTargetCharacters(const TTargetCharacters&) = delete;
    TTargetCharacters& operator=(const TTargetCharacters&) = delete;

    enum : std::uint8_t {
        kLossy = 1,       // does not decode back to itself
        kBreaks = 2,      // its bytes hold a comma or a line break
        kOpensQuote = 4,  // its bytes begin with a quotation mark
        kKnown = 0x80,
    };

    // The flags of a code point; surrogate code points (unpaired halves)
    // are lossy everywhere. Seven-bit characters are never lossy.
    std::uint8_t Of(char32_t codePoint) {
        if (codePoint < 0x10000)
            if (const std::uint8_t flags = FBasic[codePoint]; flags != 0) return flags;
        return Learn(codePoint);
    }
    TCodePage CodePage() const { return FTarget; }
    // The flags learnt so far of the code points below U+10000, 0 for one
    // not asked for yet.
    const std::uint8_t* Learnt() const { return FBasic.get(); }
    // The code points below U+10000 learnt to be written as they are (flags
    // kKnown alone), a bit each: bit c % 64 of word c / 64.
    const std::uint64_t* Kept() const { return FKept.get(); }

  private:
    // Works the flags out and remembers them.
    std::uint8_t Learn(char32_t codePoint);
    // Learn's flags, remembered in FBasic or a page, before FKept is set.
    std::uint8_t Work(char32_t codePoint);

    TCodePage FTarget;
    // Per code point, 0 until first asked: the BMP in one table, the
    // supplementary planes in pages of 256 made on first use.
    std::unique_ptr<std::uint8_t[]> FBasic;
    std::unique_ptr<std::uint64_t[]> FKept;
    std::array<std::unique_ptr<std::uint8_t[]>, 0x1100> FPages;
};

// Whether a field's value, written as it is (unquoted) in UTF-8, would be
// read back as something other than the one field: it holds a comma or a
// line feed, or begins with a quotation mark. "" and "a\"b" are safe.
bool FieldBreaksUnquoted(std::u16string_view value);

// Per character of `value` as a conversion into `characters`' code page
// writes it unquoted: whether the field breaks (as FieldBreaksUnquoted, with
// best-fit stand-ins counted by their bytes), and, when `lossyUnits` is
// given, one flag per UTF-16 unit that is part of a lossy character.
struct TFieldCheck {
    bool Breaks = false;
    std::uint64_t LossyCharacters = 0;
};
TFieldCheck CheckField(std::u16string_view value, TTargetCharacters& characters,
                       std::vector<bool>* lossyUnits = nullptr);

// Reads the whole file once, in pieces, and checks it against a conversion
// with `quoteColumns` and `encoding`. False when the file cannot be read
// (as ReadCsvFile); an EAbort from `progress` passes through.
bool CheckCsvFile(const std::u16string& fileName, const TColumnSet& quoteColumns, std::int32_t encoding,
                  TCsvCheck& check, const TProgressCallback& progress = {});

// The check as one JSON object, UTF-8, ending in a line feed:
// {"encoding": "Shift_JIS", "codePage": 932, "rows": 2, "columns": 3,
//  "lossyCharacters": 0, "columnsReport": [{"index": 0, "letters": "A",
//  "label": "...", "quoted": true, "breakingFields": 0}, ...]}
std::string FormatCheckJson(const TCsvCheck& check);

}  // namespace quillmark
