#include "win32/CheckView.h"

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

    UpdateSourceReport(FReport, FModel, FUi);
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
    if (FModel.SourceFileName() == FModel.ColumnsFileName()) Refresh();
    if (const std::optional<std::u16string> status = ConversionStatusText(FReport, FModel, FUi))
        FShowStatus(ToWide(*status));
}

}  // namespace quillmark
