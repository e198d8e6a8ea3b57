#include "csv/CsvFileReader.h"

#include <algorithm>

#include "base/Exception.h"
#include "base/Messages.h"
#include "base/Stream.h"
#include "base/Utf.h"
#include "text/TextLoader.h"
#include "text/TextReader.h"

namespace quillmark {

namespace {

constexpr std::size_t kPieceBytes = std::size_t{1} << 20;

// Counts rows and columns, and keeps the first row.
class TShapeSink final : public ICsvSinkOf<char16_t>, public ICsvSinkOf<char> {
  public:
    TShapeSink(TCsvShape& shape, bool withFirstRow) : FShape(shape), FWithFirstRow(withFirstRow) {}

    void Store(std::size_t row, std::size_t column, std::u16string_view units) override {
        if (Count(row, column)) FShape.FirstRow[column].append(units);
    }
    void Store(std::size_t row, std::size_t column, std::string_view units) override {
        // A character may come in two stores: the first row is widened at the end.
        FUtf8 = true;
        if (Count(row, column)) FFirstRow8[column].append(units);
    }

    void Finish() {
        if (!FUtf8) return;
        for (std::size_t column = 0; column < FFirstRow8.size(); ++column)
            FShape.FirstRow[column] = Utf8ToUtf16(FFirstRow8[column]);
    }

  private:
    bool Count(std::size_t row, std::size_t column) {
        if (row >= FShape.RowCount) FShape.RowCount = row + 1;
        if (column >= FShape.ColCount) FShape.ColCount = column + 1;
        if (row != 0 || !FWithFirstRow) return false;
        if (FShape.FirstRow.size() <= column) {
            FShape.FirstRow.resize(column + 1);
            FFirstRow8.resize(column + 1);
        }
        return true;
    }

    TCsvShape& FShape;
    bool FWithFirstRow;
    std::vector<std::string> FFirstRow8;
    bool FUtf8 = false;  // the text came as UTF-8
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

void SplitCsvFile(const std::u16string& fileName, ICsvSinkOf<char16_t>& sink16, ICsvSinkOf<char>* sink8,
                  const TProgressCallback& progress, unsigned pass, unsigned passes, bool exact) {
    TCsvSource source(fileName);
    TTextReader reader = source.Reader();
    const auto report = Reporter(progress, source.Size, pass, passes);

    if (sink8 != nullptr && TTextReader::ReadsAs(source.CodePage, CP_UTF_8)) {
        // Split as bytes, without UTF-16 on the way.
        TUtf8CsvSplitter splitter(*sink8);
        std::string_view piece;
        while (reader.ReadAs(CP_UTF_8, piece, exact)) {
            splitter.Feed(piece);
            report(reader.BytesRead());
        }
        return;
    }
    TCsvSplitter splitter(sink16);
    std::u16string piece;
    while (reader.Read(piece)) {
        splitter.Feed(piece);
        report(reader.BytesRead());
    }
}

bool ReadCsvFileAs(const std::u16string& fileName, TCodePage target,
                   const std::function<void(std::string_view)>& feed, const TProgressCallback& progress,
                   unsigned pass, unsigned passes) {
    TCsvSource source(fileName);
    if (!TTextReader::ReadsAs(source.CodePage, target)) return false;
    TTextReader reader = source.Reader();
    const auto report = Reporter(progress, source.Size, pass, passes);
    std::string_view piece;
    while (reader.ReadAs(target, piece)) {
        feed(piece);
        report(reader.BytesRead());
    }
    return true;
}

bool ReadCsvShape(const std::u16string& fileName, TCsvShape& shape, const TProgressCallback& progress,
                  bool withFirstRow, unsigned pass, unsigned passes) {
    TCsvShape read;
    try {
        TShapeSink sink(read, withFirstRow);
        SplitCsvFile(fileName, sink, &sink, progress, pass, passes, withFirstRow);
        sink.Finish();
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
