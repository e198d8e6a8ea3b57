#pragma once

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

// Thin wrappers over the Windows controls of the main window. Each is made
// from a plain argument struct and reports its events through std::function
// members; the parent hands the WM_COMMAND and WM_NOTIFY messages a control
// sent back to it through WndProcParent.
namespace quillmark {

// Registers the classes of the common controls the windows are made of;
// once per process, before the first window.
void InitWindowControls();

class TControl {
  public:
    virtual ~TControl() = default;
    TControl() = default;
    TControl(const TControl&) = delete;
    TControl& operator=(const TControl&) = delete;

    HWND Hwnd() const { return FHwnd; }
    // A WM_COMMAND or WM_NOTIFY the control sent to its parent. True when
    // handled, with the result in `result`.
    virtual bool WndProcParent(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    void SetBounds(int x, int y, int width, int height);
    void SetFont(HFONT font);
    void SetEnabled(bool enabled);
    void SetVisible(bool visible);
    std::wstring Text() const;
    void SetText(const std::wstring& text);

    // The hint the status bar shows while the mouse is over the control.
    std::wstring Hint;

  protected:
    HWND CreateChild(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style,
                     DWORD exStyle = 0, int id = 0);
    HWND FHwnd = nullptr;
};

class TLabel final : public TControl {
  public:
    // "&" in the caption marks the mnemonic that focuses the next control.
    TLabel(HWND parent, const std::wstring& caption);
};

class TGroupBox final : public TControl {
  public:
    TGroupBox(HWND parent, const std::wstring& caption);
};

class TButton final : public TControl {
  public:
    TButton(HWND parent, const std::wstring& caption, bool tabStop, int id = 0);
    bool WndProcParent(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    std::function<void()> OnClick;
};

class TEdit final : public TControl {
  public:
    explicit TEdit(HWND parent);
    ~TEdit() override;
    bool WndProcParent(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    std::function<void()> OnTextChanged;
    // Files dropped on the box; without a handler the box takes no drops.
    std::function<void(const std::vector<std::wstring>&)> OnDropFiles;

  private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
};

class TComboBox final : public TControl {
  public:
    TComboBox(HWND parent, const std::vector<std::wstring>& items);
    bool WndProcParent(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    int Selected() const;
    void SetSelected(int index);
    std::function<void()> OnSelectionChanged;
};

// A list view of one column whose entries carry tick boxes.
class TCheckList final : public TControl {
  public:
    explicit TCheckList(HWND parent);
    bool WndProcParent(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    int Count() const;
    std::wstring ItemText(int index) const;
    bool IsChecked(int index) const;
    void SetItems(const std::vector<std::wstring>& labels);
    void SetChecked(int index, bool checked);
    // Fits the column to the control's width.
    void FitColumn();
    // Marks the entries whose tip is not empty with a warning sign and
    // gives them the tip as their tool tip; entries past `tips` are not
    // marked. While any entry is marked, the others keep a blank space
    // where the sign would be, so that every label starts in line.
    void SetMarks(std::vector<std::wstring> tips);
    bool IsMarked(int index) const;
    // The tool tip of a marked entry, "" for the others.
    std::wstring MarkTip(int index) const;
    // The marks' size in pixels (the small icons' at the window's scale).
    void SetMarkSide(int side);
    // The user ticked or unticked an entry (not called for SetChecked).
    std::function<void(int index, bool checked)> OnCheckChanged;

  private:
    bool FSetting = false;
    std::vector<std::wstring> FTips;
    int FMarkSide = 16;
};

struct TToolButton {
    int Command = 0;  // 0 makes a separator
    int Image = 0;
    std::wstring Caption;  // the button's name, not shown
    std::wstring Hint;     // its tool tip and status-bar text; none when empty
};

class TToolBar final : public TControl {
  public:
    // `images` becomes the tool bar's: it destroys it.
    TToolBar(HWND parent, HIMAGELIST images, const std::vector<TToolButton>& buttons);
    ~TToolBar() override;
    bool WndProcParent(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void SetButtonsEnabled(bool enabled);
    // Takes the pictures of another scale; the old ones are destroyed.
    void SetImages(HIMAGELIST images);
    int Height() const;
    // The mouse moved onto a button (its hint) or off the buttons ("").
    std::function<void(const std::wstring& hint)> OnHint;

    // The hint of the button of `command`, "" for none.
    std::wstring HintOf(int command) const;

  private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
    std::vector<TToolButton> FButtons;
    HIMAGELIST FImages;
    std::wstring FTip;  // the text of the tip shown last
};

class TStatusBar final : public TControl {
  public:
    explicit TStatusBar(HWND parent);
    int Height() const;
};

class TProgressBar final : public TControl {
  public:
    explicit TProgressBar(HWND parent);
    // 0..1000.
    void SetPosition(int position);
};

}  // namespace quillmark
