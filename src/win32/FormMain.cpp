#include "win32/FormMain.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <array>

#include "base/Exception.h"
#include "base/Utf.h"
#include "settings/CommandLine.h"
#include "settings/FileName.h"
#include "win32/FormAboutBox.h"
#include "win32/HtmlHelp.h"
#include "win32/Resource.h"
#include "win32/ToolBarImages.h"
#include "win32/WideString.h"

namespace quillmark {

namespace {

constexpr wchar_t kClassName[] = L"QuillmarkFormMain";
constexpr int kSplitterWidth = 5;

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

void RegisterWindowClass() {
    static const bool registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_HREDRAW | CS_VREDRAW;
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hIcon = LoadIconW(windowClass.hInstance, MAKEINTRESOURCEW(IDI_QUILLMARK));
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kClassName;
        return RegisterClassExW(&windowClass) != 0;
    }();
    (void)registered;
}

int CALLBACK FontFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

// The first Japanese user-interface face the system has, or the face of
// its message boxes.
std::wstring UiFontFace() {
    HDC screen = GetDC(nullptr);
    std::wstring face;
    for (const wchar_t* candidate : {L"Yu Gothic UI", L"Meiryo UI", L"MS UI Gothic"}) {
        LOGFONTW wanted{};
        wanted.lfCharSet = DEFAULT_CHARSET;
        wcsncpy(wanted.lfFaceName, candidate, LF_FACESIZE - 1);
        bool found = false;
        EnumFontFamiliesExW(screen, &wanted, FontFound, reinterpret_cast<LPARAM>(&found), 0);
        if (found) {
            face = candidate;
            break;
        }
    }
    ReleaseDC(nullptr, screen);
    if (face.empty()) {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
        face = metrics.lfMessageFont.lfFaceName;
    }
    return face;
}

// The tool bar: its images, captions and hints (the tool tips).
std::vector<TToolButton> ToolBarButtons() {
    return {
        {IDM_FILENEW, 6, L"新規作成", L"新しい設定を作成します。"},
        {IDM_OPENFROMINI, 5, L"設定ファイルを開く", L"設定ファイルを開きます。"},
        {IDM_SAVETOINI, 2, L"設定ファイルを保存する", L"設定ファイルを保存します。"},
        {},
        {IDM_SAVETOCSV, 1, L"CSVファイルを保存する", L"CSVファイルを保存します。"},
        {IDM_SAVETOBAT, 0, L"バッチファイルを保存する", L"バッチファイルを保存します。"},
        {},
        {IDM_CHECKALL, 3, L"すべてチェック", L"すべての列をチェックします。"},
        {IDM_UNCHECK, 4, L"チェックを外す", L""},
        {},
        {IDM_HELP, 7, L"ヘルプ", L"ヘルプを表示します"},
    };
}

// Splits a path box's text into the folder and name a dialog starts with.
void StartDialogAt(TFileDialogSetup& setup, const std::wstring& path) {
    if (path.empty() || HasInvalidPathChars(FromWide(path))) return;
    const std::size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos) {
        setup.FileName = path;
        return;
    }
    setup.Folder = path.substr(0, separator);
    setup.FileName = path.substr(separator + 1);
}

}  // namespace

// Passes messages and the cursor on to the front end's interface, and adds
// what only the window can do: it blocks its controls while the cursor
// shows and displays progress, with the chance to cancel a conversion.
class TFormMain::TWindowUserInterface final : public IUserInterface {
  public:
    TWindowUserInterface(TFormMain& form, IUserInterface& inner) : FForm(form), FInner(inner) {}

    void ShowWarning(std::u16string_view message) override { FInner.ShowWarning(message); }
    void ShowInformation(std::u16string_view message) override { FInner.ShowInformation(message); }

    TCursorHourGlassRef CreateCursorHourGlass() override {
        FForm.SetBusy(true);
        auto busy = std::make_shared<TBusy>(FForm, FInner.CreateCursorHourGlass());
        FForm.PumpMessages();
        return busy;
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

TFormMain::TFormMain(IUserInterface& ui, IFileDialogs& dialogs)
    : FUi(std::make_unique<TWindowUserInterface>(*this, ui)), FDialogs(dialogs), FModel(*FUi) {
    RegisterWindowClass();
    wchar_t program[32768] = {};
    GetModuleFileNameW(nullptr, program, static_cast<DWORD>(std::size(program)));
    ProgramPath = FromWide(program);

    // Not WS_CLIPCHILDREN: a group box paints only its frame, and the
    // window must paint the space inside it.
    FHwnd = CreateWindowExW(0, kClassName, L"Quillmark", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                            100, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (FHwnd == nullptr) throw Exception(u"ウィンドウを作成できません");
    SetWindowLongPtrW(FHwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(FHwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TFormMain::WindowProc));
    FDpi = GetDpiForWindow(FHwnd);
    // A client area of 566 x 283, the window in the middle of the screen's
    // work area.
    RECT frame{0, 0, Scale(566), Scale(283)};
    AdjustWindowRectExForDpi(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0, FDpi);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(FHwnd, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    SetWindowPos(FHwnd, nullptr, work.left + std::max(0L, (work.right - work.left - width) / 2),
                 work.top + std::max(0L, (work.bottom - work.top - height) / 2), width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);

    CreateFonts();
    CreateControls();

    const ACCEL keys[] = {
        {FVIRTKEY | FCONTROL, 'N', IDM_FILENEW},        {FVIRTKEY | FCONTROL, 'O', IDM_OPENFROMINI},
        {FVIRTKEY | FCONTROL, 'S', IDM_SAVETOINI},      {FVIRTKEY | FCONTROL, 'X', IDM_SAVETOCSV},
        {FVIRTKEY | FCONTROL, 'W', IDM_SAVETOBAT},      {FVIRTKEY | FCONTROL, 'A', IDM_CHECKALL},
        {FVIRTKEY | FCONTROL | FALT, 'A', IDM_UNCHECK},
    };
    FAccelerators = CreateAcceleratorTableW(const_cast<ACCEL*>(keys), static_cast<int>(std::size(keys)));

    HMENU systemMenu = GetSystemMenu(FHwnd, FALSE);
    AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(systemMenu, MF_STRING, kAboutCommand, L"About...");
    DragAcceptFiles(FHwnd, TRUE);

    FModel.ResetForm();
    ShowModel();
    Layout();
}

TFormMain::~TFormMain() {
    if (FHwnd != nullptr) DestroyWindow(FHwnd);
    if (FAccelerators != nullptr) DestroyAcceleratorTable(FAccelerators);
    if (FFont != nullptr) DeleteObject(FFont);
}

int TFormMain::Scale(int value) const {
    return MulDiv(value, static_cast<int>(FDpi), 96);
}

void TFormMain::CreateFonts() {
    HFONT old = FFont;
    LOGFONTW font{};
    font.lfHeight = -MulDiv(9, static_cast<int>(FDpi), 72);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = CLEARTYPE_QUALITY;
    const std::wstring face = UiFontFace();
    wcsncpy(font.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    FFont = CreateFontIndirectW(&font);
    for (const auto& [hwnd, control] : FControls)
        control->SetFont(FFont);
    if (old != nullptr) DeleteObject(old);
}

void TFormMain::CreateControls() {
    const auto add = [this](TControl& control, std::wstring hint = {}) {
        control.Hint = std::move(hint);
        control.SetFont(FFont);
        FControls[control.Hwnd()] = &control;
    };
    // The order of creation is the keyboard order: the column list, the
    // path boxes, the encoding list.
    FToolBar = std::make_unique<TToolBar>(FHwnd, LoadToolBarImages(Scale(48)), ToolBarButtons());
    FToolBar->OnHint = [this](const std::wstring& hint) { SetHint(hint); };
    add(*FToolBar);
    FStatusBar = std::make_unique<TStatusBar>(FHwnd);
    add(*FStatusBar);
    FGroupBox = std::make_unique<TGroupBox>(FHwnd, L"二重引用符をつける列");
    add(*FGroupBox);
    FCheckListBoxCsvCol = std::make_unique<TCheckList>(FHwnd);
    FCheckListBoxCsvCol->SetMarkSide(GetSystemMetricsForDpi(SM_CXSMICON, FDpi));
    add(*FCheckListBoxCsvCol, L"二重引用符をつける列をチェックします。");
    FCheckListBoxCsvCol->OnCheckChanged = [this](int index, bool checked) {
        if (FShowingModel) return;
        FModel.SetColumnChecked(static_cast<std::size_t>(index), checked);
        FCheckView->Refresh();
    };

    FLabelSourceFile = std::make_unique<TLabel>(FHwnd, L"変換元CSVファイルの保存場所(&S)");
    add(*FLabelSourceFile);
    FEditSourceFile = std::make_unique<TEdit>(FHwnd);
    add(*FEditSourceFile, L"変換元CSVファイルの保存場所を指定します。");
    FButtonSourceFile = std::make_unique<TButton>(FHwnd, L"...", false);
    add(*FButtonSourceFile, L"変換元CSVファイル");
    FLabelTargetFile = std::make_unique<TLabel>(FHwnd, L"変換先CSVファイルの保存場所(&T)");
    add(*FLabelTargetFile);
    FEditTargetFile = std::make_unique<TEdit>(FHwnd);
    add(*FEditTargetFile, L"変換先CSVファイルの保存場所を指定します。");
    FButtonTargetFile = std::make_unique<TButton>(FHwnd, L"...", false);
    add(*FButtonTargetFile, L"変換先CSVファイル");
    FLabelEncoding = std::make_unique<TLabel>(FHwnd, L"CSVファイルの文字コード(&E)");
    add(*FLabelEncoding);
    std::vector<std::wstring> encodings;
    for (const std::u16string_view name : kEncodingNames)
        encodings.push_back(ToWide(name));
    FComboBoxEncoding = std::make_unique<TComboBox>(FHwnd, encodings);
    add(*FComboBoxEncoding, L"変換先CSVファイルの文字コードを選択します。");
    // The preview takes no part in the keyboard order: it is there to be seen.
    FPreviewToggle = std::make_unique<TCheckBox>(
        FHwnd, L"変換先のプレビュー（先頭 " + std::to_wstring(kPreviewRows) + L" 行）", true);
    add(*FPreviewToggle, L"変換先CSVファイルの先頭の行を、今のチェックと文字コードで表示します。");
    FPreviewToggle->OnToggled = [this](bool shown) { SetPreviewShown(shown); };
    FPreview = std::make_unique<TPreviewList>(FHwnd);
    add(*FPreview);
    FControls[FPreview->TipHwnd()] = FPreview.get();
    FPreview->SetColumnWidths(Scale(36), Scale(96));
    FCheckView = std::make_unique<TCheckView>(*FUi, FModel, *FCheckListBoxCsvCol, *FPreview,
                                              [this](const std::wstring& text) { SetStatusText(text); });
    FCheckView->SetBusyTest([this] { return IsBusy(); });

    FProgress = std::make_unique<TProgressBar>(FHwnd);
    add(*FProgress);
    FProgress->SetVisible(false);
    FCancelButton = std::make_unique<TButton>(FHwnd, L"中止", false, IDM_CANCEL);
    add(*FCancelButton, L"変換を中止します。変換先CSVファイルは変わりません。");
    FCancelButton->SetVisible(false);

    // The hints of the boxes and buttons are their tool tips too; the tool
    // bar and the column list give theirs themselves.
    FHintTips = CreateWindowExW(
        WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, FHwnd, nullptr, GetModuleHandleW(nullptr), nullptr);
    for (TControl* control : std::initializer_list<TControl*>{
             FEditSourceFile.get(), FButtonSourceFile.get(), FEditTargetFile.get(), FButtonTargetFile.get(),
             FComboBoxEncoding.get(), FPreviewToggle.get(), FCancelButton.get()}) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = FHwnd;
        tool.uId = reinterpret_cast<UINT_PTR>(control->Hwnd());
        tool.lpszText = control->Hint.data();
        SendMessageW(FHintTips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }

    FEditSourceFile->OnTextChanged = [this] {
        if (!FShowingModel) FModel.SetSourceFileName(FromWide(FEditSourceFile->Text()));
    };
    FEditTargetFile->OnTextChanged = [this] {
        if (!FShowingModel) FModel.SetTargetFileName(FromWide(FEditTargetFile->Text()));
    };
    FComboBoxEncoding->OnSelectionChanged = [this] {
        if (FShowingModel) return;
        FModel.SetEncodingIndex(FComboBoxEncoding->Selected());
        FCheckView->Refresh();
    };
    FButtonSourceFile->OnClick = [this] { BrowseSource(); };
    FButtonTargetFile->OnClick = [this] { BrowseTarget(); };
    // A file dropped on a path box replaces its text.
    for (TEdit* edit : {FEditSourceFile.get(), FEditTargetFile.get()}) {
        edit->OnDropFiles = [this, edit](const std::vector<std::wstring>& files) {
            if (!files.empty() && !IsBusy()) edit->SetText(files.front());
        };
    }
}

void TFormMain::Layout() {
    RECT client{};
    GetClientRect(FHwnd, &client);
    SendMessageW(FToolBar->Hwnd(), TB_AUTOSIZE, 0, 0);
    SendMessageW(FStatusBar->Hwnd(), WM_SIZE, 0, 0);
    const int width = client.right;
    const int top = FToolBar->Height();
    const int bottom = client.bottom - FStatusBar->Height();

    const int groupWidth =
        std::clamp(Scale(FGroupBoxWidth), Scale(80), std::max(Scale(80), width - Scale(150)));
    const int groupLeft = width - groupWidth;
    FGroupBox->SetBounds(groupLeft, top + Scale(2), groupWidth - Scale(4), bottom - top - Scale(4));
    FCheckListBoxCsvCol->SetBounds(groupLeft + Scale(8), top + Scale(24), groupWidth - Scale(20),
                                   bottom - top - Scale(34));
    FCheckListBoxCsvCol->FitColumn();

    const int left = Scale(8);
    const int panelWidth = groupLeft - kSplitterWidth - left;
    const int button = Scale(23);
    int y = top + Scale(8);
    const struct {
        TLabel* label;
        TControl* box;
        TButton* browse;
    } rows[] = {{FLabelSourceFile.get(), FEditSourceFile.get(), FButtonSourceFile.get()},
                {FLabelTargetFile.get(), FEditTargetFile.get(), FButtonTargetFile.get()},
                {FLabelEncoding.get(), FComboBoxEncoding.get(), nullptr}};
    for (const auto& row : rows) {
        row.label->SetBounds(left, y, panelWidth, Scale(16));
        y += Scale(18);
        if (row.browse != nullptr) {
            row.box->SetBounds(left, y, panelWidth - button - Scale(2), button);
            row.browse->SetBounds(left + panelWidth - button, y, button, button);
        } else {
            row.box->SetBounds(left, y, std::min(panelWidth, Scale(120)), Scale(200));
        }
        y += button + Scale(8);
    }
    // The preview takes what height the panel has left; the toggle shows
    // when there is room for it alone.
    const int toggleHeight = Scale(18);
    const int previewBottom = bottom - Scale(6);
    const bool roomForToggle = previewBottom - y >= toggleHeight;
    FPreviewToggle->SetBounds(left, y, panelWidth, toggleHeight);
    FPreviewToggle->SetVisible(roomForToggle);
    y += toggleHeight + Scale(2);
    FPreview->SetBounds(left, y, panelWidth, previewBottom - y);
    FPreview->SetVisible(roomForToggle && FPreviewToggle->IsChecked() && previewBottom - y >= Scale(24));

    const int statusTop = bottom + Scale(2);
    const int statusHeight = FStatusBar->Height() - Scale(4);
    FCancelButton->SetBounds(width - Scale(80), statusTop, Scale(56), statusHeight);
    FProgress->SetBounds(width - Scale(290), statusTop + Scale(2), Scale(200), statusHeight - Scale(4));
}

void TFormMain::Show(int showCommand) {
    ShowWindow(FHwnd, showCommand);
    UpdateWindow(FHwnd);
    // The window is painted; the command line is applied at the next
    // moment the message queue runs empty.
    PostMessageW(FHwnd, WM_FIRSTIDLE, 0, 0);
}

void TFormMain::ShowModel() {
    const TFlagGuard showing(FShowingModel);
    FEditSourceFile->SetText(ToWide(FModel.SourceFileName()));
    FEditTargetFile->SetText(ToWide(FModel.TargetFileName()));
    FComboBoxEncoding->SetSelected(FModel.EncodingIndex());

    const std::vector<TColumnEntry>& columns = FModel.Columns();
    bool sameLabels = FCheckListBoxCsvCol->Count() == static_cast<int>(columns.size());
    for (int i = 0; sameLabels && i < FCheckListBoxCsvCol->Count(); ++i)
        sameLabels = FCheckListBoxCsvCol->ItemText(i) == ToWide(columns[static_cast<std::size_t>(i)].Label);
    if (!sameLabels) {
        std::vector<std::wstring> labels;
        for (const TColumnEntry& column : columns)
            labels.push_back(ToWide(column.Label));
        FCheckListBoxCsvCol->SetItems(labels);
    }
    for (int i = 0; i < FCheckListBoxCsvCol->Count(); ++i)
        FCheckListBoxCsvCol->SetChecked(i, columns[static_cast<std::size_t>(i)].Checked);
    FCheckView->Refresh();
}

void TFormMain::SetBusy(bool busy) {
    FBusyDepth += busy ? 1 : -1;
    if (FBusyDepth != (busy ? 1 : 0)) return;
    FToolBar->SetButtonsEnabled(!busy);
    for (TControl* control :
         {static_cast<TControl*>(FCheckListBoxCsvCol.get()), static_cast<TControl*>(FEditSourceFile.get()),
          static_cast<TControl*>(FButtonSourceFile.get()), static_cast<TControl*>(FEditTargetFile.get()),
          static_cast<TControl*>(FButtonTargetFile.get()), static_cast<TControl*>(FComboBoxEncoding.get()),
          static_cast<TControl*>(FPreviewToggle.get()), static_cast<TControl*>(FPreview.get())})
        control->SetEnabled(!busy);
    if (busy) {
        FCancelRequested = false;
    } else {
        FProgress->SetVisible(false);
        FCancelButton->SetVisible(false);
    }
    // The cursor changes at once, not at the next mouse move.
    POINT cursor{};
    GetCursorPos(&cursor);
    SetCursorPos(cursor.x, cursor.y);
}

void TFormMain::ReportProgress(std::uint64_t done, std::uint64_t total) {
    FProgress->SetPosition(
        total == 0 ? 0 : static_cast<int>(std::min<std::uint64_t>(done, total) * 1000 / total));
    if (!IsWindowVisible(FProgress->Hwnd())) {
        FProgress->SetVisible(true);
        SetWindowPos(FProgress->Hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
    if (FCancellable && !IsWindowVisible(FCancelButton->Hwnd())) {
        FCancelButton->SetVisible(true);
        SetWindowPos(FCancelButton->Hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
    PumpMessages();
    if (FCancellable && FCancelRequested) throw EAbort();
}

void TFormMain::PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
            CancelConversion();
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool TFormMain::PreTranslateMessage(MSG& message) {
    if (message.hwnd != FHwnd && !IsChild(FHwnd, message.hwnd)) return false;
    if (!IsBusy() && TranslateAcceleratorW(FHwnd, FAccelerators, &message)) return true;
    return IsDialogMessageW(FHwnd, &message) != FALSE;
}

LRESULT CALLBACK TFormMain::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* form = reinterpret_cast<TFormMain*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (form == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
    // No error may unwind through the system's frames: it ends here.
    try {
        return form->HandleMessage(message, wParam, lParam);
    } catch (const Exception& error) {
        form->ShowException(error.Message());
    } catch (const std::exception& error) {
        form->ShowException(Utf8ToUtf16(error.what()));
    } catch (...) {
        form->ShowException(u"");
    }
    return 0;
}

void TFormMain::ShowException(std::u16string_view message) {
    if (OnException) {
        OnException(message);
        return;
    }
    MessageBoxW(FHwnd, ToWide(message).c_str(), L"Quillmark", MB_OK | MB_ICONWARNING);
}

bool TFormMain::HandleControlMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    HWND from = message == WM_NOTIFY ? reinterpret_cast<const NMHDR*>(lParam)->hwndFrom
                                     : reinterpret_cast<HWND>(lParam);
    const auto found = FControls.find(from);
    return found != FControls.end() && found->second->WndProcParent(message, wParam, lParam, result);
}

LRESULT TFormMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    switch (message) {
        case WM_COMMAND:
            if (HandleControlMessage(message, wParam, lParam, result)) return result;
            Command(LOWORD(wParam));
            return 0;
        case WM_NOTIFY:
            if (HandleControlMessage(message, wParam, lParam, result)) return result;
            break;
        case WM_SIZE:
            Layout();
            return 0;
        case WM_GETMINMAXINFO: {
            auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
            limits->ptMinTrackSize = {Scale(400), Scale(240)};
            return 0;
        }
        case WM_DPICHANGED: {
            FDpi = HIWORD(wParam);
            CreateFonts();
            FToolBar->SetImages(LoadToolBarImages(Scale(48)));
            FPreview->SetColumnWidths(Scale(36), Scale(96));
            FCheckListBoxCsvCol->SetMarkSide(GetSystemMetricsForDpi(SM_CXSMICON, FDpi));
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(FHwnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                         suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
            Layout();
            return 0;
        }
        case WM_SETCURSOR: {
            if (IsBusy()) {
                SetCursor(LoadCursorW(nullptr, IDC_WAIT));
                return TRUE;
            }
            const HWND over = reinterpret_cast<HWND>(wParam);
            if (over == FHwnd && LOWORD(lParam) == HTCLIENT) {
                POINT point{};
                GetCursorPos(&point);
                ScreenToClient(FHwnd, &point);
                RECT group{};
                GetWindowRect(FGroupBox->Hwnd(), &group);
                MapWindowPoints(nullptr, FHwnd, reinterpret_cast<POINT*>(&group), 2);
                if (point.x >= group.left - kSplitterWidth && point.x < group.left &&
                    point.y > FToolBar->Height()) {
                    SetCursor(LoadCursorW(nullptr, IDC_SIZEWE));
                    return TRUE;
                }
            }
            if (over != FToolBar->Hwnd()) {
                const auto found = FControls.find(over);
                SetHint(found != FControls.end() ? found->second->Hint : std::wstring());
            }
            break;
        }
        case WM_LBUTTONDOWN: {
            RECT group{};
            GetWindowRect(FGroupBox->Hwnd(), &group);
            MapWindowPoints(nullptr, FHwnd, reinterpret_cast<POINT*>(&group), 2);
            const int x = static_cast<short>(LOWORD(lParam));
            if (x >= group.left - kSplitterWidth && x < group.left) {
                FSplitterDragging = true;
                SetCapture(FHwnd);
            }
            return 0;
        }
        case WM_MOUSEMOVE:
            if (FSplitterDragging) {
                RECT client{};
                GetClientRect(FHwnd, &client);
                const int x = static_cast<short>(LOWORD(lParam));
                FGroupBoxWidth = MulDiv(client.right - x - kSplitterWidth / 2, 96, static_cast<int>(FDpi));
                Layout();
            }
            return 0;
        case WM_LBUTTONUP:
            if (FSplitterDragging) {
                FSplitterDragging = false;
                ReleaseCapture();
            }
            return 0;
        case WM_SYSCOMMAND:
            // Exactly 128: the system's own commands keep their meaning.
            if (wParam == kAboutCommand) {
                if (!IsBusy()) ShowAbout();
                return 0;
            }
            break;
        case WM_DROPFILES: {
            HDROP drop = reinterpret_cast<HDROP>(wParam);
            std::vector<std::u16string> files;
            const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
            for (UINT i = 0; i < count; ++i) {
                std::wstring file(DragQueryFileW(drop, i, nullptr, 0), L'\0');
                DragQueryFileW(drop, i, file.data(), static_cast<UINT>(file.size() + 1));
                files.push_back(FromWide(file));
            }
            DragFinish(drop);
            if (!IsBusy()) {
                FModel.DropFiles(files);
                ShowModel();
            }
            return 0;
        }
        case WM_NEXTDLGCTL: {
            // IsDialogMessageW moves the focus through this message, which
            // only dialogs answer by themselves: Tab, Shift+Tab and the
            // labels' mnemonics need it here.
            HWND next = LOWORD(lParam) != 0 ? reinterpret_cast<HWND>(wParam)
                                            : GetNextDlgTabItem(FHwnd, GetFocus(), wParam != 0);
            if (next != nullptr) {
                SetFocus(next);
                // An edit box shows its whole text selected, as in a dialog.
                if (SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
                    SendMessageW(next, EM_SETSEL, 0, -1);
            }
            return 0;
        }
        case WM_FIRSTIDLE:
            FirstIdle();
            return 0;
        case WM_CLOSE:
            // Closing during long work cancels it; the window stays.
            if (IsBusy()) {
                CancelConversion();
                return 0;
            }
            DestroyWindow(FHwnd);
            return 0;
        case WM_DESTROY:
            if (OnClosed) OnClosed();
            return 0;
        case WM_NCDESTROY: {
            // The last message of the window: from here on the object has none.
            HWND hwnd = FHwnd;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            FControls.clear();
            FHwnd = nullptr;
            return DefWindowProcW(hwnd, message, wParam, lParam);
        }
    }
    return DefWindowProcW(FHwnd, message, wParam, lParam);
}

void TFormMain::SetHint(const std::wstring& hint) {
    FHint = hint;
    const std::wstring& shown = FHint.empty() ? FStatusText : FHint;
    SendMessageW(FStatusBar->Hwnd(), SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(shown.c_str()));
}

void TFormMain::SetStatusText(const std::wstring& text) {
    FStatusText = text;
    if (FHint.empty()) SetHint({});
}

void TFormMain::SetPreviewShown(bool shown) {
    FPreviewToggle->SetChecked(shown);
    Layout();
}

void TFormMain::Command(int command) {
    if (IsBusy()) {
        if (command == IDM_CANCEL) CancelConversion();
        return;
    }
    switch (command) {
        case IDM_FILENEW:
            ActionFileNewExecute();
            break;
        case IDM_OPENFROMINI:
            ActionOpenFromIniExecute();
            break;
        case IDM_SAVETOINI:
            ActionSaveToIniExecute();
            break;
        case IDM_SAVETOCSV:
            ActionSaveToCsvExecute();
            break;
        case IDM_SAVETOBAT:
            ActionSaveToBatExecute();
            break;
        case IDM_CHECKALL:
            ActionCsvColCheckAllExecute();
            break;
        case IDM_UNCHECK:
            ActionCsvColUncheckExecute();
            break;
        case IDM_HELP:
            ActionHelpExecute();
            break;
        default:
            break;
    }
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
    } catch (const EAbort&) {
        // Esc or the cancel button while a column list was read: the rest
        // of the command line is not applied and nothing is converted.
        FCheckView->SetPaused(false);
        ShowModel();
        SetHint(L"読み込みを中止しました。");
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
        PostMessageW(FHwnd, WM_CLOSE, 0, 0);
    }
}

void TFormMain::ShowAbout() {
    TFormAboutBox box;
    box.ShowModal(FHwnd);
}

TFileDialogSetup TFormMain::SettingsDialogSetup() const {
    TFileDialogSetup setup;
    setup.Filter = L"設定ファイル(*.QMK)|*.QMK|設定ファイル(*.INI)|*.INI|すべてのファイル(*.*)|*.*";
    setup.DefaultExt = L"QMK";
    setup.Folder = ToWide(FModel.SettingsDialogFolder());
    setup.FileName = ToWide(FModel.SettingsDialogFileName());
    return setup;
}

void TFormMain::BrowseSource() {
    TFileDialogSetup setup;
    setup.Title = L"変換元CSVファイル";
    setup.Filter = L"CSVファイル|*.csv";
    setup.DefaultExt = L"csv";
    const std::wstring current = FEditSourceFile->Text();
    StartDialogAt(setup, current);
    const std::optional<std::wstring> chosen = FDialogs.OpenFile(FHwnd, setup);
    if (chosen) FEditSourceFile->SetText(*chosen);
    // Also a cancelled dialog reads the list again from the box's file.
    const std::wstring file = chosen ? *chosen : current;
    FModel.LoadCsvColumns(HasInvalidPathChars(FromWide(file)) ? std::u16string() : FromWide(file));
    ShowModel();
}

void TFormMain::BrowseTarget() {
    TFileDialogSetup setup;
    setup.Title = L"変換先CSVファイル";
    setup.Filter = L"CSVファイル|*.csv";
    setup.DefaultExt = L"csv";
    setup.MustExist = false;
    StartDialogAt(setup, FEditTargetFile->Text());
    if (const std::optional<std::wstring> chosen = FDialogs.OpenFile(FHwnd, setup))
        FEditTargetFile->SetText(*chosen);
}

void TFormMain::ActionFileNewExecute() {
    FModel.FileNew();
    ShowModel();
    SetFocus(FEditSourceFile->Hwnd());
}

void TFormMain::ActionOpenFromIniExecute() {
    const std::optional<std::wstring> file = FDialogs.OpenFile(FHwnd, SettingsDialogSetup());
    if (!file) return;
    FModel.OpenFromIni(FromWide(*file));
    ShowModel();
}

void TFormMain::ActionSaveToIniExecute() {
    const std::optional<std::wstring> file = FDialogs.SaveFile(FHwnd, SettingsDialogSetup());
    if (file) FModel.SaveToIni(FromWide(*file));
}

void TFormMain::ActionSaveToCsvExecute() {
    const TFlagGuard cancellable(FCancellable);
    if (FModel.SaveToCsv()) {
        FCheckView->ShowConversion();
    } else if (FCancelRequested) {
        SetHint(L"変換を中止しました。");
    }
}

void TFormMain::ActionSaveToBatExecute() {
    TFileDialogSetup setup;
    setup.Filter = L"バッチファイル(*.BAT)|*.BAT|すべてのファイル(*.*)|*.*";
    setup.DefaultExt = L"BAT";
    setup.FileName = FLastBatchFile;
    const std::optional<std::wstring> file = FDialogs.SaveFile(FHwnd, setup);
    if (!file) return;
    FLastBatchFile = *file;
    FModel.SaveToBat(FromWide(*file), ProgramPath);
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
    const std::u16string help = HelpFileName(ProgramPath);
    if (!ShowHelpContents(FHwnd, help)) FUi->ShowWarning(u"ヘルプファイル " + help + u" を表示できません。");
}

}  // namespace quillmark
