#include "model/SourceReport.h"

#include <cmath>

#include "base/CodePage.h"
#include "base/Exception.h"
#include "base/Format.h"
#include "base/Utf.h"
#include "csv/CsvFileReader.h"
#include "csv/CsvSplitter.h"
#include "model/FormMainModel.h"

namespace quillmark {

namespace {

// Stops the splitter once the rows wanted are in.
struct TEnoughRows {};

class THeadSink final : public ICsvSink {
  public:
    THeadSink(TCsvTable& head, std::size_t rows) : FHead(head), FRows(rows) {}

    void Store(std::size_t row, std::size_t column, std::u16string_view units) override {
        if (row >= FRows) throw TEnoughRows();
        if (FHead.size() <= row) FHead.resize(row + 1);
        if (FHead[row].size() <= column) FHead[row].resize(column + 1);
        FHead[row][column].append(units);
    }

  private:
    TCsvTable& FHead;
    std::size_t FRows;
};

// 1234567 -> "1,234,567"
std::u16string Grouped(std::uint64_t value) {
    const std::u16string digits = IntToStr(static_cast<long long>(value));
    std::u16string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped.push_back(u',');
        grouped.push_back(digits[i]);
    }
    return grouped;
}

std::u16string Ascii(std::string_view text) {
    return std::u16string(text.begin(), text.end());
}

// What the target holds for one character: the character itself, or what
// its bytes in the target's code page read back as.
std::u16string StandIn(std::u16string_view character, TCodePage target) {
    const std::optional<std::string> bytes = WideCharToMultiByte(target, character);
    if (!bytes) return u"?";
    std::optional<std::u16string> back = MultiByteToWideChar(target, *bytes);
    return back ? std::move(*back) : u"?";
}

TPreviewCell PreviewCell(std::u16string_view value, bool quoted, TTargetCharacters& characters) {
    TPreviewCell cell;
    cell.Quoted = quoted;
    std::vector<bool> lossy;
    const TFieldCheck field = CheckField(value, characters, &lossy);
    cell.Breaks = !quoted && field.Breaks;
    if (quoted) cell.Text.push_back(u'"');
    for (std::size_t i = 0; i < value.size();) {
        const std::size_t length = value[i] >= 0xD800 && value[i] <= 0xDBFF && i + 1 < value.size() &&
                                           value[i + 1] >= 0xDC00 && value[i + 1] <= 0xDFFF
                                       ? 2
                                       : 1;
        const std::size_t at = cell.Text.size();
        if (lossy[i]) {
            const std::u16string standIn = StandIn(value.substr(i, length), characters.CodePage());
            // A stand-in that is a quotation mark is doubled in a quoted
            // field, as a mark is.
            cell.Text += quoted && standIn == u"\"" ? u"\"\"" : standIn;
            cell.Lossy.resize(at, false);
            cell.Lossy.resize(cell.Text.size(), true);
        } else {
            cell.Text.append(value.substr(i, length));
            if (quoted && value[i] == u'"') cell.Text.push_back(u'"');
        }
        i += length;
    }
    if (quoted) cell.Text.push_back(u'"');
    if (!cell.Lossy.empty()) cell.Lossy.resize(cell.Text.size(), false);
    return cell;
}

}  // namespace

bool ReadCsvHead(const std::u16string& fileName, std::size_t rows, TCsvTable& head) {
    TCsvTable read;
    try {
        THeadSink sink(read, rows);
        SplitCsvFile(fileName, sink);
    } catch (const TEnoughRows&) {
    } catch (...) {
        return false;
    }
    head = std::move(read);
    return true;
}

std::vector<TPreviewRow> MakePreview(const TCsvTable& head, std::size_t colCount,
                                     const TColumnSet& quoteColumns, TTargetCharacters& characters) {
    std::vector<TPreviewRow> preview;
    preview.reserve(head.size());
    for (const TCsvRow& row : head) {
        TPreviewRow& cells = preview.emplace_back();
        cells.reserve(colCount);
        for (std::size_t column = 0; column < std::max(colCount, row.size()); ++column) {
            const bool quoted =
                column <= INT32_MAX && quoteColumns.contains(static_cast<std::int32_t>(column));
            cells.push_back(
                PreviewCell(column < row.size() ? std::u16string_view(row[column]) : std::u16string_view(),
                            quoted, characters));
        }
    }
    return preview;
}

std::u16string FormatSourceStatus(const TCsvCheck& check) {
    return Format(u"文字コード: %s (%s)　行数: %s　列数: %s",
                  {Ascii(CodePageName(check.SourceCodePage)), IntToStr(check.SourceCodePage),
                   Grouped(check.RowCount), Grouped(check.ColCount)});
}

std::u16string FormatBreakingHint(std::uint64_t fields) {
    return u"カンマ・改行を含むフィールド: " + Grouped(fields);
}

std::u16string FormatConversionStatus(std::uint64_t rows, double seconds, std::uint64_t replaced) {
    const long long hundredths = std::llround(std::max(seconds, 0.0) * 100);
    std::u16string fraction = IntToStr(hundredths % 100);
    if (fraction.size() < 2) fraction.insert(0, 1, u'0');
    return Format(u"%s 行を書き込みました（%s.%s 秒、置き換えた文字: %s）",
                  {Grouped(rows), IntToStr(hundredths / 100), fraction, Grouped(replaced)});
}

bool TSourceReport::NeedsReading(const std::u16string& fileName, std::uint64_t generation,
                                 std::int32_t encoding) const {
    return !FRead || fileName != FFileName || generation != FGeneration ||
           TargetCodePage(encoding) != FTarget;
}

bool TSourceReport::Update(const std::u16string& fileName, std::uint64_t generation, std::int32_t encoding,
                           const TColumnSet& quoteColumns, const TProgressCallback& progress) {
    const TCodePage target = TargetCodePage(encoding);
    bool read = false;
    if (NeedsReading(fileName, generation, encoding)) {
        const bool sameFile = FRead && fileName == FFileName && generation == FGeneration;
        FFileName = fileName;
        FGeneration = generation;
        FTarget = target;
        FRead = true;
        FCharacters = std::make_unique<TTargetCharacters>(target);
        TCsvCheck check;
        bool readable = false;
        try {
            readable = !fileName.empty() && CheckCsvFile(fileName, quoteColumns, encoding, check, progress) &&
                       (sameFile || ReadCsvHead(fileName, kPreviewRows, FHead));
        } catch (...) {
            // Stopped: nothing is known, and the next Update reads again.
            FRead = false;
            FCheck.reset();
            FHead.clear();
            FPreview.clear();
            throw;
        }
        if (readable) {
            FCheck = std::move(check);
        } else {
            FCheck.reset();
            FHead.clear();
        }
        read = true;
    }
    FPreview.clear();
    if (!FCheck) return read;
    for (std::size_t column = 0; column < FCheck->Columns.size(); ++column)
        FCheck->Columns[column].Quoted =
            column <= INT32_MAX && quoteColumns.contains(static_cast<std::int32_t>(column));
    FPreview = MakePreview(FHead, FCheck->ColCount, quoteColumns, *FCharacters);
    return read;
}

void UpdateSourceReport(TSourceReport& report, const TFormMainModel& model, IUserInterface& ui) {
    const std::u16string& fileName = model.ColumnsFileName();
    const std::uint64_t generation = model.ColumnsGeneration();
    const std::int32_t encoding = model.EncodingIndex();
    // Without a file there is nothing to wait for.
    if (fileName.empty() || !report.NeedsReading(fileName, generation, encoding)) {
        report.Update(fileName, generation, encoding, model.GetQuoteColumns());
        return;
    }
    TCursorHourGlassRef cursor = ui.CreateCursorHourGlass();
    try {
        report.Update(fileName, generation, encoding, model.GetQuoteColumns(), ui.Progress());
    } catch (const EAbort&) {
    }
}

std::optional<std::u16string> ConversionStatusText(const TSourceReport& report, const TFormMainModel& model,
                                                   IUserInterface& ui) {
    std::uint64_t rows = 0, replaced = 0;
    if (model.SourceFileName() == model.ColumnsFileName()) {
        if (report.Check()) {
            rows = report.Check()->RowCount;
            replaced = report.Check()->LossyCharacters;
        }
    } else {
        TCursorHourGlassRef cursor = ui.CreateCursorHourGlass();
        TCsvCheck check;
        try {
            if (CheckCsvFile(model.SourceFileName(), {}, model.EncodingIndex(), check, ui.Progress())) {
                rows = check.RowCount;
                replaced = check.LossyCharacters;
            }
        } catch (const EAbort&) {
            return std::nullopt;
        }
    }
    return FormatConversionStatus(rows, model.LastConversionSeconds(), replaced);
}

}  // namespace quillmark
