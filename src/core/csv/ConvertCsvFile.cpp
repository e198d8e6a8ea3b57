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
    if (!ReadCsvShape(source, shape, progress, false, 0, 2)) throw Exception(messages::CsvReadFailed);

    // Second pass: straight into a temporary file, which replaces the
    // target only after the source has been read to its end and closed. A
    // UTF-8 source goes through as UTF-8, anything else as UTF-16; only one
    // of the two writers gets any text.
    TSafeFileWriter file(target);
    TQuotedCsvWriter writer(file, encoding, quoteColumns);
    TUtf8QuotedCsvWriter writer8(file, encoding, quoteColumns);
    TQuotedCsvSink sink(writer, shape.ColCount);
    TUtf8QuotedCsvSink sink8(writer8, shape.ColCount);
    try {
        SplitCsvFile(source, sink, &sink8, progress, 1, 2);
    } catch (const EAbort&) {
        throw;
    } catch (const EWriteError&) {
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

}  // namespace quillmark
