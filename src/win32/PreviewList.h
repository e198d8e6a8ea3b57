#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "win32/Controls.h"

// <wingdi.h> defines CP_NONE as a macro; the core's code page of that name
// must not meet it.
#pragma push_macro("CP_NONE")
#undef CP_NONE
#include "model/SourceReport.h"
#pragma pop_macro("CP_NONE")

// The preview of the target under the encoding box: a check box that folds
// it away and a read-only table of the target's first rows.
namespace quillmark {

// A report list view over the preview's rows. The first column numbers the
// rows; each field's column follows with its letters as heading. It draws
// the cells itself: ticked columns shaded, fields that would break the
// target's rows in red, stand-ins for lost characters picked out.
class TPreviewList final : public TControl {
  public:
    explicit TPreviewList(HWND parent);
    ~TPreviewList() override;
    // Also answers the tool tip of the cells, which asks through the
    // parent: the parent hands TipHwnd()'s notifications here too.
    bool WndProcParent(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    HWND TipHwnd() const { return FTip; }

    // Shows `rows` under the headings `letters`; the columns are made anew
    // only when the headings change.
    void SetRows(std::vector<TPreviewRow> rows, const std::vector<std::u16string>& letters);
    // Sets the width of the new columns: `number` for the row numbers,
    // `field` for each field.
    void SetColumnWidths(int number, int field);

    int RowCount() const;
    // Fields per row (without the row numbers).
    int FieldCount() const;
    // A field as the table shows it (asked of the list view): a line break
    // as one sign (U+21B5).
    std::wstring FieldText(int row, int column) const;
    // The colour behind a field, and behind its lost characters.
    COLORREF FieldBackground(int row, int column) const;
    static const COLORREF kLossyBackground;
    // What the tool tip says about a field: why it is marked, "" if not.
    std::wstring FieldTip(int row, int column) const;

  private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
    LRESULT CustomDraw(NMLVCUSTOMDRAW& draw);
    void DrawField(HDC dc, const RECT& cell, int row, int column);
    const TPreviewCell* Cell(int row, int column) const;

    std::vector<TPreviewRow> FRows;
    std::vector<std::u16string> FLetters;
    int FNumberWidth = 40;
    int FFieldWidth = 96;
    HWND FTip = nullptr;
    // The cell under the mouse, whose tip the tool tip shows.
    int FTipRow = -1;
    int FTipColumn = -1;
    std::wstring FTipText;
};

// A check box; ticking or unticking it by hand calls OnToggled.
class TCheckBox final : public TControl {
  public:
    TCheckBox(HWND parent, const std::wstring& caption, bool checked);
    bool WndProcParent(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool IsChecked() const;
    void SetChecked(bool checked);
    std::function<void(bool checked)> OnToggled;
};

}  // namespace quillmark
