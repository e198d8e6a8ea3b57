#include "win32/Controls.h"

#include <commctrl.h>
#include <shellapi.h>

namespace quillmark {

void InitWindowControls() {
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES |
                                                                          ICC_PROGRESS_CLASS |
                                                                          ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
}

namespace {

HINSTANCE Instance() {
    return GetModuleHandleW(nullptr);
}

std::vector<std::wstring> DroppedFiles(HDROP drop) {
    std::vector<std::wstring> files;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring file(DragQueryFileW(drop, i, nullptr, 0), L'\0');
        DragQueryFileW(drop, i, file.data(), static_cast<UINT>(file.size() + 1));
        files.push_back(std::move(file));
    }
    DragFinish(drop);
    return files;
}

// The pictures of a column list's marks, `side` pixels square: the warning
// sign, and a blank of its size for the entries without a mark.
HIMAGELIST MakeMarkImages(int side) {
    HIMAGELIST images = ImageList_Create(side, side, ILC_COLOR32 | ILC_MASK, 2, 0);
    // The system's own sign (IDI_WARNING is also its OEM number), drawn at
    // the size asked for.
    auto sign = static_cast<HICON>(LoadImageW(nullptr, IDI_WARNING, IMAGE_ICON, side, side, 0));
    if (sign != nullptr) {
        ImageList_ReplaceIcon(images, -1, sign);
        DestroyIcon(sign);
    } else {
        ImageList_ReplaceIcon(images, -1, LoadIconW(nullptr, IDI_WARNING));
    }
    // A blank: no colour, and a mask that lets everything through.
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), side, side, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP colour = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::vector<BYTE> white(static_cast<std::size_t>((side + 15) / 16 * 2 * side), 0xFF);
    HBITMAP mask = CreateBitmap(side, side, 1, 1, white.data());
    ImageList_Add(images, colour, mask);
    DeleteObject(colour);
    DeleteObject(mask);
    return images;
}

constexpr int kMarkImage = 0;
constexpr int kBlankImage = 1;

}  // namespace

bool TControl::WndProcParent(UINT, WPARAM, LPARAM, LRESULT&) {
    return false;
}

HWND TControl::CreateChild(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style,
                           DWORD exStyle, int id) {
    FHwnd = CreateWindowExW(exStyle, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10,
                            parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
    return FHwnd;
}

void TControl::SetBounds(int x, int y, int width, int height) {
    MoveWindow(FHwnd, x, y, width > 0 ? width : 0, height > 0 ? height : 0, TRUE);
}

void TControl::SetFont(HFONT font) {
    SendMessageW(FHwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void TControl::SetEnabled(bool enabled) {
    EnableWindow(FHwnd, enabled);
}

void TControl::SetVisible(bool visible) {
    ShowWindow(FHwnd, visible ? SW_SHOWNA : SW_HIDE);
}

std::wstring TControl::Text() const {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(FHwnd)), L'\0');
    GetWindowTextW(FHwnd, text.data(), static_cast<int>(text.size() + 1));
    return text;
}

void TControl::SetText(const std::wstring& text) {
    if (Text() != text) SetWindowTextW(FHwnd, text.c_str());
}

TLabel::TLabel(HWND parent, const std::wstring& caption) {
    CreateChild(parent, WC_STATICW, caption, SS_LEFT);
}

TGroupBox::TGroupBox(HWND parent, const std::wstring& caption) {
    CreateChild(parent, WC_BUTTONW, caption, BS_GROUPBOX);
}

TButton::TButton(HWND parent, const std::wstring& caption, bool tabStop, int id) {
    CreateChild(parent, WC_BUTTONW, caption, BS_PUSHBUTTON | (tabStop ? WS_TABSTOP : 0), 0, id);
}

bool TButton::WndProcParent(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED || !OnClick) return false;
    OnClick();
    result = 0;
    return true;
}

TEdit::TEdit(HWND parent) {
    CreateChild(parent, WC_EDITW, L"", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE);
    SetWindowSubclass(FHwnd, SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
    DragAcceptFiles(FHwnd, TRUE);
}

TEdit::~TEdit() {
    RemoveWindowSubclass(FHwnd, SubclassProc, 1);
}

bool TEdit::WndProcParent(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    if (message != WM_COMMAND || HIWORD(wParam) != EN_CHANGE || !OnTextChanged) return false;
    OnTextChanged();
    result = 0;
    return true;
}

LRESULT CALLBACK TEdit::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR data) {
    auto* edit = reinterpret_cast<TEdit*>(data);
    if (message == WM_DROPFILES) {
        const std::vector<std::wstring> files = DroppedFiles(reinterpret_cast<HDROP>(wParam));
        if (edit->OnDropFiles) edit->OnDropFiles(files);
        return 0;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

TComboBox::TComboBox(HWND parent, const std::vector<std::wstring>& items) {
    CreateChild(parent, WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP);
    for (const std::wstring& item : items)
        SendMessageW(FHwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

bool TComboBox::WndProcParent(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    if (message != WM_COMMAND || HIWORD(wParam) != CBN_SELCHANGE || !OnSelectionChanged) return false;
    OnSelectionChanged();
    result = 0;
    return true;
}

int TComboBox::Selected() const {
    return static_cast<int>(SendMessageW(FHwnd, CB_GETCURSEL, 0, 0));
}

void TComboBox::SetSelected(int index) {
    SendMessageW(FHwnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

TCheckList::TCheckList(HWND parent) {
    CreateChild(parent, WC_LISTVIEWW, L"",
                LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP,
                WS_EX_CLIENTEDGE);
    ListView_SetExtendedListViewStyle(
        FHwnd, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    column.cx = 100;
    ListView_InsertColumn(FHwnd, 0, &column);
}

bool TCheckList::WndProcParent(UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
    if (message != WM_NOTIFY) return false;
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->code == LVN_GETINFOTIPW) {
        // A marked entry's tip says why it is marked; the others give the
        // list's hint.
        auto* tip = reinterpret_cast<NMLVGETINFOTIPW*>(lParam);
        const std::wstring text = IsMarked(tip->iItem) ? MarkTip(tip->iItem) : Hint;
        if (text.empty() || tip->pszText == nullptr || tip->cchTextMax <= 0) return false;
        lstrcpynW(tip->pszText, text.c_str(), tip->cchTextMax);
        result = 0;
        return true;
    }
    if (header->code != LVN_ITEMCHANGED) return false;
    const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
    // A tick shows as the second state image, no tick as the first; a new
    // entry starts without any and reports none of them.
    const UINT oldImage = change->uOldState & LVIS_STATEIMAGEMASK;
    const UINT newImage = change->uNewState & LVIS_STATEIMAGEMASK;
    if ((change->uChanged & LVIF_STATE) == 0 || oldImage == 0 || oldImage == newImage || FSetting)
        return false;
    if (OnCheckChanged) OnCheckChanged(change->iItem, newImage == INDEXTOSTATEIMAGEMASK(2));
    result = 0;
    return true;
}

int TCheckList::Count() const {
    return ListView_GetItemCount(FHwnd);
}

std::wstring TCheckList::ItemText(int index) const {
    wchar_t buffer[512] = {};
    ListView_GetItemText(FHwnd, index, 0, buffer, static_cast<int>(std::size(buffer)));
    return buffer;
}

bool TCheckList::IsChecked(int index) const {
    return ListView_GetCheckState(FHwnd, index) != 0;
}

void TCheckList::SetItems(const std::vector<std::wstring>& labels) {
    FSetting = true;
    SendMessageW(FHwnd, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(FHwnd);
    SetMarks({});
    for (std::size_t i = 0; i < labels.size(); ++i) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<wchar_t*>(labels[i].c_str());
        ListView_InsertItem(FHwnd, &item);
    }
    SendMessageW(FHwnd, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(FHwnd, nullptr, TRUE);
    FSetting = false;
}

void TCheckList::SetChecked(int index, bool checked) {
    if (IsChecked(index) == checked) return;
    FSetting = true;
    ListView_SetCheckState(FHwnd, index, checked);
    FSetting = false;
}

void TCheckList::SetMarks(std::vector<std::wstring> tips) {
    bool any = false;
    for (const std::wstring& tip : tips)
        any = any || !tip.empty();
    if (!any) tips.clear();
    if (tips == FTips) return;
    FTips = std::move(tips);
    // Without pictures the entries take no room for them.
    const HIMAGELIST current = ListView_GetImageList(FHwnd, LVSIL_SMALL);
    if (any && current == nullptr) {
        ListView_SetImageList(FHwnd, MakeMarkImages(FMarkSide), LVSIL_SMALL);
    } else if (!any && current != nullptr) {
        ImageList_Destroy(ListView_SetImageList(FHwnd, nullptr, LVSIL_SMALL));
    }
    for (int i = 0; any && i < Count(); ++i) {
        LVITEMW item{};
        item.mask = LVIF_IMAGE;
        item.iItem = i;
        item.iImage = IsMarked(i) ? kMarkImage : kBlankImage;
        ListView_SetItem(FHwnd, &item);
    }
    InvalidateRect(FHwnd, nullptr, TRUE);
}

void TCheckList::SetMarkSide(int side) {
    if (side == FMarkSide) return;
    FMarkSide = side;
    if (ListView_GetImageList(FHwnd, LVSIL_SMALL) != nullptr)
        ImageList_Destroy(ListView_SetImageList(FHwnd, MakeMarkImages(side), LVSIL_SMALL));
}

bool TCheckList::IsMarked(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < FTips.size() &&
           !FTips[static_cast<std::size_t>(index)].empty();
}

std::wstring TCheckList::MarkTip(int index) const {
    return IsMarked(index) ? FTips[static_cast<std::size_t>(index)] : std::wstring();
}

void TCheckList::FitColumn() {
    RECT client{};
    GetClientRect(FHwnd, &client);
    ListView_SetColumnWidth(FHwnd, 0, client.right - client.left);
}

TToolBar::TToolBar(HWND parent, HIMAGELIST images, const std::vector<TToolButton>& buttons)
    : FButtons(buttons), FImages(images) {
    CreateChild(parent, TOOLBARCLASSNAMEW, L"", TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_TOP);
    SendMessageW(FHwnd, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(FHwnd, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
    // The captions name the buttons but are not shown; the tool tips are
    // the hints, asked for by the tool bar's tips (see SubclassProc).
    SendMessageW(FHwnd, TB_SETMAXTEXTROWS, 0, 0);
    SetWindowSubclass(FHwnd, SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
    std::vector<TBBUTTON> items;
    for (const TToolButton& button : FButtons) {
        TBBUTTON item{};
        if (button.Command == 0) {
            item.fsStyle = BTNS_SEP;
        } else {
            item.iBitmap = button.Image;
            item.idCommand = button.Command;
            item.fsState = TBSTATE_ENABLED;
            item.fsStyle = BTNS_BUTTON;
            item.iString = reinterpret_cast<INT_PTR>(button.Caption.c_str());
        }
        items.push_back(item);
    }
    SendMessageW(FHwnd, TB_ADDBUTTONSW, items.size(), reinterpret_cast<LPARAM>(items.data()));
    SendMessageW(FHwnd, TB_AUTOSIZE, 0, 0);
}

TToolBar::~TToolBar() {
    RemoveWindowSubclass(FHwnd, SubclassProc, 1);
    if (FImages != nullptr) ImageList_Destroy(FImages);
}

std::wstring TToolBar::HintOf(int command) const {
    for (const TToolButton& button : FButtons)
        if (button.Command != 0 && button.Command == command) return button.Hint;
    return {};
}

// Answers the tool bar's own tips before the tool bar does, which would
// show a button's caption: a button's tip is its hint, and a button
// without a hint shows none (an empty text shows no tip).
LRESULT CALLBACK TToolBar::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                        DWORD_PTR data) {
    if (message == WM_NOTIFY) {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->code == TTN_GETDISPINFOW &&
            header->hwndFrom == reinterpret_cast<HWND>(SendMessageW(hwnd, TB_GETTOOLTIPS, 0, 0))) {
            auto* tip = reinterpret_cast<NMTTDISPINFOW*>(lParam);
            auto* toolBar = reinterpret_cast<TToolBar*>(data);
            toolBar->FTip = toolBar->HintOf(static_cast<int>(header->idFrom));
            tip->hinst = nullptr;
            tip->szText[0] = L'\0';
            tip->lpszText = toolBar->FTip.data();
            return 0;
        }
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

bool TToolBar::WndProcParent(UINT message, WPARAM, LPARAM lParam, LRESULT&) {
    if (message != WM_NOTIFY) return false;
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->code != static_cast<UINT>(TBN_HOTITEMCHANGE) || !OnHint) return false;
    const auto* hot = reinterpret_cast<const NMTBHOTITEM*>(lParam);
    OnHint((hot->dwFlags & HICF_LEAVING) == 0 ? HintOf(hot->idNew) : std::wstring());
    return false;
}

void TToolBar::SetImages(HIMAGELIST images) {
    SendMessageW(FHwnd, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
    SendMessageW(FHwnd, TB_AUTOSIZE, 0, 0);
    if (FImages != nullptr) ImageList_Destroy(FImages);
    FImages = images;
}

void TToolBar::SetButtonsEnabled(bool enabled) {
    for (const TToolButton& button : FButtons)
        if (button.Command != 0) SendMessageW(FHwnd, TB_ENABLEBUTTON, button.Command, MAKELPARAM(enabled, 0));
}

int TToolBar::Height() const {
    RECT bounds{};
    GetWindowRect(FHwnd, &bounds);
    return bounds.bottom - bounds.top;
}

TStatusBar::TStatusBar(HWND parent) {
    CreateChild(parent, STATUSCLASSNAMEW, L"", SBARS_SIZEGRIP | CCS_BOTTOM);
}

int TStatusBar::Height() const {
    RECT bounds{};
    GetWindowRect(FHwnd, &bounds);
    return bounds.bottom - bounds.top;
}

TProgressBar::TProgressBar(HWND parent) {
    CreateChild(parent, PROGRESS_CLASSW, L"", 0);
    SendMessageW(FHwnd, PBM_SETRANGE32, 0, 1000);
}

void TProgressBar::SetPosition(int position) {
    SendMessageW(FHwnd, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

}  // namespace quillmark
