#include "csv/ConvertCsvFile.h"

#include "base/Exception.h"
#include "base/FileSystem.h"
#include "base/Messages.h"
#include "csv/CsvFileReader.h"
#include "csv/QuotedCsvSink.h"
#include "csv/QuotedCsvWriter.h"

namespace quillmark {

namespace {

// Writes the target in one pass over the source. With `growing`, the width
// is learnt on the way and ECsvWidthGrew ends the pass when a row is wider
// than rows already written; otherwise every row is filled up to `width`.
void WriteTarget(const std::u16string& source, const TColumnSet& quoteColumns, std::int32_t encoding,
                 const std::u16string& target, const TProgressCallback& progress, std::size_t width,
                 bool growing, unsigned pass, unsigned passes) {
    // The target goes to a temporary file, which replaces it only after the
    // source has been read to its end and closed. A UTF-8 source goes
    // through as UTF-8, anything else as UTF-16; only one of the two writers
    // gets any text.
    TSafeFileWriter file(target);
    TQuotedCsvWriter writer(file, encoding, quoteColumns);
    TUtf8QuotedCsvWriter writer8(file, encoding, quoteColumns);
    TQuotedCsvSink sink(writer, width, growing);
    TUtf8QuotedCsvSink sink8(writer8, width, growing);
    try {
        SplitCsvFile(source, sink, &sink8, progress, pass, passes);
    } catch (const EAbort&) {
        throw;
    } catch (const EWriteError&) {
        throw;
    } catch (const ECsvWidthGrew&) {
        throw;
    } catch (...) {
        throw Exception(messages::CsvReadFailed);
    }
    sink.Finish();
    sink8.Finish();
    writer.Finish();
    writer8.Finish();
    file.Commit();
}

}  // namespace

void ConvertCsvFile(const std::u16string& source, const TColumnSet& quoteColumns, std::int32_t encoding,
                    const std::u16string& target, const TProgressCallback& progress) {
    if (!FileExists(source)) throw EFileNotFoundException(messages::SourceNotFound);
    // A source that cannot even be opened is reported before the target is
    // touched.
    try {
        DetectCsvFileCodePage(source);
    } catch (...) {
        throw Exception(messages::CsvReadFailed);
    }
    // Most files have rows of one width, or their widest row first: one pass
    // learns the width as it goes. Otherwise the widest row is found first
    // and every row filled up to it.
    try {
        WriteTarget(source, quoteColumns, encoding, target, progress, 0, true, 0, 1);
        return;
    } catch (const ECsvWidthGrew&) {
    }
    TCsvShape shape;
    if (!ReadCsvShape(source, shape, progress, false, 0, 2)) throw Exception(messages::CsvReadFailed);
    WriteTarget(source, quoteColumns, encoding, target, progress, shape.ColCount, false, 1, 2);
}

}  // namespace quillmark
