#include "csv/CsvFileReader.h"

#include <algorithm>

#include "base/Exception.h"
#include "base/FileSystem.h"
#include "base/Stream.h"
#include "text/TextLoader.h"
#include "text/TextReader.h"

namespace quillmark {

namespace {

// Counts rows and columns, and keeps the first row.
class TShapeSink final : public ICsvSink {
  public:
    TShapeSink(TCsvShape& shape, bool withFirstRow) : FShape(shape), FWithFirstRow(withFirstRow) {}

    void Store(std::size_t row, std::size_t column, std::u16string_view units) override {
        FShape.RowCount = std::max(FShape.RowCount, row + 1);
        FShape.ColCount = std::max(FShape.ColCount, column + 1);
        if (row != 0 || !FWithFirstRow) return;
        if (FShape.FirstRow.size() <= column) FShape.FirstRow.resize(column + 1);
        FShape.FirstRow[column].append(units);
    }

  private:
    TCsvShape& FShape;
    bool FWithFirstRow;
};

}  // namespace

void SplitCsvFile(const std::u16string& fileName, ICsvSink& sink, const TProgressCallback& progress,
                  unsigned pass, unsigned passes) {
    TFileStream stream(fileName);
    const std::uint64_t size = stream.Size();
    const TCodePage codePage = DetectStreamCodePage(stream);
    stream.Seek(0);
    TTextReader reader(stream, codePage);
    TCsvSplitter splitter(sink);
    std::u16string piece;
    while (reader.Read(piece)) {
        splitter.Feed(piece);
        if (progress) progress(pass * size + std::min(reader.BytesRead(), size), passes * size);
    }
}

bool ReadCsvShape(const std::u16string& fileName, TCsvShape& shape, const TProgressCallback& progress,
                  bool withFirstRow) {
    TCsvShape read;
    try {
        TShapeSink sink(read, withFirstRow);
        SplitCsvFile(fileName, sink, progress);
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
