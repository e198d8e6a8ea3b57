#include "gui/FormMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QUrl>
#include <QVBoxLayout>

#include "base/Exception.h"
#include "base/FileSystem.h"
#include "gui/ActionIcons.h"
#include "gui/CheckView.h"
#include "gui/FileNameEdit.h"
#include "gui/FormAboutBox.h"
#include "gui/Help.h"
#include "gui/PreviewTable.h"
#include "gui/QtString.h"
#include "model/OpenArgument.h"

namespace quillmark {

namespace {

constexpr int kAboutCommand = 128;
constexpr int kGroupBoxWidth = 185;

const QString kCategoryFile = QStringLiteral("ファイル");
const QString kCategoryColumns = QStringLiteral("列");

// Sets a flag for as long as it lives.
class TFlagGuard {
  public:
    explicit TFlagGuard(bool& flag) : FFlag(flag) { FFlag = true; }
    ~TFlagGuard() { FFlag = false; }
    TFlagGuard(const TFlagGuard&) = delete;
    TFlagGuard& operator=(const TFlagGuard&) = delete;

  private:
    bool& FFlag;
};

}  // namespace

// Passes messages and the cursor on to the front end's interface, and adds
// what only the window can do: it blocks its actions while the cursor shows
// and displays progress, with the chance to cancel a conversion.
class TFormMain::TWindowUserInterface final : public IUserInterface {
  public:
    TWindowUserInterface(TFormMain& form, IUserInterface& inner) : FForm(form), FInner(inner) {}

    void ShowWarning(std::u16string_view message) override {
        FForm.PrepareForMessage();
        FInner.ShowWarning(message);
    }
    void ShowInformation(std::u16string_view message) override {
        FForm.PrepareForMessage();
        FInner.ShowInformation(message);
    }

    // Every longer operation starts here: the window shows what the model
    // holds so far (a path just chosen stands in its box while the file is
    // read).
    TCursorHourGlassRef CreateCursorHourGlass() override {
        FForm.SetBusy(true);
        FForm.ShowModel();
        return std::make_shared<TBusy>(FForm, FInner.CreateCursorHourGlass());
    }

    TProgressCallback Progress() override {
        return [this](std::uint64_t done, std::uint64_t total) { FForm.ReportProgress(done, total); };
    }

  private:
    struct TBusy final : ICursorHourGlass {
        TBusy(TFormMain& form, TCursorHourGlassRef cursor) : Form(form), Cursor(std::move(cursor)) {}
        ~TBusy() override {
            Cursor.reset();
            Form.SetBusy(false);
        }
        TFormMain& Form;
        TCursorHourGlassRef Cursor;
    };

    TFormMain& FForm;
    IUserInterface& FInner;
};

TFormMain::TFormMain(IUserInterface& ui, IDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent),
      FUi(std::make_unique<TWindowUserInterface>(*this, ui)),
      FDialogs(dialogs),
      FModel(*FUi),
      FHelpOpener(&QDesktopServices::openUrl) {
    setObjectName("FormMain");
    setWindowTitle(QStringLiteral("Quillmark"));
    resize(566, 283);
    BuildWidgets();
    // Every tool-bar button stays in sight, however small the window gets.
    setMinimumSize(minimumSizeHint().expandedTo(QSize(FToolBar->sizeHint().width(), 0)));
    FModel.ResetForm();
    ShowModel();
    setAcceptDrops(true);
}

TFormMain::~TFormMain() = default;

QAction* TFormMain::AddAction(const char* name, const QString& category, const QString& caption,
                              const QString& hint, const QKeySequence& shortcut, int image,
                              void (TFormMain::*handler)()) {
    auto* action = new QAction(ActionIcon(static_cast<TActionIcon>(image)), caption, this);
    action->setObjectName(name);
    action->setProperty("category", category);
    action->setProperty("imageIndex", image);
    // Qt shows the caption when the tool tip is empty; the tool-bar button of
    // an action without a hint gets none (see eventFilter).
    action->setToolTip(hint);
    action->setStatusTip(hint);
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    addAction(action);
    FActions.append(action);
    return action;
}

void TFormMain::BuildWidgets() {
    QAction* fileNew = AddAction("ActionFileNew", kCategoryFile, "新規作成", "新しい設定を作成します。",
                                 QKeySequence(Qt::CTRL | Qt::Key_N), 6, &TFormMain::ActionFileNewExecute);
    QAction* openFromIni =
        AddAction("ActionOpenFromIni", kCategoryFile, "設定ファイルを開く", "設定ファイルを開きます。",
                  QKeySequence(Qt::CTRL | Qt::Key_O), 5, &TFormMain::ActionOpenFromIniExecute);
    QAction* saveToIni =
        AddAction("ActionSaveToIni", kCategoryFile, "設定ファイルを保存する", "設定ファイルを保存します。",
                  QKeySequence(Qt::CTRL | Qt::Key_S), 2, &TFormMain::ActionSaveToIniExecute);
    QAction* saveToCsv =
        AddAction("ActionSaveToCsv", kCategoryFile, "CSVファイルを保存する", "CSVファイルを保存します。",
                  QKeySequence(Qt::CTRL | Qt::Key_X), 1, &TFormMain::ActionSaveToCsvExecute);
    QAction* saveToBat = AddAction("ActionSaveToBat", kCategoryFile, "バッチファイルを保存する",
                                   "バッチファイルを保存します。", QKeySequence(Qt::CTRL | Qt::Key_W), 0,
                                   &TFormMain::ActionSaveToBatExecute);
    QAction* checkAll =
        AddAction("ActionCsvColCheckAll", kCategoryColumns, "すべてチェック", "すべての列をチェックします。",
                  QKeySequence(Qt::CTRL | Qt::Key_A), 3, &TFormMain::ActionCsvColCheckAllExecute);
    QAction* uncheck =
        AddAction("ActionCsvColUncheck", kCategoryColumns, "チェックを外す", "",
                  QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_A), 4, &TFormMain::ActionCsvColUncheckExecute);
    QAction* help = AddAction("ActionHelp", QString(), "ヘルプ", "ヘルプを表示します", QKeySequence(), 7,
                              &TFormMain::ActionHelpExecute);

    FToolBar = addToolBar(QStringLiteral("ToolBar1"));
    FToolBar->setObjectName("ToolBar1");
    FToolBar->setMovable(false);
    FToolBar->setFloatable(false);
    FToolBar->setIconSize(QSize(48, 48));
    FToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    FToolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    for (QAction* action : {fileNew, openFromIni, saveToIni})
        FToolBar->addAction(action);
    FToolBar->addSeparator();
    for (QAction* action : {saveToCsv, saveToBat})
        FToolBar->addAction(action);
    FToolBar->addSeparator();
    for (QAction* action : {checkAll, uncheck})
        FToolBar->addAction(action);
    FToolBar->addSeparator();
    FToolBar->addAction(help);
    for (QAction* action : FActions) {
        QWidget* button = FToolBar->widgetForAction(action);
        if (button == nullptr) continue;
        // Buttons of 55 x 54 around the 48 x 48 pictures, whatever the style's margins.
        button->setFixedSize(55, 54);
        if (action->statusTip().isEmpty()) button->installEventFilter(this);
    }

    statusBar()->setObjectName("StatusBar1");
    FProgress = new QProgressBar(statusBar());
    FProgress->setObjectName("ProgressBar");
    FProgress->setRange(0, 1000);
    FProgress->setMaximumWidth(200);
    FProgress->setTextVisible(false);
    FProgress->hide();
    FCancelButton = new QPushButton(QStringLiteral("中止"), statusBar());
    FCancelButton->setObjectName("ButtonCancel");
    FCancelButton->setToolTip(QStringLiteral("変換を中止します。変換先CSVファイルは変わりません。"));
    FCancelButton->hide();
    connect(FCancelButton, &QPushButton::clicked, this, &TFormMain::CancelConversion);
    // Esc stops what "中止" stops, wherever the focus is.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setObjectName("ShortcutCancel");
    connect(escape, &QShortcut::activated, this, [this] {
        if (FCancellable) CancelConversion();
    });
    statusBar()->addPermanentWidget(FProgress);
    statusBar()->addPermanentWidget(FCancelButton);

    FSplitter = new QSplitter(Qt::Horizontal, this);
    FSplitter->setObjectName("Splitter1");
    FSplitter->setChildrenCollapsible(false);
    setCentralWidget(FSplitter);

    FPanelMain = new QWidget(FSplitter);
    FPanelMain->setObjectName("PanelMain");
    auto* panelLayout = new QVBoxLayout(FPanelMain);

    const TFileDialogSetup csvDialog{
        {}, {{QStringLiteral("CSVファイル"), AnyCaseExtension("csv"), {}}}, QStringLiteral("csv"), {}, {}};
    TFileDialogSetup sourceDialog = csvDialog;
    sourceDialog.Title = QStringLiteral("変換元CSVファイル");
    // A target need not exist yet: it is created, or replaced without asking.
    TFileDialogSetup targetDialog = csvDialog;
    targetDialog.Title = QStringLiteral("変換先CSVファイル");
    targetDialog.MustExist = false;

    FEditSourceFile = new TFileNameEdit(FDialogs, sourceDialog, FPanelMain);
    FEditSourceFile->setObjectName("EditSourceFile");
    FEditTargetFile = new TFileNameEdit(FDialogs, targetDialog, FPanelMain);
    FEditTargetFile->setObjectName("EditTargetFile");
    FComboBoxEncoding = new QComboBox(FPanelMain);
    FComboBoxEncoding->setObjectName("ComboBoxEncoding");
    for (const std::u16string_view name : kEncodingNames)
        FComboBoxEncoding->addItem(ToQString(name));

    const struct {
        const char* name;
        QString caption;
        QWidget* buddy;
        QString hint;
    } rows[] = {
        {"LabelSourceFile", "変換元CSVファイルの保存場所(&S)", FEditSourceFile,
         "変換元CSVファイルの保存場所を指定します。"},
        {"LabelTargetFile", "変換先CSVファイルの保存場所(&T)", FEditTargetFile,
         "変換先CSVファイルの保存場所を指定します。"},
        {"LabelEncoding", "CSVファイルの文字コード(&E)", FComboBoxEncoding,
         "変換先CSVファイルの文字コードを選択します。"},
    };
    for (const auto& row : rows) {
        auto* label = new QLabel(row.caption, FPanelMain);
        label->setObjectName(row.name);
        // The path boxes' line edits take the focus, not their frames.
        auto* edit = qobject_cast<TFileNameEdit*>(row.buddy);
        label->setBuddy(edit != nullptr ? edit->LineEdit() : row.buddy);
        label->installEventFilter(this);
        row.buddy->setToolTip(row.hint);
        row.buddy->setStatusTip(row.hint);
        panelLayout->addWidget(label);
        panelLayout->addWidget(row.buddy);
    }
    FCheckView = std::make_unique<TCheckView>(*FUi, FModel, nullptr, statusBar(), FPanelMain);
    panelLayout->addWidget(FCheckView->Preview(), 1);

    FGroupBox = new QGroupBox(QStringLiteral("二重引用符をつける列"), FSplitter);
    FGroupBox->setObjectName("GroupBox1");
    auto* groupLayout = new QVBoxLayout(FGroupBox);
    FCheckListBoxCsvCol = new QListWidget(FGroupBox);
    FCheckListBoxCsvCol->setObjectName("CheckListBoxCsvCol");
    FCheckListBoxCsvCol->setToolTip(QStringLiteral("二重引用符をつける列をチェックします。"));
    FCheckListBoxCsvCol->setStatusTip(FCheckListBoxCsvCol->toolTip());
    FCheckListBoxCsvCol->setUniformItemSizes(true);
    groupLayout->addWidget(FCheckListBoxCsvCol);
    FCheckView->SetColumnList(FCheckListBoxCsvCol);
    FCheckView->SetBusyTest([this] { return IsBusy(); });

    FSplitter->addWidget(FPanelMain);
    FSplitter->addWidget(FGroupBox);
    FSplitter->setStretchFactor(0, 1);
    FSplitter->setStretchFactor(1, 0);
    FSplitter->setSizes({width() - kGroupBoxWidth, kGroupBoxWidth});

    // Keyboard order: the column list, then the panel's boxes with their
    // browse buttons. The tool bar's buttons take no focus.
    const QList<QWidget*> order = {
        FCheckListBoxCsvCol,         FEditSourceFile->LineEdit(),     FEditSourceFile->BrowseButton(),
        FEditTargetFile->LineEdit(), FEditTargetFile->BrowseButton(), FComboBoxEncoding};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    setTabOrder(FComboBoxEncoding, FCheckListBoxCsvCol);

    // Line edits claim Ctrl+A and Ctrl+X for themselves; the window's actions
    // take them back.
    FEditSourceFile->LineEdit()->installEventFilter(this);
    FEditTargetFile->LineEdit()->installEventFilter(this);

    connect(FEditSourceFile, &TFileNameEdit::textChanged, this, [this](const QString& text) {
        if (!FShowingModel) FModel.SetSourceFileName(FromQString(text));
    });
    connect(FEditTargetFile, &TFileNameEdit::textChanged, this, [this](const QString& text) {
        if (!FShowingModel) FModel.SetTargetFileName(FromQString(text));
    });
    connect(FComboBoxEncoding, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (FShowingModel) return;
        FModel.SetEncodingIndex(index);
        FCheckView->Refresh();
    });
    connect(FCheckListBoxCsvCol, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (FShowingModel) return;
        FModel.SetColumnChecked(static_cast<std::size_t>(FCheckListBoxCsvCol->row(item)),
                                item->checkState() == Qt::Checked);
        FCheckView->Refresh();
    });
    connect(FEditSourceFile, &TFileNameEdit::AfterDialog, this, &TFormMain::EditSourceFileAfterDialog);
}

void TFormMain::ShowModel() {
    const TFlagGuard showing(FShowingModel);
    FEditSourceFile->setText(ToQString(FModel.SourceFileName()));
    FEditTargetFile->setText(ToQString(FModel.TargetFileName()));
    FComboBoxEncoding->setCurrentIndex(FModel.EncodingIndex());

    const std::vector<TColumnEntry>& columns = FModel.Columns();
    bool sameLabels = FCheckListBoxCsvCol->count() == static_cast<int>(columns.size());
    for (int i = 0; sameLabels && i < FCheckListBoxCsvCol->count(); ++i)
        sameLabels =
            FCheckListBoxCsvCol->item(i)->text() == ToQString(columns[static_cast<std::size_t>(i)].Label);
    FCheckListBoxCsvCol->setUpdatesEnabled(false);
    if (!sameLabels) {
        FCheckListBoxCsvCol->clear();
        for (const TColumnEntry& column : columns) {
            auto* item = new QListWidgetItem(ToQString(column.Label));
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
            FCheckListBoxCsvCol->addItem(item);
        }
    }
    for (int i = 0; i < FCheckListBoxCsvCol->count(); ++i)
        FCheckListBoxCsvCol->item(i)->setCheckState(
            columns[static_cast<std::size_t>(i)].Checked ? Qt::Checked : Qt::Unchecked);
    FCheckListBoxCsvCol->setUpdatesEnabled(true);
    FCheckView->Refresh();
}

void TFormMain::PrepareForMessage() {
    FProgress->hide();
    FCancelButton->hide();
    ShowModel();
}

void TFormMain::SetBusy(bool busy) {
    FBusyDepth += busy ? 1 : -1;
    if (FBusyDepth != (busy ? 1 : 0)) return;
    // Disabling the boxes takes the focus away; it comes back when the
    // operation ends, so that the keyboard goes on where it was.
    if (busy) FFocusBeforeBusy = QApplication::focusWidget();
    for (QAction* action : FActions)
        action->setEnabled(!busy);
    FPanelMain->setEnabled(!busy);
    FGroupBox->setEnabled(!busy);
    if (busy) {
        // Keys (Esc) still reach the window while its boxes are disabled.
        if (FFocusBeforeBusy != nullptr && isAncestorOf(FFocusBeforeBusy) && !FFocusBeforeBusy->isEnabled())
            setFocus(Qt::OtherFocusReason);
    } else if (FFocusBeforeBusy != nullptr && FFocusBeforeBusy->isEnabled()) {
        FFocusBeforeBusy->setFocus(Qt::OtherFocusReason);
    }
    if (busy) {
        FCancelRequested = false;
    } else {
        FProgress->hide();
        FCancelButton->hide();
        if (FCloseWhenIdle) QTimer::singleShot(0, this, &QWidget::close);
    }
}

void TFormMain::closeEvent(QCloseEvent* event) {
    if (FBusyDepth == 0) {
        QMainWindow::closeEvent(event);
        return;
    }
    // Closing the window (or the desktop session ending) during a run
    // cancels it; the target stays as it was and the window closes after.
    FCloseWhenIdle = true;
    FCancelRequested = true;
    event->ignore();
}

void TFormMain::ReportProgress(std::uint64_t done, std::uint64_t total) {
    FProgress->setValue(total == 0 ? 0
                                   : static_cast<int>(std::min<std::uint64_t>(done, total) * 1000 / total));
    FProgress->show();
    FCancelButton->setVisible(FCancellable);
    QCoreApplication::processEvents();
    if (FCancellable && FCancelRequested) throw EAbort();
}

TFileDialogSetup TFormMain::SettingsDialogSetup() const {
    return {{},
            {{QStringLiteral("設定ファイル(*.QMK)"), AnyCaseExtension("QMK"), {}},
             {QStringLiteral("設定ファイル(*.INI)"), AnyCaseExtension("INI"), {}},
             {QStringLiteral("すべてのファイル(*.*)"), QStringLiteral("*"), {}}},
            QStringLiteral("QMK"),
            ToQString(FModel.SettingsDialogFolder()),
            ToQString(FModel.SettingsDialogFileName())};
}

void TFormMain::SetProgramArguments(TArguments arguments) {
    FFileToOpen = TakeOpenArgument(arguments).value_or(std::u16string());
    FArguments = std::move(arguments);
}

void TFormMain::FirstIdle() {
    if (FFirstIdleDone) return;
    FFirstIdleDone = true;
    // Until the run has succeeded, "/auto" counts as failed: also when an
    // error escapes from here.
    FAutoRunFailed = FindCmdLineSwitch(FArguments, u"auto");
    // A window that converts and closes has no use for a report on its source.
    FCheckView->SetPaused(FAutoRunFailed);
    TFirstIdleResult result;
    try {
        const TFlagGuard cancellable(FCancellable);
        if (!FFileToOpen.empty()) FModel.OpenFile(FFileToOpen);
        result = FModel.FirstIdle(FArguments);
    } catch (const EAbort&) {
        // "中止" or Esc while a column list was read: the rest of the command
        // line is not applied and nothing is converted; no message.
        FCheckView->SetPaused(false);
        ShowModel();
        statusBar()->showMessage(QStringLiteral("読み込みを中止しました。"), 5000);
        return;
    } catch (...) {
        FCheckView->SetPaused(false);
        ShowModel();
        throw;
    }
    if (result != TFirstIdleResult::Converted) FCheckView->SetPaused(false);
    ShowModel();
    if (result == TFirstIdleResult::Converted) {
        FAutoRunFailed = false;
        close();
    }
}

void TFormMain::WMSysCommand(int command) {
    if (command != kAboutCommand) return;
    TFormAboutBox box(this);
    box.exec();
}

void TFormMain::ActionFileNewExecute() {
    FModel.FileNew();
    ShowModel();
    FEditSourceFile->setFocus();
}

void TFormMain::ActionOpenFromIniExecute() {
    const std::optional<QString> file = FDialogs.OpenFile(this, SettingsDialogSetup());
    if (!file) return;
    FModel.OpenFromIni(FromQString(*file));
    ShowModel();
}

void TFormMain::ActionSaveToIniExecute() {
    const std::optional<QString> file = FDialogs.SaveFile(this, SettingsDialogSetup());
    if (file) FModel.SaveToIni(FromQString(*file));
}

void TFormMain::ActionSaveToCsvExecute() {
    const TFlagGuard cancellable(FCancellable);
    if (FModel.SaveToCsv()) {
        FCheckView->ShowConversion();
    } else if (FCancelRequested) {
        statusBar()->showMessage(QStringLiteral("変換を中止しました。"), 5000);
    }
}

void TFormMain::ActionSaveToBatExecute() {
    TFileDialogSetup setup{
        {},
        {{QStringLiteral("バッチファイル(*.BAT)"), AnyCaseExtension("BAT"), {}},
         {QStringLiteral("シェルスクリプト(*.sh)"), AnyCaseExtension("sh"), QStringLiteral("sh")},
         {QStringLiteral("すべてのファイル(*.*)"), QStringLiteral("*"), {}}},
        QStringLiteral("BAT"),
        {},
        FLastBatchFile};
    const std::optional<QString> file = FDialogs.SaveFile(this, setup);
    if (!file) return;
    FLastBatchFile = *file;
    // The path the program is installed at, also after it was replaced while it runs.
    const std::u16string program = ApplicationExeName();
    FModel.SaveToBat(FromQString(*file),
                     program.empty() ? FromQString(QCoreApplication::applicationFilePath()) : program);
}

void TFormMain::ActionCsvColCheckAllExecute() {
    FModel.CheckAll();
    ShowModel();
}

void TFormMain::ActionCsvColUncheckExecute() {
    FModel.UncheckAll();
    ShowModel();
}

void TFormMain::ActionHelpExecute() {
    if (!ShowHelp(FHelpOpener)) FUi->ShowWarning(FromQString(HelpUnavailableMessage()));
}

void TFormMain::EditSourceFileAfterDialog(const QString& fileName, bool) {
    FModel.LoadCsvColumns(FromQString(fileName));
    ShowModel();
}

void TFormMain::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* about = menu.addAction(QStringLiteral("About..."));
    about->setObjectName("ActionAbout");
    if (menu.exec(event->globalPos()) == about) WMSysCommand(kAboutCommand);
}

void TFormMain::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls() && !IsBusy()) event->acceptProposedAction();
}

void TFormMain::dropEvent(QDropEvent* event) {
    std::vector<std::u16string> paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths.push_back(FromQString(url.toLocalFile()));
    event->acceptProposedAction();
    FModel.DropFiles(paths);
    ShowModel();
}

void TFormMain::showEvent(QShowEvent* event) {
    if (!FPlaced) {
        FPlaced = true;
        const QRect screenArea = screen()->availableGeometry();
        move(screenArea.center() - QPoint(width() / 2, height() / 2));
    }
    QMainWindow::showEvent(event);
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Shortcut) {
        // A label's accelerator selects its path box's text, also when the
        // box has the focus already (Qt selects only on a focus change).
        const auto* label = qobject_cast<QLabel*>(watched);
        auto* edit = label != nullptr ? qobject_cast<QLineEdit*>(label->buddy()) : nullptr;
        if (edit != nullptr) {
            edit->setFocus(Qt::ShortcutFocusReason);
            edit->selectAll();
            return true;
        }
    }
    if (event->type() == QEvent::ToolTip && qobject_cast<QToolButton*>(watched) != nullptr) {
        // Only the buttons of actions without a hint are watched. Accepted,
        // so that the tool bar does not show one for them instead.
        QToolTip::hideText();
        event->accept();
        return true;
    }
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(key->keyCombination());
        for (const QAction* action : FActions) {
            // Not accepting the override lets the window's shortcut fire.
            if (!action->shortcut().isEmpty() && action->shortcut() == pressed) return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace quillmark
