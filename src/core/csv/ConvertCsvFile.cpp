#include "csv/ConvertCsvFile.h"

#include "base/Exception.h"
#include "base/FileSystem.h"
#include "base/Messages.h"
#include "csv/CsvFileReader.h"
#include "csv/QuotedCsvSink.h"
#include "csv/QuotedCsvWriter.h"

namespace quillmark {

void ConvertCsvFile(const std::u16string& source, const TColumnSet& quoteColumns, std::int32_t encoding,
                    const std::u16string& target, const TProgressCallback& progress) {
    if (!FileExists(source)) throw EFileNotFoundException(messages::SourceNotFound);
    // First pass: the widest row, which every row is filled up to. The
    // source is read whole before the target is touched, so a source that
    // cannot be read leaves the target alone.
    TCsvShape shape;
    if (!ReadCsvShape(
            source, shape,
            [&progress](std::uint64_t done, std::uint64_t total) {
                if (progress) progress(done, 2 * total);
            },
            false))
        throw Exception(messages::CsvReadFailed);

    // Second pass: straight into a temporary file, which replaces the
    // target only after the source has been read to its end and closed.
    TSafeFileWriter file(target);
    TQuotedCsvWriter writer(file, encoding, quoteColumns);
    TQuotedCsvSink sink(writer, shape.ColCount);
    try {
        SplitCsvFile(source, sink, progress, 1, 2);
    } catch (const EAbort&) {
        throw;
    } catch (const EWriteError&) {
        throw;
    } catch (...) {
        throw Exception(messages::CsvReadFailed);
    }
    sink.Finish();
    writer.Finish();
    file.Commit();
}

}  // namespace quillmark
