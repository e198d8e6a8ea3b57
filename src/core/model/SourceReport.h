#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/ColumnSet.h"
#include "base/Progress.h"
#include "csv/CsvCheck.h"
#include "csv/CsvTable.h"

// What the window shows about its source beside the column list: the check
// of the conversion the settings describe and a preview of the target.
namespace quillmark {

// How many rows of the target the preview shows.
inline constexpr std::size_t kPreviewRows = 50;

// A field of the preview: as the target would hold it, read back.
struct TPreviewCell {
    std::u16string Text;      // quoted form for ticked columns, stand-ins in place of lost characters
    std::vector<bool> Lossy;  // per unit of Text: part of a stand-in ("?"); empty when there is none
    bool Quoted = false;      // the column is ticked
    bool Breaks = false;      // written unquoted, it would not read back as one field

    bool operator==(const TPreviewCell&) const = default;
};
using TPreviewRow = std::vector<TPreviewCell>;

// The first `rows` rows of a file as TCsv reads them, not filled up; only
// as much of the file is read as they take. False when it cannot be read.
bool ReadCsvHead(const std::u16string& fileName, std::size_t rows, TCsvTable& head);

// The rows as the conversion would write them: every row filled up to
// `colCount` fields, ticked columns quoted, each field in the target's code
// page (that of `characters`) and read back.
std::vector<TPreviewRow> MakePreview(const TCsvTable& head, std::size_t colCount,
                                     const TColumnSet& quoteColumns, TTargetCharacters& characters);

// "文字コード: Shift_JIS (932)　行数: 1,234　列数: 12"
std::u16string FormatSourceStatus(const TCsvCheck& check);

// The tool tip of a column whose fields would break the target unquoted:
// "カンマ・改行を含むフィールド: 12".
std::u16string FormatBreakingHint(std::uint64_t fields);

// After a conversion: "1,234 行を書き込みました（0.52 秒、置き換えた文字: 3）".
std::u16string FormatConversionStatus(std::uint64_t rows, double seconds, std::uint64_t replaced);

// The check and the head of the file the column list was read from, kept
// until the file is read again or the target's code page changes.
class TSourceReport {
  public:
    // Brings the report up to date: reads the file again when it is another
    // file or another reading of it (`generation`), or when `encoding`
    // writes another code page. An empty name, or a file that cannot be
    // read, leaves no report. True when the file was read. An EAbort from
    // `progress` passes through and leaves no report either.
    bool Update(const std::u16string& fileName, std::uint64_t generation, std::int32_t encoding,
                const TColumnSet& quoteColumns, const TProgressCallback& progress = {});

    // Whether Update would read the file.
    bool NeedsReading(const std::u16string& fileName, std::uint64_t generation, std::int32_t encoding) const;

    // Nothing when there is no readable source.
    const std::optional<TCsvCheck>& Check() const { return FCheck; }
    // The preview with the ticks and encoding of the last Update.
    const std::vector<TPreviewRow>& Preview() const { return FPreview; }

  private:
    std::u16string FFileName;
    std::uint64_t FGeneration = 0;
    TCodePage FTarget = 0;
    bool FRead = false;
    std::optional<TCsvCheck> FCheck;
    TCsvTable FHead;
    std::unique_ptr<TTargetCharacters> FCharacters;
    std::vector<TPreviewRow> FPreview;
};

class TFormMainModel;
class IUserInterface;

// Brings `report` up to the column list, ticks and encoding of `model`;
// when the file is read, with the busy cursor and the progress of `ui`. A
// cancelled reading leaves no report until the next change asks again.
void UpdateSourceReport(TSourceReport& report, const TFormMainModel& model, IUserInterface& ui);

// The status after a conversion (FormatConversionStatus): rows and replaced
// characters from `report` when the source is the file the column list was
// read from (the caller brings it up to date first), else from a check of
// the source typed in since, read with the busy cursor. Nothing when that
// check is cancelled.
std::optional<std::u16string> ConversionStatusText(const TSourceReport& report, const TFormMainModel& model,
                                                   IUserInterface& ui);

}  // namespace quillmark
