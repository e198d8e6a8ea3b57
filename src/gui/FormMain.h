#pragma once

#include <QMainWindow>
#include <QPointer>
#include <memory>

#include "gui/Dialogs.h"
#include "gui/Help.h"
#include "model/FormMainModel.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QCloseEvent;
class QProgressBar;
class QPushButton;
class QSplitter;
class QToolBar;

namespace quillmark {

class TCheckView;
class TFileNameEdit;

// The main window: a view over TFormMainModel. Widgets show the model; edits
// go straight back into it; the actions call the model's operations.
class TFormMain : public QMainWindow {
    Q_OBJECT

  public:
    // Message boxes and the busy cursor go through `ui`, file dialogs
    // through `dialogs`; both outlive the window.
    TFormMain(IUserInterface& ui, IDialogs& dialogs, QWidget* parent = nullptr);
    ~TFormMain() override;

    TFormMainModel& Model() { return FModel; }
    TCheckView& CheckView() { return *FCheckView; }

    // The command line the first idle moment applies (the program's
    // arguments without its name).
    void SetArguments(TArguments arguments) { FArguments = std::move(arguments); }

    // The program's arguments without its name: a file the desktop asked
    // it to open ("--open FILE", see TakeOpenArgument), which the first idle
    // moment opens before it applies the rest as the command line.
    void SetProgramArguments(TArguments arguments);

    // How "ヘルプ" opens the help; the desktop's handler unless a test says.
    void SetHelpOpener(THelpOpener opener) { FHelpOpener = std::move(opener); }

    // Applies the command line once: settings file, switches, and with
    // "/auto" the conversion, closing the window when it succeeds.
    void FirstIdle();

    // True when "/auto" was given and its conversion did not succeed.
    bool AutoRunFailed() const { return FAutoRunFailed; }

    // The system-menu command: 128 opens the about box.
    void WMSysCommand(int command);

    // True while a long operation runs; the actions are disabled then.
    bool IsBusy() const { return FBusyDepth > 0; }

    // Asks the running conversion to stop; its target stays as it was.
    void CancelConversion() { FCancelRequested = true; }

    void ActionFileNewExecute();
    void ActionOpenFromIniExecute();
    void ActionSaveToIniExecute();
    void ActionSaveToCsvExecute();
    void ActionSaveToBatExecute();
    void ActionCsvColCheckAllExecute();
    void ActionCsvColUncheckExecute();
    void ActionHelpExecute();
    void EditSourceFileAfterDialog(const QString& fileName, bool confirmed);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    class TWindowUserInterface;
    friend class TWindowUserInterface;

    QAction* AddAction(const char* name, const QString& category, const QString& caption, const QString& hint,
                       const QKeySequence& shortcut, int image, void (TFormMain::*handler)());
    void BuildWidgets();
    void ShowModel();
    // Before a message box: the window shows what the operation has done so
    // far, without its progress.
    void PrepareForMessage();
    void SetBusy(bool busy);
    void ReportProgress(std::uint64_t done, std::uint64_t total);
    TFileDialogSetup SettingsDialogSetup() const;

    std::unique_ptr<TWindowUserInterface> FUi;
    IDialogs& FDialogs;
    TFormMainModel FModel;
    TArguments FArguments;
    std::u16string FFileToOpen;
    THelpOpener FHelpOpener;
    QString FLastBatchFile;  // the batch dialog offers the name chosen last
    bool FFirstIdleDone = false;
    bool FPlaced = false;
    bool FAutoRunFailed = false;
    bool FShowingModel = false;
    int FBusyDepth = 0;
    bool FCancellable = false;
    bool FCancelRequested = false;
    bool FCloseWhenIdle = false;  // closed during a run: cancelled, closes after it

    QToolBar* FToolBar = nullptr;
    QList<QAction*> FActions;
    QGroupBox* FGroupBox = nullptr;
    QListWidget* FCheckListBoxCsvCol = nullptr;
    QSplitter* FSplitter = nullptr;
    QWidget* FPanelMain = nullptr;
    QPointer<QWidget> FFocusBeforeBusy;
    TFileNameEdit* FEditSourceFile = nullptr;
    TFileNameEdit* FEditTargetFile = nullptr;
    QComboBox* FComboBoxEncoding = nullptr;
    QProgressBar* FProgress = nullptr;
    QPushButton* FCancelButton = nullptr;
    std::unique_ptr<TCheckView> FCheckView;
};

}  // namespace quillmark
