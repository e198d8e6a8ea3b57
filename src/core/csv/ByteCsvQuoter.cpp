#include "csv/ByteCsvQuoter.h"

#include <algorithm>
#include <cstring>

#include "base/Utf.h"
#include "csv/MarkDoubling.h"
#include "csv/QuotedCsvSink.h"
#include "csv/SimpleRows.h"

#if defined(__x86_64__) && defined(__GNUC__)
#define QUILLMARK_COMPRESSED_ROWS 1
#endif

namespace quillmark {

namespace {

// Columns whose quoting is looked up in a flag table rather than the set.
constexpr std::size_t kQuickColumns = 4096;
// Output gathered before it is handed on.
constexpr std::size_t kFlushBytes = std::size_t{1} << 20;
// Simple rows with fewer quoted fields are written faster field by field
// than 64 bytes at a time.
constexpr std::size_t kQuotedFieldsForCompressedRows = 2;
// Empty fields written between two looks at the buffer's size.
constexpr std::size_t kEmptyFieldsAtOnce = std::size_t{1} << 16;

// Copies `size` bytes from `from`, where `available` bytes can be read, to
// `to`, which has 64 bytes to spare; returns the end of the copy. Most runs
// are short: a copy of a fixed 16, 32 or 64 bytes is a move or two, where a
// call to copy `size` bytes costs more than the copying; what is copied
// past `size` is written over next.
char* CopyRun(char* to, const char* from, std::size_t size, std::size_t available) {
    if (size <= 16 && available >= 16) {
        std::memcpy(to, from, 16);
    } else if (size <= 32 && available >= 32) {
        std::memcpy(to, from, 32);
    } else if (size <= 64 && available >= 64) {
        std::memcpy(to, from, 64);
    } else {
        std::memcpy(to, from, size);
    }
    return to + size;
}

#if defined(QUILLMARK_COMPRESSED_ROWS)
// Whether the processor packs the bytes a mask keeps (AVX-512 VBMI2),
// finds the n-th set bit of a word in one step (BMI2) and multiplies
// without carries (PCLMUL).
bool CanCompressRows() {
    static const bool can = __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi2") &&
                            __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("pclmul");
    return can;
}
#endif

}  // namespace

TByteCsvQuoter::TByteCsvQuoter(IByteSink& out, const TColumnSet& quoteColumns, std::size_t columnCount,
                               bool growing, const std::vector<char16_t>& standIns)
    : FOut(out),
      FQuoteColumns(quoteColumns),
      FQuoted(kQuickColumns),
      FColumnCount(columnCount),
      FGrowing(growing),
      FStandInUnits(standIns) {
    SetRowWriting(ERowWriting::Chosen);
    for (const char16_t standIn : standIns)
        FStandIns.push_back(Utf16ToUtf8(std::u16string_view(&standIn, 1)));
    for (std::int32_t column : quoteColumns) {
        if (column < 0) continue;
        if (static_cast<std::size_t>(column) >= kQuickColumns) break;
        FQuoted[static_cast<std::size_t>(column)] = 1;
        FQuoteList.push_back(static_cast<std::size_t>(column));
    }
}

void TByteCsvQuoter::SetRowWriting(ERowWriting writing) {
    FCompressFrom = SIZE_MAX;
#if defined(QUILLMARK_COMPRESSED_ROWS)
    if (writing != ERowWriting::FieldByField && CanCompressRows())
        FCompressFrom = writing == ERowWriting::Compressed ? 0 : kQuotedFieldsForCompressedRows;
#endif
}

bool TByteCsvQuoter::IsQuoted(std::size_t column) const {
    if (column < kQuickColumns) return FQuoted[column] != 0;
    return column <= INT32_MAX && FQuoteColumns.contains(static_cast<std::int32_t>(column));
}

void TByteCsvQuoter::FlushIfFull() {
    if (FOutput.Size >= kFlushBytes) FOut.Take(FOutput);
}

void TByteCsvQuoter::AppendEmptyFields(std::size_t from, std::size_t to) {
    while (from < to) {
        const std::size_t count = std::min(to - from, kEmptyFieldsAtOnce);
        Reserve(3 * count);
        char* at = FOutput.Data.get() + FOutput.Size;
        for (const std::size_t end = from + count; from < end; ++from) {
            if (from > 0) *at++ = ',';
            if (IsQuoted(from)) {
                *at++ = '"';
                *at++ = '"';
            }
        }
        FOutput.Size = static_cast<std::size_t>(at - FOutput.Data.get());
        FlushIfFull();
    }
}

// Rows the machine read without storing anything exist once a later row
// stores something: as rows of empty fields.
void TByteCsvQuoter::WriteEmptyRows() {
    for (; FEmptyRows > 0; --FEmptyRows) {
        AppendEmptyFields(0, FColumnCount);
        Reserve(2);
        FOutput.Data[FOutput.Size++] = '\r';
        FOutput.Data[FOutput.Size++] = '\n';
        FRowsWritten = true;
        FlushIfFull();
    }
}

// Makes the field the machine is in the open one, before content is stored
// in it; `remaining` bytes of the piece are still to come. False when
// nothing is written any more, only the width read.
bool TByteCsvQuoter::OpenField(std::size_t remaining) {
    // Before the row read last is finished: the first store of a row may
    // still widen the rows before it as long as none of them is written.
    // A row that is wider than rows written means that the target must be
    // written again, filled up to the widest row (see SetCountOn).
    if (FGrowing && FColumn >= FColumnCount) {
        if (FRowsWritten && !FCounting) {
            if (!FCountOn) throw ECsvWidthGrew();
            FCounting = true;
            FInRow = false;
            FRowEnded = false;
            FOutput.Size = 0;
        }
        FColumnCount = FColumn + 1;
    }
    if (FCounting) return false;
    if (!FInRow) {
        if (FRowEnded) FinishRow();
        WriteEmptyRows();
        FInRow = true;
        FOpenColumn = 0;
        FOpenQuoted = IsQuoted(0);
        Reserve(1);
        if (FOpenQuoted) FOutput.Data[FOutput.Size++] = '"';
    }
    if (FColumn != FOpenColumn) {
        Reserve(1);
        if (FOpenQuoted) FOutput.Data[FOutput.Size++] = '"';
        AppendEmptyFields(FOpenColumn + 1, FColumn);
        FOpenColumn = FColumn;
        FOpenQuoted = IsQuoted(FColumn);
        Reserve(2);
        FOutput.Data[FOutput.Size++] = ',';
        if (FOpenQuoted) FOutput.Data[FOutput.Size++] = '"';
    }
    // Content takes at most two bytes for each byte read (a doubled
    // quotation mark): the byte loop need not look at the room it has.
    Reserve(2 * remaining + 64);
    return true;
}

// A row is finished (filled up, ended) only when the next one stores
// something, or at the end: the width may still change until then.
void TByteCsvQuoter::NextRow() {
    if (FInRow) {
        FInRow = false;
        FRowEnded = true;
    } else {
        ++FEmptyRows;
    }
    FColumn = 0;
}

void TByteCsvQuoter::FinishRow() {
    Reserve(1);
    if (FOpenQuoted) FOutput.Data[FOutput.Size++] = '"';
    AppendEmptyFields(FOpenColumn + 1, FColumnCount);
    Reserve(2);
    FOutput.Data[FOutput.Size++] = '\r';
    FOutput.Data[FOutput.Size++] = '\n';
    FRowsWritten = true;
    FInRow = false;
    FRowEnded = false;
    FlushIfFull();
}

// OpenField's usual case, kept small enough to be inlined: the field after
// the open one, in a row no wider than the rows before it.
inline bool TByteCsvQuoter::OpenNextField(std::size_t remaining) {
    if (!FInRow || FColumn != FOpenColumn + 1 || FColumn >= FColumnCount || FColumn >= kQuickColumns ||
        FOutput.Capacity - FOutput.Size < 2 * remaining + 64 + 3)
        return false;
    char* at = FOutput.Data.get() + FOutput.Size;
    if (FOpenQuoted) *at++ = '"';
    *at++ = ',';
    FOpenColumn = FColumn;
    FOpenQuoted = FQuoted[FColumn] != 0;
    if (FOpenQuoted) *at++ = '"';
    FOutput.Size = static_cast<std::size_t>(at - FOutput.Data.get());
    return true;
}

// The machine calls these for nearly every field: they belong in its loop.
[[gnu::always_inline]] inline void TByteCsvQuoter::Store(const char* bytes, std::size_t size,
                                                         std::size_t remaining) {
    if ((!FInRow || FColumn != FOpenColumn) && !OpenNextField(remaining) && !OpenField(remaining)) return;
    if (FPieceHasStandIns && FOpenQuoted) {
        StoreDoubled(std::string_view(bytes, size));
        return;
    }
    // The piece goes on for `remaining` bytes, and the buffer always has 64
    // bytes to spare.
    CopyRun(FOutput.Data.get() + FOutput.Size, bytes, size, remaining);
    FOutput.Size += size;
}

[[gnu::always_inline]] inline void TByteCsvQuoter::StoreQuote(std::size_t remaining) {
    if ((!FInRow || FColumn != FOpenColumn) && !OpenNextField(remaining) && !OpenField(remaining)) return;
    FOutput.Data[FOutput.Size++] = '"';
    if (FOpenQuoted) FOutput.Data[FOutput.Size++] = '"';
}

[[gnu::always_inline]] inline void TByteCsvQuoter::StoreLineFeed(std::size_t remaining) {
    if ((!FInRow || FColumn != FOpenColumn) && !OpenNextField(remaining) && !OpenField(remaining)) return;
    FOutput.Data[FOutput.Size++] = '\n';
}

namespace {

// The content of a quoted field, bytes `from` to `to` between its own
// marks, where `available` bytes can be read from `from`: doubled marks are
// halved. `out` has 32 bytes to spare. Most such fields are short and hold
// no mark: one look at 16 or 32 bytes finds that out.
[[gnu::always_inline]] inline char* CopyUnquoted(char* out, const char* from, const char* to,
                                                 std::size_t available) {
    const auto size = static_cast<std::size_t>(to - from);
#if defined(__SSE2__) || defined(_M_X64)
    if (size <= 32 && available >= 32) {
        const __m128i mark = _mm_set1_epi8('"');
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 16));
        const std::uint32_t marks = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(low, mark))) |
                                    static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(high, mark)))
                                        << 16;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), low);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), high);
        if ((marks & static_cast<std::uint32_t>((std::uint64_t{1} << size) - 1)) == 0) return out + size;
        // Marks come in pairs here: one of each is dropped.
        for (std::size_t i = 0; i < size; ++i) {
            *out++ = from[i];
            if (from[i] == '"') ++i;
        }
        return out;
    }
#endif
    while (const void* mark = std::memchr(from, '"', static_cast<std::size_t>(to - from))) {
        const auto* at = static_cast<const char*>(mark);
        const auto part = static_cast<std::size_t>(at - from) + 1;
        std::memcpy(out, from, part);
        out += part;
        from = at + 2;
    }
    std::memcpy(out, from, static_cast<std::size_t>(to - from));
    return out + (to - from);
}

#if defined(QUILLMARK_COMPRESSED_ROWS)
// How many fields of a simple row are quoted.
std::size_t QuotedFields(const TSimpleRow& row) {
    std::size_t fields = 0;
    for (std::size_t w = 0; w < row.WordCount; ++w)
        fields += static_cast<std::size_t>(std::popcount(row.Words[w].Openings));
    return fields;
}

// Where separator `n` of a simple row is (counted from 0), looked for from
// word `word` on; asked for in increasing order, `word` follows.
__attribute__((target("bmi2"), always_inline)) inline std::size_t FindSeparator(const TSimpleRow& row,
                                                                                std::size_t& word,
                                                                                std::size_t n) {
    while (word + 1 < row.WordCount && row.Words[word + 1].Before <= n)
        ++word;
    const TRowWord& at = row.Words[word];
    return at.Block + static_cast<std::size_t>(
                          std::countr_zero(_pdep_u64(std::uint64_t{1} << (n - at.Before), at.Separators)));
}

// A simple row read 64 bytes at a time from its start, in parts, with the
// quotation marks in each that go when its quoted fields are read: marks
// that end a quoted stretch (a closing mark, the first of a doubled pair)
// and marks that open a field (those of the others that do not follow a
// mark). Parts are asked for in increasing order. (No vector is kept here:
// on Windows the stack of a function is not aligned for one.)
struct TRowParts {
    TRowParts(const char* data, const char* limit, std::size_t start)
        : Data(data), Limit(limit), Start(start) {}

    const char* Data;
    const char* Limit;
    std::size_t Start;
    std::size_t Part = SIZE_MAX;  // the part read last, at Start + 64 * Part
    std::uint64_t Drops = 0;      // the marks of that part that go
    std::uint64_t InQuotes = 0;   // all ones when a quoted stretch goes on past it
    std::uint64_t AfterMark = 0;  // 1 when it ends in a mark
};

// The bytes of part `part`, none past the text's end.
__attribute__((target("avx512bw,bmi2"), always_inline)) inline __m512i LoadPart(const TRowParts& parts,
                                                                                std::size_t part) {
    const char* at = parts.Data + parts.Start + 64 * part;
    if (parts.Limit - at >= 64) return _mm512_loadu_si512(at);
    return _mm512_maskz_loadu_epi8(_bzhi_u64(~std::uint64_t{0}, static_cast<unsigned>(parts.Limit - at)), at);
}

__attribute__((target("avx512bw,bmi2,pclmul"), always_inline)) inline void ReadPart(TRowParts& parts,
                                                                                    std::size_t part) {
    while (parts.Part != part) {
        ++parts.Part;
        const std::uint64_t marks =
            _mm512_cmpeq_epi8_mask(LoadPart(parts, parts.Part), _mm512_set1_epi8('"'));
        const std::uint64_t inQuotes = detail::PrefixXorClmul(marks) ^ parts.InQuotes;
        parts.Drops = (marks & ~inQuotes) | (marks & inQuotes & ~((marks << 1) | parts.AfterMark));
        parts.InQuotes = static_cast<std::uint64_t>(static_cast<std::int64_t>(inQuotes) >> 63);
        parts.AfterMark = marks >> 63;
    }
}

// Bytes `from` to `to` of the row, as they read: the marks that go are
// left out. `out` has 64 bytes to spare.
__attribute__((target("avx512bw,avx512vbmi2,bmi2,pclmul"), always_inline)) inline char* CopyRead(
    char* out, TRowParts& parts, std::size_t from, std::size_t to) {
    while (from < to) {
        const std::size_t part = (from - parts.Start) / 64, base = parts.Start + 64 * part;
        ReadPart(parts, part);
        const std::size_t until = std::min(to, base + 64);
        const std::uint64_t keep =
            _bzhi_u64(~std::uint64_t{0} << (from - base), static_cast<unsigned>(until - base)) & ~parts.Drops;
        _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(keep, LoadPart(parts, part)));
        out += std::popcount(keep);
        from = until;
    }
    return out;
}

// WriteSimpleRow's fields on such a processor: the stretches between the
// quote columns are copied as read, the quote columns' fields as they are,
// in marks when they have none.
__attribute__((target("avx512bw,avx512vbmi2,bmi2,pclmul"))) char* WriteFieldsCompressed(
    char* out, const char* data, const char* limit, const TSimpleRow& row, std::size_t fields,
    const std::vector<std::size_t>& quoteColumns) {
    const auto quoteEnd = std::lower_bound(quoteColumns.begin(), quoteColumns.end(), fields);
    TRowParts parts(data, limit, row.Start);
    std::size_t run = row.Start;  // where the bytes not yet written begin
    std::size_t word = 0;
    for (auto quote = quoteColumns.begin(); quote != quoteEnd; ++quote) {
        const std::size_t field = *quote;
        const std::size_t begin = field == 0 ? row.Start : FindSeparator(row, word, field - 1) + 1;
        const std::size_t end = field + 1 == row.Count ? row.End : FindSeparator(row, word, field);
        if (begin - run == 1) {
            *out++ = ',';  // between two quote columns
        } else {
            out = CopyRead(out, parts, run, begin);
        }
        // A field already in marks is copied as it is: the marks written
        // around it are written over (no branch: a quarter of the fields of
        // some files are quoted, in no order).
        const bool marked = begin < end && data[begin] == '"';
        *out = '"';
        out += !marked;
        out = CopyRun(out, data + begin, end - begin, static_cast<std::size_t>(limit - data) - begin);
        *out = '"';
        out += !marked;
        run = end;
    }
    const std::size_t last = fields == row.Count ? row.End : FindSeparator(row, word, fields - 1);
    return CopyRead(out, parts, run, last);
}
#endif
}  // namespace

// Rows that begin here and are simple are written whole, as the machine and
// the calls it makes would write them, but without a call per field. They
// are finished at once, which only a fixed width allows: a growing one is
// fixed once a row is written (a wider row is left to the machine, see
// OpenField). Once only the width is read, rows are only counted.
std::size_t TByteCsvQuoter::ReadRows(std::string_view text, std::size_t at) {
    if (FCounting) {
        if (FColumn != 0) return at;
        return CountSimpleRows(
            text, at,
            [this, data = text.data()](std::size_t start, std::size_t count, std::size_t, std::size_t end,
                                       std::size_t) QUILLMARK_IN_BLOCK_LOOP {
                FColumnCount =
                    std::max(FColumnCount, SimpleFieldsWithContent(data, start, end, count, FColumnCount));
                return true;
            });
    }
    if ((FGrowing && !FRowsWritten) || FInRow || FColumn != 0 || FColumnCount > kQuickColumns ||
        FPieceHasStandIns)
        return at;
    if (FPaddingWidth != FColumnCount) MakePadding();
    // The row's writing belongs in the loop over the blocks, which is made
    // for the processor's vector instructions (and counts bits in one).
    return ReadSimpleRows(text, at, FWords,
                          [this, data = text.data(), limit = text.data() + text.size()](const TSimpleRow& row)
                              QUILLMARK_IN_BLOCK_LOOP { return WriteSimpleRow(data, limit, row); });
}

// The empty fields that fill a row up: FPadding from FPaddingAt[k] to
// FPaddingAt[FColumnCount] fills up a row of k fields; 32 bytes follow, for
// CopyRun.
void TByteCsvQuoter::MakePadding() {
    FPadding.clear();
    FPaddingAt.resize(FColumnCount + 1);
    for (std::size_t field = 0; field < FColumnCount; ++field) {
        FPaddingAt[field] = FPadding.size();
        FPadding += FQuoted[field] != 0 ? ",\"\"" : ",";
    }
    FPaddingAt[FColumnCount] = FPadding.size();
    FPadding.append(32, '\0');
    FPaddingWidth = FColumnCount;
}

// WriteSimpleRow's fields, one by one: those of quote columns and quoted ones.
[[gnu::always_inline]] inline char* TByteCsvQuoter::WriteFieldsOneByOne(char* out, const char* data,
                                                                        const char* limit,
                                                                        const TSimpleRow& row,
                                                                        std::size_t fields) {
    TFieldFinder finder(row);
    // Fields that come out as they are, with the commas between them, are
    // copied at once; `run` is where the bytes not yet copied begin.
    const char* run = data + row.Start;
    auto quoteField = [&](std::size_t field) {
        const std::size_t from = finder.Begin(field), to = finder.End(field);
        out = CopyRun(out, run, static_cast<std::size_t>(data + from - run),
                      static_cast<std::size_t>(limit - run));
        *out++ = '"';
        out = CopyRun(out, data + from, to - from, static_cast<std::size_t>(limit - data) - from);
        *out++ = '"';
        run = data + to;
    };
    // Only two kinds of field change: those of quote columns that are not
    // quoted, and quoted ones of the other columns. The quoted fields are
    // those the row's opening marks begin, in the order of the columns.
    auto quote = FQuoteList.begin();
    const auto quoteEnd = std::lower_bound(quote, FQuoteList.end(), fields);
    for (std::size_t w = 0; w < row.WordCount; ++w) {
        const TRowWord& word = row.Words[w];
        for (std::uint64_t openings = word.Openings; openings != 0; openings &= openings - 1) {
            const int k = std::countr_zero(openings);
            const std::size_t field =
                word.Before +
                static_cast<std::size_t>(std::popcount(word.Separators & ((std::uint64_t{1} << k) - 1)));
            if (field >= fields) break;
            for (; quote != quoteEnd && *quote < field; ++quote)
                quoteField(*quote);
            if (quote != quoteEnd && *quote == field) {
                ++quote;
                continue;
            }
            // The field ends at the first separator after its opening mark.
            const std::size_t from = word.Block + static_cast<std::size_t>(k);
            std::size_t to = row.End;
            if (field + 1 < row.Count) {
                std::uint64_t after = word.Separators & ~detail::BitsUpTo(k);
                std::size_t next = w;
                while (after == 0)
                    after = row.Words[++next].Separators;
                to = row.Words[next].Block + static_cast<std::size_t>(std::countr_zero(after));
            }
            out = CopyRun(out, run, static_cast<std::size_t>(data + from - run),
                          static_cast<std::size_t>(limit - run));
            out = CopyUnquoted(out, data + from + 1, data + to - 1,
                               static_cast<std::size_t>(limit - data) - from - 1);
            run = data + to;
        }
    }
    for (; quote != quoteEnd; ++quote)
        quoteField(*quote);
    const std::size_t last = finder.End(fields - 1);
    out =
        CopyRun(out, run, static_cast<std::size_t>(data + last - run), static_cast<std::size_t>(limit - run));
    return out;
}

[[gnu::always_inline]] inline bool TByteCsvQuoter::WriteSimpleRow(const char* data, const char* limit,
                                                                  const TSimpleRow& row) {
    // Only whether the row stores anything, and anything past the width,
    // matters here: the fields past the width are empty and dropped.
    const std::size_t stored = SimpleFieldsWithContent(data, row.Start, row.End, row.Count, FColumnCount);
    if (stored == 0) {
        // As NextRow counts a row that stores nothing.
        ++FEmptyRows;
        return true;
    }
    // Content past the width is the machine's to write.
    if (stored > FColumnCount) return false;

    if (FRowEnded) FinishRow();
    WriteEmptyRows();
    Reserve(2 * (row.Next - row.Start) + FPadding.size() + 64);
    char* out = FOutput.Data.get() + FOutput.Size;
    // Empty fields past the width are dropped.
    const std::size_t fields = std::min(row.Count, FColumnCount);
#if defined(QUILLMARK_COMPRESSED_ROWS)
    if (FCompressFrom != SIZE_MAX && QuotedFields(row) >= FCompressFrom)
        out = WriteFieldsCompressed(out, data, limit, row, fields, FQuoteList);
    else
#endif
        out = WriteFieldsOneByOne(out, data, limit, row, fields);
    const std::size_t padding = FPaddingAt[FColumnCount] - FPaddingAt[fields];
    out = CopyRun(out, FPadding.data() + FPaddingAt[fields], padding, FPadding.size() - FPaddingAt[fields]);
    *out++ = '\r';
    *out++ = '\n';
    FOutput.Size = static_cast<std::size_t>(out - FOutput.Data.get());
    FRowsWritten = true;
    FlushIfFull();
    return true;
}

void TByteCsvQuoter::StoreDoubled(std::string_view bytes) {
    FDoubled.clear();
    AppendMarksDoubled(bytes, FStandInUnits, FDoubled);
    std::memcpy(FOutput.Data.get() + FOutput.Size, FDoubled.data(), FDoubled.size());
    FOutput.Size += FDoubled.size();
}

void TByteCsvQuoter::Feed(std::string_view text) {
    FPieceHasStandIns = std::ranges::any_of(
        FStandIns, [text](const std::string& standIn) { return text.find(standIn) != text.npos; });
    Reserve(2 * text.size() + 64);
    FMachine.Feed(text);
    FlushIfFull();
}

TByteCsvQuoter::TPartEnd TByteCsvQuoter::EndPart() {
    TPartEnd end;
    if (FMachine.State() == TCsvState::FieldStart && FColumn == 0 && !FCounting &&
        (!FGrowing || FRowsWritten)) {
        if (FRowEnded) FinishRow();
        end.AtRowStart = true;
        end.EmptyRows = FEmptyRows;
    }
    if (FOutput.Size > 0) FOut.Take(FOutput);
    return end;
}

void TByteCsvQuoter::WriteEmptyRows(std::size_t count) {
    FEmptyRows = count;
    WriteEmptyRows();
    if (FOutput.Size > 0) FOut.Take(FOutput);
}

void TByteCsvQuoter::Finish() {
    if (FCounting) throw ECsvWidthGrew{FColumnCount};
    // Line breaks after the last stored byte add nothing.
    if (FInRow || FRowEnded) FinishRow();
    if (FOutput.Size > 0) FOut.Take(FOutput);
}

}  // namespace quillmark
