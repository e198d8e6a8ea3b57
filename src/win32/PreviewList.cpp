#include "win32/PreviewList.h"

#include <commctrl.h>

#include <algorithm>

#include "win32/WideString.h"

namespace quillmark {

namespace {

const COLORREF kQuotedBackground = RGB(222, 235, 255);
const COLORREF kBreakingBackground = RGB(255, 205, 205);
const COLORREF kLossyText = RGB(176, 0, 0);

// No column is wide enough to show more of a field than this.
constexpr std::size_t kShownUnits = 1000;

// A field as its cell shows it, with a flag per unit for the stand-ins of
// lost characters. A line break would not show in a one-line cell: CR LF,
// CR and LF each show as one sign (U+21B5).
struct TShownField {
    std::wstring Text;
    std::vector<bool> Lossy;
};

TShownField ShownField(const TPreviewCell& cell) {
    TShownField shown;
    std::size_t length = std::min(cell.Text.size(), kShownUnits);
    // Not half a surrogate pair at the end.
    if (length < cell.Text.size() && cell.Text[length - 1] >= 0xD800 && cell.Text[length - 1] <= 0xDBFF)
        --length;
    shown.Text.reserve(length);
    for (std::size_t at = 0; at < length; ++at) {
        const char16_t unit = cell.Text[at];
        const bool lossy = at < cell.Lossy.size() && cell.Lossy[at];
        if (unit == u'\r' || unit == u'\n') {
            shown.Text.push_back(L'\u21B5');
            if (unit == u'\r' && at + 1 < length && cell.Text[at + 1] == u'\n') ++at;
        } else {
            shown.Text.push_back(static_cast<wchar_t>(unit));
        }
        shown.Lossy.push_back(lossy);
    }
    return shown;
}

int HeaderCount(HWND list) {
    return Header_GetItemCount(ListView_GetHeader(list));
}

void InsertColumn(HWND list, int index, const std::wstring& caption, int width) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(caption.c_str());
    ListView_InsertColumn(list, index, &column);
}

}  // namespace

const COLORREF TPreviewList::kLossyBackground = RGB(255, 225, 120);

TPreviewList::TPreviewList(HWND parent) {
    // Owner data: the rows stay here, and the list view asks for the
    // fields it shows.
    CreateChild(parent, WC_LISTVIEWW, L"", LVS_REPORT | LVS_OWNERDATA | LVS_NOSORTHEADER | LVS_SINGLESEL,
                WS_EX_CLIENTEDGE);
    ListView_SetExtendedListViewStyle(FHwnd, LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
    InsertColumn(FHwnd, 0, L"", FNumberWidth);

    // One tool over the whole table; it asks the parent for its text, which
    // depends on the cell under the mouse (see SubclassProc).
    FTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                           0, 0, 0, 0, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = parent;
    tool.uId = reinterpret_cast<UINT_PTR>(FHwnd);
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(FTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    // A width makes the tool tip break its lines at "\n".
    SendMessageW(FTip, TTM_SETMAXTIPWIDTH, 0, 800);
    SetWindowSubclass(FHwnd, SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

TPreviewList::~TPreviewList() {
    RemoveWindowSubclass(FHwnd, SubclassProc, 1);
    if (IsWindow(FTip)) DestroyWindow(FTip);
}

LRESULT CALLBACK TPreviewList::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR data) {
    if (message == WM_MOUSEMOVE) {
        auto* list = reinterpret_cast<TPreviewList*>(data);
        LVHITTESTINFO hit{};
        hit.pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        int row = -1, column = -1;
        if (ListView_SubItemHitTest(hwnd, &hit) >= 0 && (hit.flags & LVHT_ONITEM) != 0 && hit.iSubItem >= 1) {
            row = hit.iItem;
            column = hit.iSubItem - 1;
        }
        if (row != list->FTipRow || column != list->FTipColumn) {
            list->FTipRow = row;
            list->FTipColumn = column;
            // Another cell: the tip goes, and comes back with the new text.
            SendMessageW(list->FTip, TTM_POP, 0, 0);
        }
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

void TPreviewList::SetColumnWidths(int number, int field) {
    FNumberWidth = number;
    FFieldWidth = field;
    ListView_SetColumnWidth(FHwnd, 0, number);
}

void TPreviewList::SetRows(std::vector<TPreviewRow> rows, const std::vector<std::u16string>& letters) {
    FRows = std::move(rows);
    if (letters != FLetters) {
        SendMessageW(FHwnd, WM_SETREDRAW, FALSE, 0);
        for (int column = HeaderCount(FHwnd) - 1; column >= 1; --column)
            ListView_DeleteColumn(FHwnd, column);
        FLetters = letters;
        for (std::size_t column = 0; column < FLetters.size(); ++column)
            InsertColumn(FHwnd, static_cast<int>(column) + 1, ToWide(FLetters[column]), FFieldWidth);
        SendMessageW(FHwnd, WM_SETREDRAW, TRUE, 0);
    }
    ListView_SetItemCountEx(FHwnd, static_cast<int>(FRows.size()), LVSICF_NOSCROLL);
    InvalidateRect(FHwnd, nullptr, TRUE);
}

int TPreviewList::RowCount() const {
    return ListView_GetItemCount(FHwnd);
}

int TPreviewList::FieldCount() const {
    return HeaderCount(FHwnd) - 1;
}

std::wstring TPreviewList::FieldText(int row, int column) const {
    std::wstring text(kShownUnits + 1, L'\0');
    ListView_GetItemText(FHwnd, row, column + 1, text.data(), static_cast<int>(text.size()));
    text.resize(wcslen(text.c_str()));
    return text;
}

const TPreviewCell* TPreviewList::Cell(int row, int column) const {
    if (row < 0 || column < 0 || static_cast<std::size_t>(row) >= FRows.size()) return nullptr;
    const TPreviewRow& cells = FRows[static_cast<std::size_t>(row)];
    return static_cast<std::size_t>(column) < cells.size() ? &cells[static_cast<std::size_t>(column)]
                                                           : nullptr;
}

COLORREF TPreviewList::FieldBackground(int row, int column) const {
    const TPreviewCell* cell = Cell(row, column);
    if (cell != nullptr && cell->Breaks) return kBreakingBackground;
    if (cell != nullptr && cell->Quoted) return kQuotedBackground;
    return GetSysColor(COLOR_WINDOW);
}

std::wstring TPreviewList::FieldTip(int row, int column) const {
    const TPreviewCell* cell = Cell(row, column);
    std::wstring tip;
    if (cell != nullptr && cell->Breaks)
        tip = L"二重引用符をつけないと、このフィールドで変換先の行が崩れます。";
    if (cell != nullptr && !cell->Lossy.empty()) {
        if (!tip.empty()) tip += L'\n';
        tip += L"変換先の文字コードで表せない文字が「?」などに置き換わります。";
    }
    return tip;
}

bool TPreviewList::WndProcParent(UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
    if (message != WM_NOTIFY) return false;
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->hwndFrom == FTip) {
        if (header->code != TTN_GETDISPINFOW) return false;
        FTipText = FieldTip(FTipRow, FTipColumn);
        auto* tip = reinterpret_cast<NMTTDISPINFOW*>(lParam);
        tip->lpszText = FTipText.data();
        tip->hinst = nullptr;
        result = 0;
        return true;
    }
    if (header->code == LVN_GETDISPINFOW) {
        LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(lParam)->item;
        if ((item.mask & LVIF_TEXT) == 0 || item.pszText == nullptr || item.cchTextMax <= 0) return false;
        std::wstring text;
        if (item.iSubItem == 0) {
            text = std::to_wstring(item.iItem + 1);
        } else if (const TPreviewCell* cell = Cell(item.iItem, item.iSubItem - 1)) {
            text = ShownField(*cell).Text;
        }
        lstrcpynW(item.pszText, text.c_str(), item.cchTextMax);
        result = 0;
        return true;
    }
    if (header->code == NM_CUSTOMDRAW) {
        result = CustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
        return true;
    }
    return false;
}

LRESULT TPreviewList::CustomDraw(NMLVCUSTOMDRAW& draw) {
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT:
            return CDRF_NOTIFYSUBITEMDRAW;
        case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
            // The row numbers as the list view draws them.
            if (draw.iSubItem == 0) return CDRF_DODEFAULT;
            const int row = static_cast<int>(draw.nmcd.dwItemSpec);
            RECT cell{};
            if (!ListView_GetSubItemRect(FHwnd, row, draw.iSubItem, LVIR_BOUNDS, &cell))
                return CDRF_DODEFAULT;
            DrawField(draw.nmcd.hdc, cell, row, draw.iSubItem - 1);
            return CDRF_SKIPDEFAULT;
        }
        default:
            return CDRF_DODEFAULT;
    }
}

void TPreviewList::DrawField(HDC dc, const RECT& cell, int row, int column) {
    // The grid lines stay at the right and bottom edges.
    const RECT inside{cell.left, cell.top, cell.right - 1, cell.bottom - 1};
    HBRUSH background = CreateSolidBrush(FieldBackground(row, column));
    FillRect(dc, &inside, background);
    DeleteObject(background);
    const TPreviewCell* field = Cell(row, column);
    if (field == nullptr) return;
    const TShownField shown = ShownField(*field);
    const std::wstring& text = shown.Text;

    const int saved = SaveDC(dc);
    const int padding = MulDiv(4, static_cast<int>(GetDpiForWindow(FHwnd)), 96);
    SetBkMode(dc, TRANSPARENT);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const int y = inside.top + (inside.bottom - inside.top - metrics.tmHeight) / 2;
    const COLORREF normal = GetSysColor(COLOR_WINDOWTEXT);
    int x = inside.left + padding;
    // A field wider than its cell ends in an ellipsis.
    const int limit = inside.right - padding;
    SIZE whole{}, ellipsis{};
    GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &whole);
    GetTextExtentPoint32W(dc, L"\u2026", 1, &ellipsis);
    const bool elided = x + static_cast<int>(whole.cx) > limit;
    const int textRight = elided ? std::max(x, limit - static_cast<int>(ellipsis.cx)) : limit;
    IntersectClipRect(dc, inside.left, inside.top, textRight, inside.bottom);
    // Run by run: the stand-ins for lost characters on their own colour.
    for (std::size_t at = 0; at < text.size() && x < textRight;) {
        const bool picked = shown.Lossy[at];
        std::size_t end = at + 1;
        while (end < text.size() && shown.Lossy[end] == picked)
            ++end;
        const int length = static_cast<int>(end - at);
        SIZE size{};
        GetTextExtentPoint32W(dc, text.data() + at, length, &size);
        if (picked) {
            const RECT box{x, inside.top + 1, x + size.cx, inside.bottom - 1};
            HBRUSH brush = CreateSolidBrush(kLossyBackground);
            FillRect(dc, &box, brush);
            DeleteObject(brush);
        }
        SetTextColor(dc, picked ? kLossyText : normal);
        TextOutW(dc, x, y, text.data() + at, length);
        x += size.cx;
        at = end;
    }
    RestoreDC(dc, saved);
    if (elided) {
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, normal);
        const RECT rest{textRight, inside.top, inside.right, inside.bottom};
        ExtTextOutW(dc, textRight, y, ETO_CLIPPED, &rest, L"\u2026", 1, nullptr);
    }
}

TCheckBox::TCheckBox(HWND parent, const std::wstring& caption, bool checked) {
    CreateChild(parent, WC_BUTTONW, caption, BS_AUTOCHECKBOX);
    SetChecked(checked);
}

bool TCheckBox::WndProcParent(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return false;
    if (OnToggled) OnToggled(IsChecked());
    result = 0;
    return true;
}

bool TCheckBox::IsChecked() const {
    return SendMessageW(FHwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TCheckBox::SetChecked(bool checked) {
    SendMessageW(FHwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace quillmark
