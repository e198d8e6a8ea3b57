#pragma once

#include <functional>
#include <string>

#include "model/FormMainModel.h"
#include "win32/Controls.h"
#include "win32/PreviewList.h"  // and model/SourceReport.h, shielded from <wingdi.h>

namespace quillmark {

// What the window tells about its source and target besides the column
// list: the status text, the marks on columns whose fields would break the
// target unticked, and the preview of the target.
class TCheckView {
  public:
    // `showStatus` puts the status text into the status bar.
    TCheckView(IUserInterface& ui, const TFormMainModel& model, TCheckList& columns, TPreviewList& preview,
               std::function<void(const std::wstring&)> showStatus);

    const TSourceReport& Report() const { return FReport; }

    // Follows the model: reads the source again only when the column list
    // was loaded again or the target's code page changed; ticks only
    // change the preview.
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
    TCheckList& FColumns;
    TPreviewList& FPreview;
    std::function<void(const std::wstring&)> FShowStatus;
    TSourceReport FReport;
    bool FRefreshing = false;
    bool FPaused = false;
    std::function<bool()> FBusy;
};

}  // namespace quillmark
