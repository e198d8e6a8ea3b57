#include "csv/ConvertCsvFile.h"

#include "base/Exception.h"
#include "base/FileSystem.h"
#include "base/Messages.h"
#include "csv/Csv.h"
#include "csv/QuotedCsvWriter.h"

namespace quillmark {

void ConvertCsvFile(const std::u16string& source, const TColumnSet& quoteColumns, std::int32_t encoding,
                    const std::u16string& target, const TProgressCallback& progress) {
    if (!FileExists(source)) throw EFileNotFoundException(messages::SourceNotFound);
    TCsvTable table;
    if (!ReadCsvFile(source, table, progress)) throw Exception(messages::CsvReadFailed);
    WriteQuotedCsvFile(target, table, encoding, quoteColumns);
}

}  // namespace quillmark
