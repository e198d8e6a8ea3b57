#include "csv/CsvFileReader.h"

#include <algorithm>

#include "base/Exception.h"
#include "base/Messages.h"
#include "base/Stream.h"
#include "base/Utf.h"
#include "text/TextLoader.h"
#include "text/TextReader.h"
#include "text/Utf8Cleaner.h"

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

void SplitCsvFile(const std::u16string& fileName, ICsvSinkOf<char16_t>& sink16, ICsvSinkOf<char>* sink8,
                  const TProgressCallback& progress, unsigned pass, unsigned passes, bool exact) {
    TFileStream stream(fileName);
    const std::uint64_t size = stream.Size();
    const TCodePage codePage = DetectStreamCodePage(stream);
    stream.Seek(0);
    // A small file needs no large buffer: filling one costs more than its reading.
    const auto pieceBytes = static_cast<std::size_t>(std::clamp<std::uint64_t>(size + 1, 4096, kPieceBytes));
    auto report = [&](std::uint64_t done) {
        if (progress) progress(pass * size + std::min(done, size), passes * size);
    };

    if (codePage == CP_UTF_8 && sink8 != nullptr) {
        // UTF-8 stays UTF-8: checked, mended where ill-formed, split as bytes.
        TUtf8CsvSplitter splitter(*sink8);
        TUtf8Cleaner cleaner(!exact);
        std::string bytes(pieceBytes, '\0');
        std::string clean;
        std::uint64_t done = 0;
        bool first = true;
        for (;;) {
            // Exactly the size the file had when opened: a file that shrinks
            // while it is read is an error, what it grows by is not read.
            const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), size - done));
            const std::size_t got = want == 0 ? 0 : stream.Read(bytes.data(), want);
            if (got == 0 && done < size) throw EReadError(messages::StreamReadError);
            done += got;
            std::string_view piece(bytes.data(), got);
            if (first && piece.starts_with("\xEF\xBB\xBF")) piece.remove_prefix(3);
            first = false;
            clean.clear();
            cleaner.Clean(piece, got == 0, clean);
            splitter.Feed(clean);
            report(done);
            if (got == 0) break;
        }
        return;
    }

    TTextReader reader(stream, codePage, pieceBytes, size);
    TCsvSplitter splitter(sink16);
    std::u16string piece;
    while (reader.Read(piece)) {
        splitter.Feed(piece);
        report(reader.BytesRead());
    }
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
