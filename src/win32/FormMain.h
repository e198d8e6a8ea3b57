#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "model/FormMainModel.h"
#include "win32/CheckView.h"
#include "win32/Controls.h"
#include "win32/FileDialogs.h"
#include "win32/PreviewList.h"

namespace quillmark {

// The main window on the Windows API: a view over TFormMainModel. Controls
// show the model, edits go straight back into it, and the actions call the
// model's operations.
class TFormMain {
  public:
    // Message boxes and the busy cursor go through `ui`, file dialogs
    // through `dialogs`; both outlive the window. Creates the window hidden.
    TFormMain(IUserInterface& ui, IFileDialogs& dialogs);
    ~TFormMain();
    TFormMain(const TFormMain&) = delete;
    TFormMain& operator=(const TFormMain&) = delete;

    HWND Hwnd() const { return FHwnd; }
    HACCEL Accelerators() const { return FAccelerators; }
    TFormMainModel& Model() { return FModel; }

    // The command line the first idle moment applies.
    void SetArguments(TArguments arguments) { FArguments = std::move(arguments); }
    // Shows the window and asks for the first idle moment.
    void Show(int showCommand);
    // Applies the command line once: settings file, switches, and with
    // "/auto" the conversion, closing the window when it succeeds.
    void FirstIdle();
    // True when "/auto" was given and its conversion did not succeed.
    bool AutoRunFailed() const { return FAutoRunFailed; }
    bool IsBusy() const { return FBusyDepth > 0; }
    // Asks the running conversion to stop; its target stays as it was.
    void CancelConversion() { FCancelRequested = true; }

    // Errors that escape a message handler come here; by default they are
    // shown in a warning box.
    std::function<void(std::u16string_view message)> OnException;

    // Called when the window has been destroyed (the program ends its
    // message loop then).
    std::function<void()> OnClosed;

    // The program the batch files run (this program by default).
    std::u16string ProgramPath;

    // Gives the window's messages to the window: accelerators first, then
    // the keyboard order and mnemonics. True when the message was used.
    bool PreTranslateMessage(MSG& message);

    static constexpr UINT kAboutCommand = 128;
    static constexpr UINT WM_FIRSTIDLE = WM_APP + 1;

  private:
    class TWindowUserInterface;

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool HandleControlMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void CreateControls();
    void CreateFonts();
    void Layout();
    int Scale(int value) const;
    void ShowModel();
    void SetBusy(bool busy);
    void ReportProgress(std::uint64_t done, std::uint64_t total);
    void PumpMessages();
    void Command(int command);
    void ShowAbout();
    void ShowException(std::u16string_view message);
    // The status bar shows the hint while there is one, else the text.
    void SetHint(const std::wstring& hint);
    void SetStatusText(const std::wstring& text);
    void SetPreviewShown(bool shown);
    void BrowseSource();
    void BrowseTarget();
    TFileDialogSetup SettingsDialogSetup() const;

    void ActionFileNewExecute();
    void ActionOpenFromIniExecute();
    void ActionSaveToIniExecute();
    void ActionSaveToCsvExecute();
    void ActionSaveToBatExecute();
    void ActionCsvColCheckAllExecute();
    void ActionCsvColUncheckExecute();
    void ActionHelpExecute();

    std::unique_ptr<TWindowUserInterface> FUi;
    IFileDialogs& FDialogs;
    TFormMainModel FModel;
    TArguments FArguments;
    std::wstring FLastBatchFile;
    bool FFirstIdleDone = false;
    bool FAutoRunFailed = false;
    bool FShowingModel = false;
    int FBusyDepth = 0;
    bool FCancellable = false;
    bool FCancelRequested = false;

    HWND FHwnd = nullptr;
    HACCEL FAccelerators = nullptr;
    HFONT FFont = nullptr;
    UINT FDpi = 96;
    int FGroupBoxWidth = 185;  // in pixels at 96 dots per inch
    bool FSplitterDragging = false;
    std::wstring FHint;
    std::wstring FStatusText;

    std::unique_ptr<TToolBar> FToolBar;
    std::unique_ptr<TStatusBar> FStatusBar;
    std::unique_ptr<TProgressBar> FProgress;
    std::unique_ptr<TButton> FCancelButton;
    std::unique_ptr<TGroupBox> FGroupBox;
    std::unique_ptr<TCheckList> FCheckListBoxCsvCol;
    std::unique_ptr<TLabel> FLabelSourceFile;
    std::unique_ptr<TEdit> FEditSourceFile;
    std::unique_ptr<TButton> FButtonSourceFile;
    std::unique_ptr<TLabel> FLabelTargetFile;
    std::unique_ptr<TEdit> FEditTargetFile;
    std::unique_ptr<TButton> FButtonTargetFile;
    std::unique_ptr<TLabel> FLabelEncoding;
    std::unique_ptr<TComboBox> FComboBoxEncoding;
    std::unique_ptr<TCheckBox> FPreviewToggle;
    std::unique_ptr<TPreviewList> FPreview;
    std::unique_ptr<TCheckView> FCheckView;
    std::map<HWND, TControl*> FControls;
    HWND FHintTips = nullptr;  // the tool tips of the boxes and buttons

  public:
    // For the tests: the controls as the user sees them.
    TToolBar& ToolBar() { return *FToolBar; }
    TCheckList& CheckListBoxCsvCol() { return *FCheckListBoxCsvCol; }
    TEdit& EditSourceFile() { return *FEditSourceFile; }
    TEdit& EditTargetFile() { return *FEditTargetFile; }
    TComboBox& ComboBoxEncoding() { return *FComboBoxEncoding; }
    TButton& ButtonSourceFile() { return *FButtonSourceFile; }
    TButton& ButtonTargetFile() { return *FButtonTargetFile; }
    TStatusBar& StatusBar() { return *FStatusBar; }
    TCheckBox& PreviewToggle() { return *FPreviewToggle; }
    TPreviewList& Preview() { return *FPreview; }
    TCheckView& CheckView() { return *FCheckView; }
    HWND HintTips() const { return FHintTips; }
};

}  // namespace quillmark
