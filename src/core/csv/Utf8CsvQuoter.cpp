#include "csv/Utf8CsvQuoter.h"

#include <algorithm>
#include <array>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "csv/QuotedCsvSink.h"

namespace quillmark {

namespace {

// Columns whose quoting is looked up in a flag table rather than the set.
constexpr std::size_t kQuickColumns = 4096;
// Output gathered before it is handed on.
constexpr std::size_t kFlushBytes = std::size_t{1} << 20;
// Empty fields written between two looks at the buffer's size.
constexpr std::size_t kEmptyFieldsAtOnce = std::size_t{1} << 16;

// What a byte is to the machine. Bytes from 0x80 up belong to multibyte
// characters and are content; the control characters the machine drops
// (CR among them) are kDrop, the tab is content.
enum TByteClass : std::uint8_t { kContent, kDrop, kLineFeed, kVerticalTab, kComma, kQuote };

constexpr auto kByteClasses = [] {
    std::array<std::uint8_t, 256> classes{};
    for (unsigned byte = 0; byte < 0x20; ++byte)
        classes[byte] = kDrop;
    classes['\t'] = kContent;
    classes['\n'] = kLineFeed;
    classes['\v'] = kVerticalTab;
    classes[','] = kComma;
    classes['"'] = kQuote;
    classes[0x7F] = kDrop;
    return classes;
}();

std::uint8_t ClassOf(char byte) {
    return kByteClasses[static_cast<std::uint8_t>(byte)];
}

// Bit k is set when byte k of the 64 at `bytes` is anything but content
// other than the tab: a control character, DEL, a comma or a quotation mark.
std::uint64_t SpecialMask(const char* bytes) {
    std::uint64_t mask = 0;
#if defined(__SSE2__)
    const __m128i below = _mm_set1_epi8(0x1F), del = _mm_set1_epi8(0x7F), comma = _mm_set1_epi8(','),
                  quote = _mm_set1_epi8('"');
    for (int part = 0; part < 4; ++part) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * part));
        const __m128i hit = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(chunk, below), chunk), _mm_cmpeq_epi8(chunk, del)),
            _mm_or_si128(_mm_cmpeq_epi8(chunk, comma), _mm_cmpeq_epi8(chunk, quote)));
        mask |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(hit))) << (16 * part);
    }
#else
    for (int k = 0; k < 64; ++k)
        if (ClassOf(bytes[k]) != kContent || bytes[k] == '\t') mask |= std::uint64_t{1} << k;
#endif
    return mask;
}

// Finds the special bytes of a piece, 64 at a time: each block is looked at
// once however many fields it holds.
class TSpecialScanner {
  public:
    TSpecialScanner(const char* data, std::size_t size) : FData(data), FSize(size), FBlock(size + 64) {}

    // The first special byte at or after `i` (at most the size), or the size.
    std::size_t Next(std::size_t i) {
        for (;;) {
            // Wraps to a large number when `i` is before the block.
            const std::size_t offset = i - FBlock;
            if (offset < 64) {
                if (const std::uint64_t mask = FMask >> offset; mask != 0)
                    return i + static_cast<std::size_t>(__builtin_ctzll(mask));
                i = FBlock + 64;
            }
            if (FSize - i < 64) {
                while (i < FSize && ClassOf(FData[i]) == kContent && FData[i] != '\t')
                    ++i;
                return i;
            }
            FBlock = i;
            FMask = SpecialMask(FData + i);
        }
    }

  private:
    const char* FData;
    std::size_t FSize;
    std::size_t FBlock;  // where the 64 bytes of FMask start
    std::uint64_t FMask = 0;
};

}  // namespace

TUtf8CsvQuoter::TUtf8CsvQuoter(IByteSink& out, const TColumnSet& quoteColumns, std::size_t columnCount,
                               bool growing)
    : FOut(out),
      FQuoteColumns(quoteColumns),
      FQuoted(kQuickColumns),
      FColumnCount(columnCount),
      FGrowing(growing) {
    for (std::int32_t column : quoteColumns) {
        if (column < 0) continue;
        if (static_cast<std::size_t>(column) >= kQuickColumns) break;
        FQuoted[static_cast<std::size_t>(column)] = 1;
    }
}

bool TUtf8CsvQuoter::IsQuoted(std::size_t column) const {
    if (column < kQuickColumns) return FQuoted[column] != 0;
    return column <= INT32_MAX && FQuoteColumns.contains(static_cast<std::int32_t>(column));
}

void TUtf8CsvQuoter::Reserve(std::size_t size) {
    if (FCapacity - FSize >= size) return;
    const std::size_t capacity = std::max(FCapacity * 2, FSize + size);
    std::unique_ptr<char[]> buffer(new char[capacity]);
    if (FSize > 0) std::memcpy(buffer.get(), FBuffer.get(), FSize);
    FBuffer = std::move(buffer);
    FCapacity = capacity;
}

void TUtf8CsvQuoter::FlushIfFull() {
    if (FSize < kFlushBytes) return;
    FOut.Write(std::string_view(FBuffer.get(), FSize));
    FSize = 0;
}

void TUtf8CsvQuoter::AppendEmptyFields(std::size_t from, std::size_t to) {
    while (from < to) {
        const std::size_t count = std::min(to - from, kEmptyFieldsAtOnce);
        Reserve(3 * count);
        char* at = FBuffer.get() + FSize;
        for (const std::size_t end = from + count; from < end; ++from) {
            if (from > 0) *at++ = ',';
            if (IsQuoted(from)) {
                *at++ = '"';
                *at++ = '"';
            }
        }
        FSize = static_cast<std::size_t>(at - FBuffer.get());
        FlushIfFull();
    }
}

// Rows the machine read without storing anything exist once a later row
// stores something: as rows of empty fields.
void TUtf8CsvQuoter::WriteEmptyRows() {
    for (; FEmptyRows > 0; --FEmptyRows) {
        AppendEmptyFields(0, FColumnCount);
        Reserve(2);
        FBuffer[FSize++] = '\r';
        FBuffer[FSize++] = '\n';
        FRowsWritten = true;
        FlushIfFull();
    }
}

// Makes the field the machine is in the open one, before content is stored
// in it; `remaining` bytes of the piece are still to come.
void TUtf8CsvQuoter::OpenField(std::size_t remaining) {
    // Before the row read last is finished: the first store of a row may
    // still widen the rows before it as long as none of them is written.
    if (FGrowing && FColumn >= FColumnCount) {
        if (FRowsWritten) throw ECsvWidthGrew();
        FColumnCount = FColumn + 1;
    }
    if (!FInRow) {
        if (FRowEnded) FinishRow();
        WriteEmptyRows();
        FInRow = true;
        FOpenColumn = 0;
        FOpenQuoted = IsQuoted(0);
        Reserve(1);
        if (FOpenQuoted) FBuffer[FSize++] = '"';
    }
    if (FColumn != FOpenColumn) {
        Reserve(1);
        if (FOpenQuoted) FBuffer[FSize++] = '"';
        AppendEmptyFields(FOpenColumn + 1, FColumn);
        FOpenColumn = FColumn;
        FOpenQuoted = IsQuoted(FColumn);
        Reserve(2);
        FBuffer[FSize++] = ',';
        if (FOpenQuoted) FBuffer[FSize++] = '"';
    }
    // Content takes at most two bytes for each byte read (a doubled
    // quotation mark): the byte loop need not look at the room it has.
    Reserve(2 * remaining + 64);
}

// A row is finished (filled up, ended) only when the next one stores
// something, or at the end: the width may still change until then.
void TUtf8CsvQuoter::EndRow() {
    if (FInRow) {
        FInRow = false;
        FRowEnded = true;
    } else {
        ++FEmptyRows;
    }
    FColumn = 0;
}

void TUtf8CsvQuoter::FinishRow() {
    Reserve(1);
    if (FOpenQuoted) FBuffer[FSize++] = '"';
    AppendEmptyFields(FOpenColumn + 1, FColumnCount);
    Reserve(2);
    FBuffer[FSize++] = '\r';
    FBuffer[FSize++] = '\n';
    FRowsWritten = true;
    FInRow = false;
    FRowEnded = false;
    FlushIfFull();
}

// OpenField's usual case, kept small enough to be inlined: the field after
// the open one, in a row no wider than the rows before it.
inline bool TUtf8CsvQuoter::OpenNextField(std::size_t remaining) {
    if (!FInRow || FColumn != FOpenColumn + 1 || FColumn >= FColumnCount || FColumn >= kQuickColumns ||
        FCapacity - FSize < 2 * remaining + 64 + 3)
        return false;
    char* at = FBuffer.get() + FSize;
    if (FOpenQuoted) *at++ = '"';
    *at++ = ',';
    FOpenColumn = FColumn;
    FOpenQuoted = FQuoted[FColumn] != 0;
    if (FOpenQuoted) *at++ = '"';
    FSize = static_cast<std::size_t>(at - FBuffer.get());
    return true;
}

void TUtf8CsvQuoter::Feed(std::string_view text) {
    using enum TCsvState;
    const char* const data = text.data();
    const std::size_t size = text.size();
    TSpecialScanner scanner(data, size);
    TCsvState state = FState;
    std::size_t i = 0;

    // Stores the bytes [from, to) in the machine's field.
    auto store = [&](std::size_t from, std::size_t to) {
        if (from == to) return;
        if ((!FInRow || FColumn != FOpenColumn) && !OpenNextField(size - from)) OpenField(size - from);
        std::memcpy(FBuffer.get() + FSize, data + from, to - from);
        FSize += to - from;
    };
    // Stores a quotation mark (doubled in a quote column).
    auto storeQuote = [&](std::size_t at) {
        if (!FInRow || FColumn != FOpenColumn) OpenField(size - at);
        FBuffer[FSize++] = '"';
        if (FOpenQuoted) FBuffer[FSize++] = '"';
    };
    // A separator after a field's content.
    auto separate = [&](std::uint8_t byteClass) {
        state = FieldStart;
        if (byteClass == kComma) {
            ++FColumn;
        } else {
            EndRow();
        }
    };

    Reserve(2 * size + 64);
    while (i < size) {
        switch (state) {
            case FieldStart:
                switch (ClassOf(data[i])) {
                    case kQuote:
                        state = Quoted;
                        ++i;
                        break;
                    case kComma:
                        ++FColumn;
                        ++i;
                        break;
                    case kLineFeed:
                    case kVerticalTab:
                        ++i;
                        EndRow();
                        break;
                    case kDrop:
                        ++i;
                        break;
                    default:
                        // Spaces too: nothing is trimmed. Plain reads this byte again.
                        state = Plain;
                        break;
                }
                break;

            case Plain:
            case AfterQuote: {
                // Runs of content up to a separator. A quotation mark is an
                // ordinary character in Plain; in AfterQuote it is the second
                // mark of a doubled pair, which reopens the quotes and is kept.
                std::size_t run = i;
                for (;;) {
                    const std::size_t at = scanner.Next(i);
                    if (at == size) {
                        store(run, size);
                        i = size;
                        break;
                    }
                    const std::uint8_t byteClass = ClassOf(data[at]);
                    i = at + 1;
                    if (byteClass == kContent) continue;
                    if (byteClass == kQuote && state == Plain) {
                        store(run, i);
                        if (FOpenQuoted) FBuffer[FSize++] = '"';
                        run = i;
                        continue;
                    }
                    store(run, at);
                    run = i;
                    if (byteClass == kDrop) continue;
                    if (byteClass == kQuote) {
                        storeQuote(at);
                        state = Quoted;
                    } else {
                        separate(byteClass);
                    }
                    break;
                }
                break;
            }

            case Quoted: {
                // Commas and line feeds belong to the value until the closing mark.
                std::size_t run = i;
                for (;;) {
                    const std::size_t at = scanner.Next(i);
                    if (at == size) {
                        store(run, size);
                        i = size;
                        break;
                    }
                    const std::uint8_t byteClass = ClassOf(data[at]);
                    i = at + 1;
                    if (byteClass == kContent || byteClass == kComma || byteClass == kLineFeed) continue;
                    store(run, at);
                    run = i;
                    if (byteClass == kQuote) {
                        state = AfterQuote;
                        break;
                    }
                    if (byteClass == kVerticalTab) {
                        // Stored as the line feed it counts as.
                        if (!FInRow || FColumn != FOpenColumn) OpenField(size - at);
                        FBuffer[FSize++] = '\n';
                    }
                }
                break;
            }
        }
    }
    FState = state;
    FlushIfFull();
}

void TUtf8CsvQuoter::Finish() {
    // Line breaks after the last stored byte add nothing.
    if (FInRow || FRowEnded) FinishRow();
    if (FSize > 0) FOut.Write(std::string_view(FBuffer.get(), FSize));
    FSize = 0;
}

}  // namespace quillmark
