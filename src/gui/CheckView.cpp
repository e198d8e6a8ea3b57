#include "gui/CheckView.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStyle>

#include "gui/PreviewTable.h"
#include "gui/QtString.h"

namespace quillmark {

TCheckView::TCheckView(IUserInterface& ui, const TFormMainModel& model, QListWidget* columns,
                       QStatusBar* statusBar, QWidget* panel)
    : FUi(ui), FModel(model), FColumns(columns) {
    FStatus = new QLabel(statusBar);
    FStatus->setObjectName("LabelSourceStatus");
    // A normal widget: the status bar hides it while it shows a hint.
    statusBar->addWidget(FStatus, 1);
    FPreview = new TPreviewPanel(panel);
}

void TCheckView::SetColumnList(QListWidget* columns) {
    FColumns = columns;
    // Marks no taller than the tick boxes, so the entries keep their height.
    const int side = columns->fontMetrics().height();
    columns->setIconSize(QSize(side, side));
}

void TCheckView::Refresh() {
    if (FRefreshing || FPaused || !FColumns || (FBusy && FBusy())) return;
    FRefreshing = true;
    struct TDone {
        bool& Flag;
        ~TDone() { Flag = false; }
    } done{FRefreshing};

    UpdateSourceReport(FReport, FModel, FUi);
    const std::optional<TCsvCheck>& check = FReport.Check();
    FStatus->setText(check ? ToQString(FormatSourceStatus(*check)) : QString());

    // Setting icons would tell the window that the entries changed.
    const QSignalBlocker blocker(FColumns);
    const QIcon mark = FColumns->style()->standardIcon(QStyle::SP_MessageBoxWarning);
    // Unmarked entries keep their labels in line with the marked ones.
    bool anyMark = false;
    for (std::size_t column = 0; check && column < check->Columns.size(); ++column)
        anyMark = anyMark || check->Columns[column].BreakingFields > 0;
    QPixmap blank(FColumns->iconSize().isValid() ? FColumns->iconSize() : QSize(16, 16));
    blank.fill(Qt::transparent);
    const QIcon none = anyMark ? QIcon(blank) : QIcon();
    for (int i = 0; i < FColumns->count(); ++i) {
        QListWidgetItem* item = FColumns->item(i);
        const auto column = static_cast<std::size_t>(i);
        const std::uint64_t breaking =
            check && column < check->Columns.size() ? check->Columns[column].BreakingFields : 0;
        item->setIcon(breaking > 0 ? mark : none);
        item->setToolTip(breaking > 0 ? ToQString(FormatBreakingHint(breaking)) : QString());
        item->setData(Qt::UserRole, QVariant::fromValue<qulonglong>(breaking));
    }

    std::vector<QString> headers;
    if (check)
        for (const TCheckColumn& column : check->Columns)
            headers.push_back(ToQString(column.Letters));
    FPreview->Model().SetRows(FReport.Preview(), std::move(headers));
}

void TCheckView::ShowConversion() {
    if (FModel.SourceFileName() == FModel.ColumnsFileName()) Refresh();
    if (const std::optional<std::u16string> status = ConversionStatusText(FReport, FModel, FUi))
        FStatus->setText(ToQString(*status));
}

}  // namespace quillmark
