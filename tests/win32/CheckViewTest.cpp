// The window's status text, column marks and preview of the target.
#include <windows.h>

#include <commctrl.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "WindowTestSupport.h"
#include "base/Utf.h"
#include "win32/Controls.h"
#include "win32/FormMain.h"
#include "win32/Resource.h"
#include "win32/WideString.h"

// Runs with LANG=ja_JP.UTF-8: ANSI is code page 932.
namespace quillmark {
namespace {

using test::PumpMessages;

class CheckViewTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { InitWindowControls(); }

    void SetUp() override {
        Form = std::make_unique<TFormMain>(Ui, Dialogs);
        Form->OnException = [this](std::u16string_view message) { Exceptions.emplace_back(message); };
        Ui.OnCursor = [this](int) { ++Cursors; };
        test::WriteBytes(Folder / L"in.csv",
                         Utf16ToUtf8(u"番号,氏名,備考\r\n1,\"山田, 太郎\",𠮷野家😀\r\n2,\"佐藤\n花子\","
                                     u"\"\"\"至急\"\"\"\r\n"));
        std::string settings = "[FILE]\r\nSOURCE=";
        for (const wchar_t c : Path(L"in.csv"))
            settings += static_cast<char>(c);  // the path is ASCII
        settings += "\r\nENCODING=0\r\n[CSV]\r\nCOL=0\r\n";
        test::WriteBytes(Folder / L"s.qmk", settings);
    }

    void TearDown() override {
        Form.reset();
        PumpMessages();
    }

    std::wstring Path(std::wstring_view name) const { return (Folder / name).wstring(); }

    void OpenSettings() {
        Dialogs.Answers = {Path(L"s.qmk")};
        SendMessageW(Form->Hwnd(), WM_COMMAND, IDM_OPENFROMINI, 0);
        ASSERT_THAT(Exceptions, ::testing::IsEmpty());
        ASSERT_THAT(Ui.Warnings, ::testing::IsEmpty());
    }

    std::wstring Status() const {
        wchar_t text[256] = {};
        SendMessageW(Form->StatusBar().Hwnd(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
        return text;
    }

    // The tool tip the column list gives an entry, asked as the list view asks.
    std::wstring EntryTip(int index) const {
        wchar_t text[256] = {};
        NMLVGETINFOTIPW tip{};
        tip.hdr.hwndFrom = Form->CheckListBoxCsvCol().Hwnd();
        tip.hdr.code = LVN_GETINFOTIPW;
        tip.pszText = text;
        tip.cchTextMax = static_cast<int>(std::size(text));
        tip.iItem = index;
        SendMessageW(Form->Hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&tip));
        return text;
    }

    // The picture an entry shows beside its tick box, -1 for none.
    int EntryImage(int index) const {
        HWND list = Form->CheckListBoxCsvCol().Hwnd();
        if (ListView_GetImageList(list, LVSIL_SMALL) == nullptr) return -1;
        LVITEMW item{};
        item.mask = LVIF_IMAGE;
        item.iItem = index;
        ListView_GetItem(list, &item);
        return item.iImage;
    }

    std::wstring Heading(int column) const {
        wchar_t text[32] = {};
        HDITEMW item{};
        item.mask = HDI_TEXT;
        item.pszText = text;
        item.cchTextMax = static_cast<int>(std::size(text));
        Header_GetItem(ListView_GetHeader(Form->Preview().Hwnd()), column + 1, &item);
        return text;
    }

    std::wstring Cell(int row, int column) const { return Form->Preview().FieldText(row, column); }
    COLORREF Background(int row, int column) const { return Form->Preview().FieldBackground(row, column); }

    // Whether the cell as drawn on the screen holds a pixel of `colour`.
    bool CellShows(int row, int column, COLORREF colour) const {
        HWND list = Form->Preview().Hwnd();
        RECT cell{};
        if (!ListView_GetSubItemRect(list, row, column + 1, LVIR_BOUNDS, &cell)) return false;
        const int width = cell.right - cell.left, height = cell.bottom - cell.top;
        HDC screen = GetDC(list);
        HDC memory = CreateCompatibleDC(screen);
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, cell.left, cell.top, SRCCOPY);
        GdiFlush();
        bool found = false;
        const auto* pixels = static_cast<const DWORD*>(bits);
        const DWORD wanted = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
        for (int i = 0; i < width * height && !found; ++i)
            found = (pixels[i] & 0xFFFFFF) == wanted;
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(list, screen);
        return found;
    }

    void ShowLarge() {
        SetWindowPos(Form->Hwnd(), nullptr, 0, 0, 900, 560, SWP_NOZORDER | SWP_NOACTIVATE);
        Form->Show(SW_SHOWNORMAL);
        PumpMessages();
        UpdateWindow(Form->Preview().Hwnd());
    }

    void SelectEncoding(int index) {
        Form->ComboBoxEncoding().SetSelected(index);
        SendMessageW(Form->Hwnd(), WM_COMMAND, MAKEWPARAM(0, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(Form->ComboBoxEncoding().Hwnd()));
    }

    void RunFirstIdle(const std::vector<std::wstring>& arguments) {
        TArguments converted;
        for (const std::wstring& argument : arguments)
            converted.push_back(FromWide(argument));
        Form->SetArguments(std::move(converted));
        SendMessageW(Form->Hwnd(), TFormMain::WM_FIRSTIDLE, 0, 0);
    }

    test::TTempFolder Folder;
    test::TRecordingUserInterface Ui;
    test::TScriptedDialogs Dialogs;
    std::unique_ptr<TFormMain> Form;
    std::vector<std::u16string> Exceptions;
    int Cursors = 0;
};

TEST_F(CheckViewTest, SettingsFileShowsStatusMarksAndPreview) {
    OpenSettings();
    EXPECT_EQ(Status(), L"文字コード: UTF-8 (65001)　行数: 3　列数: 3");

    EXPECT_EQ(EntryImage(0), 1) << "a blank keeps the label in line";
    EXPECT_EQ(EntryImage(1), 0);
    EXPECT_EQ(EntryImage(2), 0);
    EXPECT_EQ(EntryTip(0), L"二重引用符をつける列をチェックします。")
        << "an entry without a mark gives the hint";
    EXPECT_EQ(EntryTip(1), L"カンマ・改行を含むフィールド: 2");
    EXPECT_EQ(EntryTip(2), L"カンマ・改行を含むフィールド: 1");

    ASSERT_EQ(Form->Preview().RowCount(), 3);
    ASSERT_EQ(Form->Preview().FieldCount(), 3);
    EXPECT_EQ(Heading(2), L"C");
    EXPECT_EQ(Cell(0, 0), L"\"番号\"");
    EXPECT_EQ(Cell(1, 0), L"\"1\"") << "ticked: quoted";
    EXPECT_EQ(Cell(1, 1), L"山田, 太郎");
    EXPECT_EQ(Cell(2, 1), L"佐藤↵花子") << "a line feed shown as a sign";
    EXPECT_EQ(Cell(1, 2), L"??野家??");
    EXPECT_NE(Background(1, 0), Background(1, 1)) << "ticked and breaking";
    EXPECT_NE(Background(1, 0), GetSysColor(COLOR_WINDOW));
    EXPECT_NE(Background(1, 1), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(Background(0, 1), GetSysColor(COLOR_WINDOW)) << "neither ticked nor breaking";

    ShowLarge();
    EXPECT_TRUE(IsWindowVisible(Form->Preview().Hwnd()));
    EXPECT_TRUE(CellShows(1, 0, Background(1, 0)));
    EXPECT_TRUE(CellShows(1, 1, Background(1, 1)));
    EXPECT_TRUE(CellShows(1, 2, TPreviewList::kLossyBackground)) << "the stand-ins picked out";
    EXPECT_FALSE(CellShows(1, 1, TPreviewList::kLossyBackground));
}

TEST_F(CheckViewTest, MarksTakeTheSizeOfTheWindowsScale) {
    OpenSettings();
    HWND list = Form->CheckListBoxCsvCol().Hwnd();
    const auto markSide = [list] {
        int width = 0, height = 0;
        ImageList_GetIconSize(ListView_GetImageList(list, LVSIL_SMALL), &width, &height);
        return width;
    };
    EXPECT_EQ(markSide(), GetSystemMetricsForDpi(SM_CXSMICON, GetDpiForWindow(Form->Hwnd())));
    RECT suggested{10, 10, 10 + 1132, 10 + 566};
    SendMessageW(Form->Hwnd(), WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(markSide(), GetSystemMetricsForDpi(SM_CXSMICON, 192));
    EXPECT_EQ(EntryImage(1), 0);
    EXPECT_EQ(EntryTip(1), L"カンマ・改行を含むフィールド: 2");
}

TEST_F(CheckViewTest, TheToolTipOfACellSaysWhyItIsMarked) {
    OpenSettings();
    ShowLarge();
    HWND table = Form->Preview().Hwnd();
    // The tool tip asks for its text as it shows: for the cell the mouse is on.
    const auto tipOver = [this, table](int row, int column) {
        RECT cell{};
        ListView_GetSubItemRect(table, row, column + 1, LVIR_BOUNDS, &cell);
        SendMessageW(table, WM_MOUSEMOVE, 0, MAKELPARAM(cell.left + 3, (cell.top + cell.bottom) / 2));
        NMTTDISPINFOW info{};
        info.hdr.hwndFrom = Form->Preview().TipHwnd();
        info.hdr.code = TTN_GETDISPINFOW;
        SendMessageW(Form->Hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
        return std::wstring(info.lpszText != nullptr ? info.lpszText : L"(none)");
    };
    EXPECT_EQ(tipOver(1, 1), L"二重引用符をつけないと、このフィールドで変換先の行が崩れます。");
    EXPECT_EQ(tipOver(1, 2), L"変換先の文字コードで表せない文字が「?」などに置き換わります。");
    EXPECT_EQ(tipOver(1, 0), L"");
    EXPECT_EQ(tipOver(0, 1), L"");
}

TEST_F(CheckViewTest, SourceSwitchShowsTheStatus) {
    RunFirstIdle({L"/source:" + Path(L"in.csv"), L"/quote:1"});
    EXPECT_EQ(Status(), L"文字コード: UTF-8 (65001)　行数: 3　列数: 3");
    EXPECT_EQ(Cell(1, 1), L"\"山田, 太郎\"");
    EXPECT_EQ(Cell(1, 0), L"1");
}

TEST_F(CheckViewTest, EachLineBreakShowsAsOneSign) {
    test::WriteBytes(Folder / L"breaks.csv", "\"a\r\nb\",\"a\nb\",\"a\r\n\r\nb\",\"\n\"\r\n");
    RunFirstIdle({L"/source:" + Path(L"breaks.csv")});
    const wchar_t* expected[] = {L"a↵b", L"a↵b", L"a↵↵b", L"↵"};
    ASSERT_EQ(Form->Preview().FieldCount(), static_cast<int>(std::size(expected)));
    for (int column = 0; column < Form->Preview().FieldCount(); ++column)
        EXPECT_EQ(Cell(0, column), expected[column]) << column;
}

TEST_F(CheckViewTest, PreviewFollowsTicksAndEncodingReadingOnlyForTheEncoding) {
    OpenSettings();
    const int cursorsAfterLoading = Cursors;
    HWND list = Form->CheckListBoxCsvCol().Hwnd();
    ListView_SetCheckState(list, 1, TRUE);
    EXPECT_EQ(Form->Model().GetQuoteColumns(), (TColumnSet{0, 1}));
    EXPECT_EQ(Cell(1, 1), L"\"山田, 太郎\"");
    EXPECT_EQ(Background(1, 1), Background(1, 0)) << "shaded as ticked";
    EXPECT_EQ(EntryTip(1), L"カンマ・改行を含むフィールド: 2") << "the mark says what unticking does";
    ListView_SetCheckState(list, 2, TRUE);
    EXPECT_EQ(Cell(2, 2), L"\"\"\"至急\"\"\"");
    EXPECT_EQ(Cursors, cursorsAfterLoading) << "a tick reads nothing";

    SelectEncoding(1);
    EXPECT_EQ(Cell(1, 2), L"\"𠮷野家😀\"");
    EXPECT_EQ(Cursors, cursorsAfterLoading + 1) << "another code page: the file is read again";

    ListView_SetCheckState(list, 1, FALSE);
    EXPECT_EQ(Cell(1, 1), L"山田, 太郎");
    EXPECT_NE(Background(1, 1), Background(1, 0));

    SelectEncoding(0);
    EXPECT_EQ(Cell(1, 2), L"\"??野家??\"");
    // The ticks were set through the list view itself: the model has them.
    ShowLarge();
    EXPECT_TRUE(CellShows(1, 2, TPreviewList::kLossyBackground));
}

TEST_F(CheckViewTest, ConversionReportsRowsSecondsAndReplacedCharacters) {
    OpenSettings();
    Form->EditTargetFile().SetText(Path(L"out.csv"));
    SendMessageW(Form->Hwnd(), WM_COMMAND, IDM_SAVETOCSV, 0);
    ASSERT_EQ(Ui.Informations, std::vector<std::u16string>{u"保存しました。"});
    EXPECT_THAT(Status(), ::testing::StartsWith(L"3 行を書き込みました（"));
    EXPECT_THAT(Status(), ::testing::EndsWith(L" 秒、置き換えた文字: 2）"));
    EXPECT_THAT(test::ReadBytes(Folder / L"out.csv"), ::testing::StartsWith("\"\x94\xd4\x8d\x86\",\x8e\x81"));
}

TEST_F(CheckViewTest, HintsHideTheStatusTextAndThePreviewFolds) {
    OpenSettings();
    ShowLarge();
    const std::wstring status = Status();
    NMTBHOTITEM hot{};
    hot.hdr.hwndFrom = Form->ToolBar().Hwnd();
    hot.hdr.code = TBN_HOTITEMCHANGE;
    hot.idNew = IDM_SAVETOCSV;
    SendMessageW(Form->Hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&hot));
    EXPECT_EQ(Status(), L"CSVファイルを保存します。");
    hot.dwFlags = HICF_LEAVING;
    SendMessageW(Form->Hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&hot));
    EXPECT_EQ(Status(), status);

    HWND table = Form->Preview().Hwnd();
    HWND toggle = Form->PreviewToggle().Hwnd();
    EXPECT_TRUE(IsWindowVisible(toggle));
    EXPECT_TRUE(IsWindowVisible(table));
    SendMessageW(toggle, BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindowVisible(table));
    SendMessageW(toggle, BM_CLICK, 0, 0);
    EXPECT_TRUE(IsWindowVisible(table));
    // The table takes the height the panel has to spare.
    RECT small{}, large{};
    GetWindowRect(table, &small);
    SetWindowPos(Form->Hwnd(), nullptr, 0, 0, 900, 700, SWP_NOZORDER | SWP_NOACTIVATE);
    GetWindowRect(table, &large);
    EXPECT_EQ(large.bottom - large.top, small.bottom - small.top + 140);
}

TEST_F(CheckViewTest, AtTheFirstSizeThereIsNoRoomForTheTable) {
    OpenSettings();
    Form->Show(SW_SHOWNORMAL);
    PumpMessages();
    EXPECT_FALSE(IsWindowVisible(Form->Preview().Hwnd()));
    EXPECT_EQ(Status(), L"文字コード: UTF-8 (65001)　行数: 3　列数: 3");
}

TEST_F(CheckViewTest, NoSourceNoReport) {
    OpenSettings();
    SendMessageW(Form->Hwnd(), WM_COMMAND, IDM_FILENEW, 0);
    Dialogs.Answers = {Path(L"gone.csv")};
    SendMessageW(Form->Hwnd(), WM_COMMAND, MAKEWPARAM(0, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Form->ButtonSourceFile().Hwnd()));
    EXPECT_EQ(Status(), L"");
    EXPECT_EQ(Form->Preview().RowCount(), 0);
    EXPECT_EQ(Form->Preview().FieldCount(), 0);
    EXPECT_EQ(EntryImage(0), -1);
}

TEST_F(CheckViewTest, ConvertingAndClosingReadsNoReport) {
    test::WriteBytes(Folder / L"small.csv", "a,\"b,c\"\r\n");
    RunFirstIdle({L"/source:" + Path(L"small.csv"), L"/target:" + Path(L"out.csv"), L"/auto"});
    EXPECT_FALSE(Form->AutoRunFailed());
    EXPECT_FALSE(Form->CheckView().Report().Check());

    TFormMain shown(Ui, Dialogs);
    TArguments arguments{u"/source:" + FromWide(Path(L"small.csv"))};
    shown.SetArguments(std::move(arguments));
    SendMessageW(shown.Hwnd(), TFormMain::WM_FIRSTIDLE, 0, 0);
    ASSERT_TRUE(shown.CheckView().Report().Check());
    EXPECT_EQ(shown.CheckView().Report().Check()->Columns.at(1).BreakingFields, 1u);
}

}  // namespace
}  // namespace quillmark
