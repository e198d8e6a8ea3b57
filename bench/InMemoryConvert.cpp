// quillmark-inmemory SOURCE TARGET ENCODING COLUMNS: converts the way the
// file was first converted, whole in memory (ReadCsvFile, then the table
// written at once). bench/bench.py --big checks the streamed conversion of a
// large file against it, piece by piece.
#include <cstdio>
#include <string>

#include "base/Utf.h"
#include "csv/Csv.h"
#include "csv/QuotedCsvWriter.h"
#include "settings/QuoteColumns.h"

int main(int argc, char** argv) {
    using namespace quillmark;
    if (argc != 5) {
        std::fprintf(stderr, "usage: quillmark-inmemory SOURCE TARGET ENCODING COLUMNS\n");
        return 2;
    }
    TCsvTable table;
    if (!ReadCsvFile(NativeToUnicode(argv[1]), table)) return 1;
    try {
        WriteQuotedCsvFile(NativeToUnicode(argv[2]), table, std::stoi(argv[3]),
                           ParseQuoteColumns(NativeToUnicode(argv[4])));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
