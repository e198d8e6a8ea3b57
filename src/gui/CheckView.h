#pragma once

#include <QObject>
#include <functional>

#include "model/FormMainModel.h"
#include "model/SourceReport.h"

class QLabel;
class QListWidget;
class QStatusBar;

namespace quillmark {

class TPreviewPanel;

// What the window tells about its source and target besides the column
// list: the status bar's text, the marks on columns whose fields would
// break the target unticked, and the preview of the target.
class TCheckView final : public QObject {
    Q_OBJECT

  public:
    // The preview goes into `panel` (see Preview), the text into `statusBar`.
    TCheckView(IUserInterface& ui, const TFormMainModel& model, QListWidget* columns, QStatusBar* statusBar,
               QWidget* panel);

    // The column list is made after the panel: it is given here.
    void SetColumnList(QListWidget* columns);

    TPreviewPanel* Preview() const { return FPreview; }
    QLabel* StatusLabel() const { return FStatus; }
    const TSourceReport& Report() const { return FReport; }

    // Follows the model: reads the source again only when the column list
    // was loaded again or the target's code page changed; ticks only
    // change the marks' context and the preview.
    void Refresh();

    // While paused, Refresh does nothing.
    void SetPaused(bool paused) { FPaused = paused; }
    // Nor does it while `busy` says another operation runs: that shows the
    // model as it starts, and once more when it is done.
    void SetBusyTest(std::function<bool()> busy) { FBusy = std::move(busy); }

    // After a conversion: rows written, seconds taken, characters replaced.
    void ShowConversion();

  private:
    IUserInterface& FUi;
    const TFormMainModel& FModel;
    QListWidget* FColumns;
    QLabel* FStatus;
    TPreviewPanel* FPreview;
    TSourceReport FReport;
    bool FRefreshing = false;
    bool FPaused = false;
    std::function<bool()> FBusy;
};

}  // namespace quillmark
