#include "win32/CheckView.h"

#include "base/Exception.h"
#include "win32/WideString.h"

namespace quillmark {

TCheckView::TCheckView(IUserInterface& ui, const TFormMainModel& model, TCheckList& columns,
                       TPreviewList& preview, std::function<void(const std::wstring&)> showStatus)
    : FUi(ui), FModel(model), FColumns(columns), FPreview(preview), FShowStatus(std::move(showStatus)) {}

void TCheckView::Refresh() {
    if (FRefreshing || FPaused || (FBusy && FBusy())) return;
    FRefreshing = true;
    struct TDone {
        bool& Flag;
        ~TDone() { Flag = false; }
    } done{FRefreshing};

    const std::u16string& fileName = FModel.ColumnsFileName();
    const std::uint64_t generation = FModel.ColumnsGeneration();
    const std::int32_t encoding = FModel.EncodingIndex();
    // Without a file there is nothing to wait for.
    if (!fileName.empty() && FReport.NeedsReading(fileName, generation, encoding)) {
        TCursorHourGlassRef cursor = FUi.CreateCursorHourGlass();
        try {
            FReport.Update(fileName, generation, encoding, FModel.GetQuoteColumns(), FUi.Progress());
        } catch (const EAbort&) {
            // Cancelled: no report until the next change asks again.
        }
    } else {
        FReport.Update(fileName, generation, encoding, FModel.GetQuoteColumns());
    }

    const std::optional<TCsvCheck>& check = FReport.Check();
    FShowStatus(check ? ToWide(FormatSourceStatus(*check)) : std::wstring());

    std::vector<std::wstring> tips;
    std::vector<std::u16string> letters;
    if (check) {
        tips.reserve(check->Columns.size());
        for (const TCheckColumn& column : check->Columns) {
            tips.push_back(column.BreakingFields > 0 ? ToWide(FormatBreakingHint(column.BreakingFields))
                                                     : std::wstring());
            letters.push_back(column.Letters);
        }
    }
    FColumns.SetMarks(std::move(tips));
    FPreview.SetRows(FReport.Preview(), letters);
}

void TCheckView::ShowConversion() {
    std::uint64_t rows = 0, replaced = 0;
    if (FModel.SourceFileName() == FModel.ColumnsFileName()) {
        Refresh();
        if (FReport.Check()) {
            rows = FReport.Check()->RowCount;
            replaced = FReport.Check()->LossyCharacters;
        }
    } else {
        // A source typed into the box after the list was read.
        TCursorHourGlassRef cursor = FUi.CreateCursorHourGlass();
        TCsvCheck check;
        try {
            if (CheckCsvFile(FModel.SourceFileName(), {}, FModel.EncodingIndex(), check, FUi.Progress())) {
                rows = check.RowCount;
                replaced = check.LossyCharacters;
            }
        } catch (const EAbort&) {
            return;
        }
    }
    FShowStatus(ToWide(FormatConversionStatus(rows, FModel.LastConversionSeconds(), replaced)));
}

}  // namespace quillmark
