#include "csv/CsvFileReader.h"

#include <algorithm>
#include <optional>

#include "base/Exception.h"
#include "base/Messages.h"
#include "base/ReadAhead.h"
#include "base/Stream.h"
#include "base/Utf.h"
#include "csv/ByteCsvMachine.h"
#include "csv/CsvParts.h"
#include "csv/SimpleRows.h"
#include "text/TextLoader.h"
#include "text/TextReader.h"

namespace quillmark {

namespace {

constexpr std::size_t kPieceBytes = std::size_t{1} << 18;

// Counts rows and columns, and keeps the first row: of the UTF-16 machine's
// stores (as a sink) or of the byte machine's (as its actions).
class TShapeCounter final : public ICsvSinkOf<char16_t> {
  public:
    // `firstRowPending` is cleared once the first row is read.
    TShapeCounter(TCsvShape& shape, bool withFirstRow, std::atomic<bool>* firstRowPending = nullptr)
        : FShape(shape), FWithFirstRow(withFirstRow), FFirstRowPending(firstRowPending) {}

    void Store(std::size_t row, std::size_t column, std::u16string_view units) override {
        if (Count(row, column)) FShape.FirstRow[column].append(units);
    }

    // A character may come in two stores: the first row is widened at the end.
    void Store(const char* bytes, std::size_t size, std::size_t) {
        if (Count(FRow, FColumn)) FFirstRow8[FColumn].append(bytes, size);
    }
    void StoreQuote(std::size_t) {
        if (Count(FRow, FColumn)) FFirstRow8[FColumn].push_back('"');
    }
    void StoreLineFeed(std::size_t) {
        if (Count(FRow, FColumn)) FFirstRow8[FColumn].push_back('\n');
    }
    void NextField() { ++FColumn; }
    void NextRow() {
        if (FRow++ == 0 && FFirstRowPending) FFirstRowPending->store(false, std::memory_order_relaxed);
        FColumn = 0;
    }
    // Simple rows count up to their last field that holds content; the
    // first row's text is the machine's to gather.
    std::size_t ReadRows(std::string_view text, std::size_t at) {
        if (FColumn != 0 || (FRow == 0 && FWithFirstRow)) return at;
        return CountSimpleRows(text, at,
                               [this, data = text.data()](std::size_t start, std::size_t count, std::size_t,
                                                          std::size_t end, std::size_t) {
                                   if (const std::size_t fields =
                                           SimpleFieldsWithContent(data, start, end, count, FShape.ColCount))
                                       Count(FRow, fields - 1);
                                   ++FRow;
                                   return true;
                               });
    }

    // Whether the machine, at FieldStart, is at the start of a row.
    bool AtRowStart() const { return FColumn == 0; }

    // Adds the shape of the rows after those read, read by a counter of
    // their own from the row start where this one stands.
    template <class TPart>
    void Append(const TPart& part) {
        const TCsvShape& rest = part.Shape;
        if (rest.RowCount > 0) FShape.RowCount = FRow + rest.RowCount;
        FShape.ColCount = std::max(FShape.ColCount, rest.ColCount);
    }

    void Finish() {
        for (std::size_t column = 0; column < FFirstRow8.size(); ++column)
            if (!FFirstRow8[column].empty()) FShape.FirstRow[column] = Utf8ToUtf16(FFirstRow8[column]);
    }

  private:
    [[gnu::always_inline]] bool Count(std::size_t row, std::size_t column) {
        if (row >= FShape.RowCount) FShape.RowCount = row + 1;
        if (column >= FShape.ColCount) FShape.ColCount = column + 1;
        if (row != 0 || !FWithFirstRow) return false;
        return KeepFirstRow(column);
    }

    bool KeepFirstRow(std::size_t column) {
        if (FShape.FirstRow.size() <= column) {
            FShape.FirstRow.resize(column + 1);
            FFirstRow8.resize(column + 1);
        }
        return true;
    }

    TCsvShape& FShape;
    bool FWithFirstRow;
    std::atomic<bool>* FFirstRowPending;
    std::size_t FRow = 0;  // where the byte machine is
    std::size_t FColumn = 0;
    std::vector<std::string> FFirstRow8;
};

}  // namespace

TCodePage DetectCsvFileCodePage(const std::u16string& fileName) {
    TFileStream stream(fileName);
    return DetectStreamCodePage(stream);
}

namespace {

// A source opened for reading in pieces.
struct TCsvSource {
    explicit TCsvSource(const std::u16string& fileName)
        : Stream(fileName), Size(Stream.Size()), CodePage(DetectStreamCodePage(Stream)) {
        Stream.Seek(0);
    }

    // A reader of exactly the size the file had when opened: a file that
    // shrinks while it is read is an error, what it grows by is not read.
    // A small file needs no large buffer: filling one costs more than its
    // reading.
    TTextReader Reader() {
        return TTextReader(Stream, CodePage,
                           static_cast<std::size_t>(std::clamp<std::uint64_t>(Size + 1, 4096, kPieceBytes)),
                           Size);
    }

    TFileStream Stream;
    std::uint64_t Size;
    TCodePage CodePage;
};

// Tells `progress` how far pass `pass` of `passes` has come.
auto Reporter(const TProgressCallback& progress, std::uint64_t size, unsigned pass, unsigned passes) {
    return [&progress, size, pass, passes](std::uint64_t done) {
        if (progress) progress(pass * size + std::min(done, size), passes * size);
    };
}

}  // namespace

void SplitCsvFile(const std::u16string& fileName, ICsvSinkOf<char16_t>& sink,
                  const TProgressCallback& progress, unsigned pass, unsigned passes) {
    TCsvSource source(fileName);
    TTextReader reader = source.Reader();
    const auto report = Reporter(progress, source.Size, pass, passes);
    TCsvSplitter splitter(sink);
    std::u16string piece;
    while (reader.Read(piece)) {
        splitter.Feed(piece);
        report(reader.BytesRead());
    }
}

namespace {

bool ReadSourceAs(TCsvSource& source, TCodePage target, const std::function<void(std::string_view)>& feed,
                  const TProgressCallback& progress, unsigned pass, unsigned passes,
                  const std::atomic<bool>* exact) {
    auto isExact = [exact] { return exact == nullptr || exact->load(std::memory_order_relaxed); };
    if (!TTextReader::ReadsAs(source.CodePage, target)) return false;
    TTextReader reader = source.Reader();
    const auto report = Reporter(progress, source.Size, pass, passes);
    if (source.Size <= kPieceBytes) {
        std::string_view piece;
        while (reader.ReadAs(target, piece, isExact())) {
            feed(piece);
            report(reader.BytesRead());
        }
        return true;
    }
    // A file of several pieces is read and decoded in a second thread.
    TReadAhead ahead([&reader, target, &isExact](std::string& piece, std::uint64_t& done) {
        if (!reader.ReadAs(target, piece, isExact())) return false;
        done = reader.BytesRead();
        return true;
    });
    std::string piece;
    std::uint64_t done = 0;
    while (ahead.Next(piece, done)) {
        feed(piece);
        report(done);
    }
    return true;
}

// The code page a file's shape is read in: Shift_JIS as 932, which the
// rewriting gives faster than decoding does and which has the same
// structure; anything else as UTF-8.
TCodePage ShapeTarget(TCodePage codePage) {
    return codePage == CP_SHIFT_JIS ? CP_SHIFT_JIS : CP_UTF_8;
}

// The rows after a row start, counted by a counter of their own.
struct TShapePart {
    TCsvShape Shape;
    TShapeCounter Counter{Shape, false};
    std::atomic<bool> Exact = false;
};

// Reads the shape of a large file in two parts at once, see ReadInParts.
bool ReadShapeInParts(TCsvSource& source, TShapeCounter& counter, TByteCsvMachine<TShapeCounter>& machine,
                      const std::function<void(std::uint64_t)>& report, const std::atomic<bool>& exact) {
    return ReadInParts(
        source.Stream, source.Size, source.CodePage, ShapeTarget(source.CodePage), counter, machine,
        [] { return std::make_unique<TShapePart>(); }, report, exact);
}

}  // namespace

std::size_t FindRowStart(std::string_view text, std::size_t from) {
    constexpr std::size_t kRows = 4, kTries = 64;
    for (std::size_t tries = 0; tries < kTries; ++tries) {
        const std::size_t lineFeed = text.find('\n', from);
        if (lineFeed == text.npos) break;
        from = lineFeed + 1;
        std::size_t rows = 0;
        CountSimpleRows(text, from, [&rows](std::size_t, std::size_t, std::size_t, std::size_t, std::size_t) {
            return ++rows < kRows;
        });
        if (rows == kRows) return from;
    }
    return text.npos;
}

std::optional<std::uint64_t> GuessRowStart(TFileStream& file, std::uint64_t from, std::uint64_t size) {
    constexpr std::size_t kLook = std::size_t{1} << 16;
    std::string window(static_cast<std::size_t>(std::min<std::uint64_t>(kLook, size - from)), '\0');
    window.resize(file.ReadAt(from, window.data(), window.size()));
    const std::size_t at = FindRowStart(window, 0);
    if (at == window.npos) return std::nullopt;
    return from + at;
}

bool ReadCsvFileAs(const std::u16string& fileName, TCodePage target,
                   const std::function<void(std::string_view)>& feed, const TProgressCallback& progress,
                   unsigned pass, unsigned passes, const std::atomic<bool>* exact) {
    TCsvSource source(fileName);
    return ReadSourceAs(source, target, feed, progress, pass, passes, exact);
}

namespace {

// The first row of a file ReadAs reads in UTF-8, read only as far as it
// goes, in this thread: it is short, as a rule.
TCsvRow ReadFirstRow(TCsvSource& source, const TProgressCallback& progress, unsigned pass, unsigned passes) {
    TCsvShape first;
    std::atomic<bool> exact = true;
    TShapeCounter counter(first, true, &exact);
    TByteCsvMachine machine(counter);
    TTextReader reader = source.Reader();
    const auto report = Reporter(progress, source.Size, pass, passes);
    std::string_view piece;
    while (exact.load(std::memory_order_relaxed) && reader.ReadAs(CP_UTF_8, piece, true)) {
        machine.Feed(piece);
        report(reader.BytesRead());
    }
    counter.Finish();
    return std::move(first.FirstRow);
}

// ReadCsvShape's reading; without `bytes`, the file is split as UTF-16
// whatever its code page.
void ReadShape(const std::u16string& fileName, TCsvShape& read, const TProgressCallback& progress,
               bool withFirstRow, unsigned pass, unsigned passes, bool bytes) {
    TCsvSource source(fileName);
    // A Shift_JIS file's shape comes from its 932 form, its first row's
    // text from the exact decoded text, read apart.
    const bool shiftJis = bytes && source.CodePage == CP_SHIFT_JIS;
    if (shiftJis && withFirstRow) {
        read.FirstRow = ReadFirstRow(source, progress, pass, passes);
        source.Stream.Seek(0);
    }
    // Ill-formed UTF-8 changes the first row's text, never the shape: the
    // text is read exactly only until the first row is in.
    std::atomic<bool> exact = withFirstRow && !shiftJis;
    TShapeCounter counter(read, withFirstRow && !shiftJis, &exact);
    TByteCsvMachine machine(counter);
    if (bytes &&
        (ReadShapeInParts(source, counter, machine, Reporter(progress, source.Size, pass, passes), exact) ||
         ReadSourceAs(
             source, ShapeTarget(source.CodePage), [&machine](std::string_view text) { machine.Feed(text); },
             progress, pass, passes, &exact))) {
        counter.Finish();
    } else {
        SplitCsvFile(fileName, counter, progress, pass, passes);
    }
}

}  // namespace

bool ReadCsvShape(const std::u16string& fileName, TCsvShape& shape, const TProgressCallback& progress,
                  bool withFirstRow, unsigned pass, unsigned passes) {
    TCsvShape read;
    try {
        try {
            ReadShape(fileName, read, progress, withFirstRow, pass, passes, true);
        } catch (const ETextNotAscii&) {
            // A file taken byte by byte that is not ASCII after all.
            read = {};
            ReadShape(fileName, read, progress, withFirstRow, pass, passes, false);
        }
    } catch (const EAbort&) {
        throw;
    } catch (...) {
        return false;
    }
    if (read.RowCount > 0 && withFirstRow) read.FirstRow.resize(read.ColCount);
    shape = std::move(read);
    return true;
}

}  // namespace quillmark
