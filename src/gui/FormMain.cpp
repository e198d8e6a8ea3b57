#include "gui/FormMain.h"

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
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
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include "base/Exception.h"
#include "gui/ActionIcons.h"
#include "gui/CheckView.h"
#include "gui/FileNameEdit.h"
#include "gui/FormAboutBox.h"
#include "gui/Help.h"
#include "gui/PreviewTable.h"
#include "gui/QtString.h"

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

    void ShowWarning(std::u16string_view message) override { FInner.ShowWarning(message); }
    void ShowInformation(std::u16string_view message) override { FInner.ShowInformation(message); }

    TCursorHourGlassRef CreateCursorHourGlass() override {
        FForm.SetBusy(true);
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
      FModel(*FUi) {
    setObjectName("FormMain");
    setWindowTitle(QStringLiteral("Quillmark"));
    resize(566, 283);
    BuildWidgets();
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
    action->setToolTip(hint.isEmpty() ? caption : hint);
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
        {}, {QStringLiteral("CSVファイル(*.csv *.CSV)")}, QStringLiteral("csv"), {}, {}};
    TFileDialogSetup sourceDialog = csvDialog;
    sourceDialog.Title = QStringLiteral("変換元CSVファイル");
    TFileDialogSetup targetDialog = csvDialog;
    targetDialog.Title = QStringLiteral("変換先CSVファイル");

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
        label->setBuddy(row.buddy);
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

    FSplitter->addWidget(FPanelMain);
    FSplitter->addWidget(FGroupBox);
    FSplitter->setStretchFactor(0, 1);
    FSplitter->setStretchFactor(1, 0);
    FSplitter->setSizes({width() - kGroupBoxWidth, kGroupBoxWidth});

    // Keyboard order: the column list, the panel's boxes, then the tool bar.
    setTabOrder(FCheckListBoxCsvCol, FEditSourceFile->LineEdit());
    setTabOrder(FEditSourceFile->LineEdit(), FEditTargetFile->LineEdit());
    setTabOrder(FEditTargetFile->LineEdit(), FComboBoxEncoding);

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

void TFormMain::SetBusy(bool busy) {
    FBusyDepth += busy ? 1 : -1;
    if (FBusyDepth != (busy ? 1 : 0)) return;
    for (QAction* action : FActions)
        action->setEnabled(!busy);
    FPanelMain->setEnabled(!busy);
    FGroupBox->setEnabled(!busy);
    if (busy) {
        FCancelRequested = false;
    } else {
        FProgress->hide();
        FCancelButton->hide();
    }
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
            {QStringLiteral("設定ファイル(*.QMK *.qmk)"), QStringLiteral("設定ファイル(*.INI *.ini)"),
             QStringLiteral("すべてのファイル(*)")},
            QStringLiteral("QMK"),
            ToQString(FModel.SettingsDialogFolder()),
            ToQString(FModel.SettingsDialogFileName())};
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
        result = FModel.FirstIdle(FArguments);
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
    TFileDialogSetup setup{{},
                           {QStringLiteral("バッチファイル(*.BAT *.bat)"),
                            QStringLiteral("シェルスクリプト(*.sh)"), QStringLiteral("すべてのファイル(*)")},
                           QStringLiteral("BAT"),
                           {},
                           FLastBatchFile};
    const std::optional<QString> file = FDialogs.SaveFile(this, setup);
    if (!file) return;
    FLastBatchFile = *file;
    FModel.SaveToBat(FromQString(*file), FromQString(QCoreApplication::applicationFilePath()));
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
    ShowHelp();
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

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
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
