#include "csv/CsvFileReader.h"

#include <algorithm>

#include "base/Exception.h"
#include "base/Messages.h"
#include "base/ReadAhead.h"
#include "base/Stream.h"
#include "base/Utf.h"
#include "csv/ByteCsvMachine.h"
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
        return CountSimpleRows(
            text, at,
            [this, data = text.data()](std::size_t start, std::size_t count, std::size_t, std::size_t end,
                                       std::size_t) {
                if (const std::size_t fields = SimpleFieldsWithContent(data, start, end, count))
                    Count(FRow, fields - 1);
                ++FRow;
                return true;
            });
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

bool ReadCsvFileAs(const std::u16string& fileName, TCodePage target,
                   const std::function<void(std::string_view)>& feed, const TProgressCallback& progress,
                   unsigned pass, unsigned passes, const std::atomic<bool>* exact) {
    auto isExact = [exact] { return exact == nullptr || exact->load(std::memory_order_relaxed); };
    TCsvSource source(fileName);
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

bool ReadCsvShape(const std::u16string& fileName, TCsvShape& shape, const TProgressCallback& progress,
                  bool withFirstRow, unsigned pass, unsigned passes) {
    TCsvShape read;
    try {
        // Ill-formed UTF-8 changes the first row's text, never the shape:
        // the text is read exactly only until the first row is in.
        std::atomic<bool> exact = withFirstRow;
        TShapeCounter counter(read, withFirstRow, &exact);
        TByteCsvMachine machine(counter);
        if (ReadCsvFileAs(
                fileName, CP_UTF_8, [&machine](std::string_view text) { machine.Feed(text); }, progress, pass,
                passes, &exact)) {
            counter.Finish();
        } else {
            SplitCsvFile(fileName, counter, progress, pass, passes);
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
