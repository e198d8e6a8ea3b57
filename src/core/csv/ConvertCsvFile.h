#pragma once

#include <cstdint>
#include <string>

#include "base/ColumnSet.h"
#include "base/Progress.h"

namespace quillmark {

// The conversion run: reads the source CSV file and writes the target with
// the fields of the quote columns quoted, in the ANSI code page (encoding 0)
// or UTF-8 (any other value). The file is streamed in two passes (the widest
// row first), in memory bounded whatever its size; the target is written to
// a temporary file that replaces it only after the source has been read to
// its end and closed, so source and target may be the same file.
//
// Throws EFileNotFoundException "変換元CSVファイルが見つかりません。" when no
// file is at the source path (a directory does not count), Exception
// "CSVファイルの読み込みに失敗しました。" when it cannot be read, and the errors
// of WriteQuotedCsvFile. Nothing else is checked: not an empty target, not
// whether the quote columns exist in the file.
void ConvertCsvFile(const std::u16string& source, const TColumnSet& quoteColumns, std::int32_t encoding,
                    const std::u16string& target, const TProgressCallback& progress = {});

}  // namespace quillmark
