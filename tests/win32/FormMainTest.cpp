#include <windows.h>

#include <commctrl.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "WindowTestSupport.h"
#include "base/Utf.h"
#include "model/AppInfo.h"
#include "win32/Controls.h"
#include "win32/FileDialogs.h"
#include "win32/FormAboutBox.h"
#include "win32/FormMain.h"
#include "win32/Resource.h"
#include "win32/ToolBarImages.h"
#include "win32/WideString.h"
#include "win32/WindowUserInterface.h"

namespace quillmark {
namespace {

using test::MakeDrop;
using test::PumpMessages;

struct TListItem {
    std::wstring Label;
    bool Checked = false;
    bool operator==(const TListItem&) const = default;
};

// GoogleTest prints wide strings only as code numbers; ASCII reads better.
void PrintTo(const TListItem& item, std::ostream* out) {
    for (const wchar_t c : item.Label)
        *out << (c < 128 ? static_cast<char>(c) : '?');
    *out << (item.Checked ? " [x]" : " [ ]");
}

class FormMainTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { InitWindowControls(); }

    void SetUp() override {
        Form = std::make_unique<TFormMain>(Ui, Dialogs);
        Form->OnException = [this](std::u16string_view message) { Exceptions.emplace_back(message); };
        Form->OnClosed = [this] { ++Closed; };
        test::WriteBytes(Folder / L"in.csv", "id,name,price\r\n1,a,2\r\n");
    }

    void TearDown() override {
        Form.reset();
        PumpMessages();
    }

    std::wstring Path(std::wstring_view name) const { return (Folder / name).wstring(); }

    std::vector<TListItem> ListItems() {
        std::vector<TListItem> items;
        TCheckList& list = Form->CheckListBoxCsvCol();
        for (int i = 0; i < list.Count(); ++i)
            items.push_back({list.ItemText(i), list.IsChecked(i)});
        return items;
    }

    void RunFirstIdle(std::vector<std::wstring> arguments) {
        TArguments converted;
        for (const std::wstring& argument : arguments)
            converted.push_back(FromWide(argument));
        Form->SetArguments(std::move(converted));
        SendMessageW(Form->Hwnd(), TFormMain::WM_FIRSTIDLE, 0, 0);
    }

    // Sends a key to `target` with the given modifier keys held, through
    // the program's own message filter, as the message loop would.
    bool PressKey(HWND target, WPARAM key, std::initializer_list<int> modifiers) {
        BYTE saved[256];
        GetKeyboardState(saved);
        BYTE state[256];
        std::memcpy(state, saved, sizeof state);
        for (const int modifier : modifiers)
            state[modifier] = 0x80;
        SetKeyboardState(state);
        MSG message{target, WM_KEYDOWN, key, 0, 0, {}};
        const bool used = Form->PreTranslateMessage(message);
        if (!used) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        PumpMessages();
        SetKeyboardState(saved);
        return used;
    }

    test::TTempFolder Folder;
    test::TRecordingUserInterface Ui;
    test::TScriptedDialogs Dialogs;
    std::unique_ptr<TFormMain> Form;
    std::vector<std::u16string> Exceptions;
    int Closed = 0;
};

TEST_F(FormMainTest, ToolBarHasTheButtonsInOrderWithImagesAndTips) {
    struct TExpected {
        int Command;
        int Image;
        const wchar_t* Caption;
        const wchar_t* Tip;
    };
    const TExpected expected[] = {
        {IDM_FILENEW, 6, L"新規作成", L"新しい設定を作成します。"},
        {IDM_OPENFROMINI, 5, L"設定ファイルを開く", L"設定ファイルを開きます。"},
        {IDM_SAVETOINI, 2, L"設定ファイルを保存する", L"設定ファイルを保存します。"},
        {0, 0, L"", L""},
        {IDM_SAVETOCSV, 1, L"CSVファイルを保存する", L"CSVファイルを保存します。"},
        {IDM_SAVETOBAT, 0, L"バッチファイルを保存する", L"バッチファイルを保存します。"},
        {0, 0, L"", L""},
        {IDM_CHECKALL, 3, L"すべてチェック", L"すべての列をチェックします。"},
        {IDM_UNCHECK, 4, L"チェックを外す", L""},
        {0, 0, L"", L""},
        {IDM_HELP, 7, L"ヘルプ", L"ヘルプを表示します"},
    };
    HWND toolBar = Form->ToolBar().Hwnd();
    const auto tips = reinterpret_cast<HWND>(SendMessageW(toolBar, TB_GETTOOLTIPS, 0, 0));
    ASSERT_NE(tips, nullptr);
    ASSERT_EQ(SendMessageW(toolBar, TB_BUTTONCOUNT, 0, 0), static_cast<LRESULT>(std::size(expected)));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        TBBUTTON button{};
        ASSERT_TRUE(SendMessageW(toolBar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button)));
        if (expected[i].Command == 0) {
            EXPECT_TRUE(button.fsStyle & BTNS_SEP);
            continue;
        }
        EXPECT_EQ(button.idCommand, expected[i].Command);
        EXPECT_EQ(button.iBitmap, expected[i].Image);
        wchar_t caption[64] = {};
        SendMessageW(toolBar, TB_GETBUTTONTEXTW, button.idCommand, reinterpret_cast<LPARAM>(caption));
        EXPECT_EQ(std::wstring(caption), expected[i].Caption);
        // The tip's text, asked as the tool bar's tips ask: the hint, and
        // nothing (no tip) for the button without one.
        NMTTDISPINFOW tip{};
        tip.hdr.hwndFrom = tips;
        tip.hdr.idFrom = static_cast<UINT_PTR>(button.idCommand);
        tip.hdr.code = TTN_GETDISPINFOW;
        SendMessageW(toolBar, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&tip));
        ASSERT_NE(tip.lpszText, nullptr);
        EXPECT_EQ(std::wstring(tip.lpszText), expected[i].Tip);
    }
}

TEST_F(FormMainTest, BoxesAndButtonsShowTheirHintsAsToolTips) {
    const std::pair<TControl*, const wchar_t*> expected[] = {
        {&Form->EditSourceFile(), L"変換元CSVファイルの保存場所を指定します。"},
        {&Form->ButtonSourceFile(), L"変換元CSVファイル"},
        {&Form->EditTargetFile(), L"変換先CSVファイルの保存場所を指定します。"},
        {&Form->ButtonTargetFile(), L"変換先CSVファイル"},
        {&Form->ComboBoxEncoding(), L"変換先CSVファイルの文字コードを選択します。"},
    };
    ASSERT_NE(Form->HintTips(), nullptr);
    for (const auto& [control, hint] : expected) {
        wchar_t text[128] = {};
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = Form->Hwnd();
        tool.uId = reinterpret_cast<UINT_PTR>(control->Hwnd());
        tool.lpszText = text;
        SendMessageW(Form->HintTips(), TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&tool));
        EXPECT_EQ(std::wstring(text), hint);
    }
}

TEST_F(FormMainTest, OpensWithItsClientAreaInTheMiddleOfTheScreen) {
    const int dpi = static_cast<int>(GetDpiForWindow(Form->Hwnd()));
    RECT client{};
    GetClientRect(Form->Hwnd(), &client);
    EXPECT_EQ(client.right, MulDiv(566, dpi, 96));
    EXPECT_EQ(client.bottom, MulDiv(283, dpi, 96));
    RECT window{};
    GetWindowRect(Form->Hwnd(), &window);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(Form->Hwnd(), MONITOR_DEFAULTTOPRIMARY), &monitor);
    EXPECT_NEAR(window.left + window.right, monitor.rcWork.left + monitor.rcWork.right, 1);
    EXPECT_NEAR(window.top + window.bottom, monitor.rcWork.top + monitor.rcWork.bottom, 1);
}

TEST_F(FormMainTest, ToolBarImagesAreTheEightPicturesAtTheWindowsScale) {
    auto images = reinterpret_cast<HIMAGELIST>(SendMessageW(Form->ToolBar().Hwnd(), TB_GETIMAGELIST, 0, 0));
    ASSERT_NE(images, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(images), 8);
    int width = 0, height = 0;
    ImageList_GetIconSize(images, &width, &height);
    const int expected = MulDiv(48, static_cast<int>(GetDpiForWindow(Form->Hwnd())), 96);
    EXPECT_EQ(width, expected >= 96 ? 96 : expected >= 72 ? 72 : expected >= 60 ? 60 : 48);
    EXPECT_EQ(height, width);
}

TEST_F(FormMainTest, MovingToAMonitorOfAnotherScaleTakesItsPictures) {
    Form->Show(SW_SHOWNORMAL);
    PumpMessages();
    const std::pair<UINT, int> scales[] = {{144, 72}, {192, 96}, {120, 60}, {96, 48}};
    for (const auto& [dpi, size] : scales) {
        SCOPED_TRACE(dpi);
        RECT suggested{10, 10, 10 + MulDiv(566, static_cast<int>(dpi), 96),
                       10 + MulDiv(283, static_cast<int>(dpi), 96)};
        SendMessageW(Form->Hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        auto images =
            reinterpret_cast<HIMAGELIST>(SendMessageW(Form->ToolBar().Hwnd(), TB_GETIMAGELIST, 0, 0));
        int width = 0, height = 0;
        ImageList_GetIconSize(images, &width, &height);
        EXPECT_EQ(width, size);
        EXPECT_EQ(ImageList_GetImageCount(images), 8);
        RECT window{};
        GetWindowRect(Form->Hwnd(), &window);
        EXPECT_EQ(window.right - window.left, suggested.right - suggested.left);
        // The tool bar grows with its pictures.
        EXPECT_GE(Form->ToolBar().Height(), size);
    }
}

TEST_F(FormMainTest, TheSplitterMovesTheBorderOfTheColumnList) {
    Form->Show(SW_SHOWNORMAL);
    PumpMessages();
    const auto groupLeft = [this] {
        RECT list{};
        GetWindowRect(Form->CheckListBoxCsvCol().Hwnd(), &list);
        MapWindowPoints(nullptr, Form->Hwnd(), reinterpret_cast<POINT*>(&list), 2);
        return list.left;
    };
    const int before = groupLeft();
    // The splitter is the gap left of the group box, which starts 8 pixels
    // left of the list at this scale.
    const int y = 120;
    const int grip = before - 8 - 2;
    SendMessageW(Form->Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(grip, y));
    SendMessageW(Form->Hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(grip - 60, y));
    SendMessageW(Form->Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(grip - 60, y));
    EXPECT_EQ(groupLeft(), before - 60);
    // Away from the gap a click moves nothing.
    SendMessageW(Form->Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, y));
    SendMessageW(Form->Hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(100, y));
    SendMessageW(Form->Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(100, y));
    EXPECT_EQ(groupLeft(), before - 60);
}

TEST(ToolBarImages, TakeTheNearestStripThatIsNotLarger) {
    const std::pair<int, int> cases[] = {{48, 48}, {50, 48}, {60, 60},  {72, 72},
                                         {95, 72}, {96, 96}, {200, 96}, {20, 48}};
    for (const auto& [asked, given] : cases) {
        SCOPED_TRACE(asked);
        HIMAGELIST images = LoadToolBarImages(asked);
        int width = 0, height = 0;
        ImageList_GetIconSize(images, &width, &height);
        EXPECT_EQ(width, given);
        // Every picture was drawn: the strip came from the resources.
        EXPECT_EQ(ImageList_GetImageCount(images), 8);
        ImageList_Destroy(images);
    }
}

TEST_F(FormMainTest, StatusBarShowsTheHintOfTheButtonUnderTheMouse) {
    NMTBHOTITEM hot{};
    hot.hdr.hwndFrom = Form->ToolBar().Hwnd();
    hot.hdr.idFrom = 0;
    hot.hdr.code = TBN_HOTITEMCHANGE;
    hot.idNew = IDM_SAVETOCSV;
    SendMessageW(Form->Hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&hot));
    wchar_t text[128] = {};
    SendMessageW(Form->StatusBar().Hwnd(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(std::wstring(text), L"CSVファイルを保存します。");
    hot.dwFlags = HICF_LEAVING;
    SendMessageW(Form->Hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&hot));
    SendMessageW(Form->StatusBar().Hwnd(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(std::wstring(text), L"");
}

TEST_F(FormMainTest, SettingsFileFillsTheBoxesAndTheColumnList) {
    const std::wstring settings = L"[FILE]\r\nSOURCE=" + Path(L"in.csv") + L"\r\nTARGET=" + Path(L"out.csv") +
                                  L"\r\nENCODING=1\r\n\r\n[CSV]\r\nCOL=0,2\r\n";
    std::string bytes;
    for (const wchar_t c : settings)
        bytes += static_cast<char>(c);  // the paths are ASCII
    test::WriteBytes(Folder / L"job.qmk", bytes);
    RunFirstIdle({Path(L"job.qmk")});
    EXPECT_THAT(Exceptions, ::testing::IsEmpty());
    EXPECT_EQ(ListItems(), (std::vector<TListItem>{
                               {L"A列（id）", true}, {L"B列（name）", false}, {L"C列（price）", true}}));
    EXPECT_EQ(Form->EditSourceFile().Text(), Path(L"in.csv"));
    EXPECT_EQ(Form->EditTargetFile().Text(), Path(L"out.csv"));
    EXPECT_EQ(Form->ComboBoxEncoding().Selected(), 1);
    EXPECT_FALSE(Form->AutoRunFailed());
}

TEST_F(FormMainTest, SourceSwitchWithTicksFillsTheColumnList) {
    RunFirstIdle({L"/source:" + Path(L"in.csv"), L"/quote:1"});
    EXPECT_EQ(ListItems(), (std::vector<TListItem>{
                               {L"A列（id）", false}, {L"B列（name）", true}, {L"C列（price）", false}}));
    EXPECT_EQ(Form->ComboBoxEncoding().Selected(), 0);
}

TEST_F(FormMainTest, TicksInTheListGoIntoTheModel) {
    RunFirstIdle({L"/source:" + Path(L"in.csv")});
    // The list view reports a tick the user sets as a changed state image.
    ListView_SetCheckState(Form->CheckListBoxCsvCol().Hwnd(), 2, TRUE);
    EXPECT_EQ(Form->Model().GetQuoteColumns(), TColumnSet({2}));
    ListView_SetCheckState(Form->CheckListBoxCsvCol().Hwnd(), 2, FALSE);
    EXPECT_EQ(Form->Model().GetQuoteColumns(), TColumnSet({}));
}

TEST_F(FormMainTest, EditsAndEncodingGoIntoTheModel) {
    Form->EditTargetFile().SetText(L"C:\\out\\x.csv");
    EXPECT_EQ(Form->Model().TargetFileName(), u"C:\\out\\x.csv");
    Form->ComboBoxEncoding().SetSelected(1);
    SendMessageW(Form->Hwnd(), WM_COMMAND, MAKEWPARAM(0, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(Form->ComboBoxEncoding().Hwnd()));
    EXPECT_EQ(Form->Model().EncodingIndex(), 1);
}

TEST_F(FormMainTest, CancelledBrowseReadsTheListFromTheBoxesFile) {
    Form->EditSourceFile().SetText(Path(L"in.csv"));
    SendMessageW(Form->Hwnd(), WM_COMMAND, MAKEWPARAM(0, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Form->ButtonSourceFile().Hwnd()));
    ASSERT_EQ(Dialogs.Asked.size(), 1u);
    EXPECT_EQ(Dialogs.Asked[0].Title, L"変換元CSVファイル");
    EXPECT_EQ(Dialogs.Asked[0].Filter, L"CSVファイル|*.csv");
    EXPECT_EQ(Dialogs.Asked[0].Folder, Folder.Path().wstring());
    EXPECT_EQ(Dialogs.Asked[0].FileName, L"in.csv");
    EXPECT_EQ(Dialogs.Asked[0].DefaultExt, L"csv");
    EXPECT_TRUE(Dialogs.Asked[0].MustExist);
    EXPECT_EQ(ListItems(), (std::vector<TListItem>{
                               {L"A列（id）", false}, {L"B列（name）", false}, {L"C列（price）", false}}));
    EXPECT_EQ(Form->EditSourceFile().Text(), Path(L"in.csv"));
}

TEST_F(FormMainTest, BrowseForTheSourceFillsBoxAndList) {
    Dialogs.Answers = {Path(L"in.csv")};
    SendMessageW(Form->Hwnd(), WM_COMMAND, MAKEWPARAM(0, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Form->ButtonSourceFile().Hwnd()));
    EXPECT_EQ(Form->EditSourceFile().Text(), Path(L"in.csv"));
    EXPECT_EQ(Form->Model().SourceFileName(), FromWide(Path(L"in.csv")));
    EXPECT_EQ(ListItems().size(), 3u);
}

TEST_F(FormMainTest, BrowseForTheTargetAcceptsANewName) {
    Dialogs.Answers = {Path(L"new.csv")};
    SendMessageW(Form->Hwnd(), WM_COMMAND, MAKEWPARAM(0, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Form->ButtonTargetFile().Hwnd()));
    ASSERT_EQ(Dialogs.Asked.size(), 1u);
    EXPECT_EQ(Dialogs.Asked[0].Title, L"変換先CSVファイル");
    EXPECT_EQ(Dialogs.Asked[0].Filter, L"CSVファイル|*.csv");
    EXPECT_FALSE(Dialogs.Asked[0].MustExist);
    EXPECT_EQ(Form->Model().TargetFileName(), FromWide(Path(L"new.csv")));
}

TEST_F(FormMainTest, ShortcutsWorkWhileAPathBoxHasTheFocus) {
    RunFirstIdle({L"/source:" + Path(L"in.csv"), L"/target:" + Path(L"out.csv")});
    Form->Show(SW_SHOWNORMAL);
    PumpMessages();
    HWND edit = Form->EditSourceFile().Hwnd();
    SetFocus(edit);

    EXPECT_TRUE(PressKey(edit, 'A', {VK_CONTROL}));
    EXPECT_EQ(Form->Model().GetQuoteColumns(), TColumnSet({0, 1, 2}));
    EXPECT_EQ(ListItems()[1], (TListItem{L"B列（name）", true}));
    // The box keeps its text: Ctrl+A selected nothing in it either.
    EXPECT_EQ(Form->EditSourceFile().Text(), Path(L"in.csv"));

    EXPECT_TRUE(PressKey(edit, 'A', {VK_CONTROL, VK_MENU}));
    EXPECT_EQ(Form->Model().GetQuoteColumns(), TColumnSet({}));

    EXPECT_TRUE(PressKey(Form->EditTargetFile().Hwnd(), 'A', {VK_CONTROL}));
    EXPECT_TRUE(PressKey(Form->EditTargetFile().Hwnd(), 'X', {VK_CONTROL}));
    EXPECT_EQ(test::ReadBytes(Folder / L"out.csv"), "\"id\",\"name\",\"price\"\r\n\"1\",\"a\",\"2\"\r\n");
    EXPECT_EQ(Ui.Informations, std::vector<std::u16string>{u"保存しました。"});
    // Ctrl+X cut nothing out of the box.
    EXPECT_EQ(Form->EditTargetFile().Text(), Path(L"out.csv"));
}

TEST_F(FormMainTest, KeyboardOrderIsListSourceTargetEncoding) {
    Form->Show(SW_SHOWNORMAL);
    PumpMessages();
    const HWND order[] = {Form->CheckListBoxCsvCol().Hwnd(), Form->EditSourceFile().Hwnd(),
                          Form->EditTargetFile().Hwnd(), Form->ComboBoxEncoding().Hwnd()};
    for (std::size_t i = 0; i < std::size(order); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(GetNextDlgTabItem(Form->Hwnd(), order[i], FALSE), order[(i + 1) % std::size(order)]);
    }
}

TEST_F(FormMainTest, TabMovesTheFocusInKeyboardOrder) {
    Form->Show(SW_SHOWNORMAL);
    PumpMessages();
    SetFocus(Form->CheckListBoxCsvCol().Hwnd());
    PressKey(GetFocus(), VK_TAB, {});
    EXPECT_EQ(GetFocus(), Form->EditSourceFile().Hwnd());
    PressKey(GetFocus(), VK_TAB, {});
    EXPECT_EQ(GetFocus(), Form->EditTargetFile().Hwnd());
    PressKey(GetFocus(), VK_TAB, {VK_SHIFT});
    EXPECT_EQ(GetFocus(), Form->EditSourceFile().Hwnd());
}

TEST_F(FormMainTest, LabelMnemonicsFocusTheirBoxes) {
    Form->Show(SW_SHOWNORMAL);
    PumpMessages();
    const std::pair<wchar_t, HWND> cases[] = {{L's', Form->EditSourceFile().Hwnd()},
                                              {L't', Form->EditTargetFile().Hwnd()},
                                              {L'e', Form->ComboBoxEncoding().Hwnd()}};
    for (const auto& [key, box] : cases) {
        SCOPED_TRACE(static_cast<char>(key));
        SetFocus(Form->CheckListBoxCsvCol().Hwnd());
        MSG message{Form->CheckListBoxCsvCol().Hwnd(), WM_SYSCHAR, key, 1 << 29, 0, {}};
        EXPECT_TRUE(Form->PreTranslateMessage(message));
        PumpMessages();
        EXPECT_EQ(GetFocus(), box);
    }
}

TEST_F(FormMainTest, SystemMenuEndsWithAboutAfterASeparator) {
    HMENU menu = GetSystemMenu(Form->Hwnd(), FALSE);
    const int count = GetMenuItemCount(menu);
    ASSERT_GE(count, 2);
    EXPECT_EQ(GetMenuItemID(menu, count - 1), TFormMain::kAboutCommand);
    wchar_t text[32] = {};
    GetMenuStringW(menu, count - 1, text, 32, MF_BYPOSITION);
    EXPECT_EQ(std::wstring(text), L"About...");
    EXPECT_TRUE(GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR);
}

struct TAboutLabels {
    std::wstring Caption, ProductName, Version, Copyright, Url;
};
TAboutLabels gAbout;
int gAboutShown = 0;

std::wstring ItemText(HWND box, int id) {
    wchar_t text[1024] = {};
    GetDlgItemTextW(box, id, text, 1024);
    return text;
}

TEST_F(FormMainTest, SystemCommand128ShowsTheAboutBoxFromTheVersionResource) {
    gAboutShown = 0;
    TFormAboutBox::OnShown = [](HWND box) {
        ++gAboutShown;
        wchar_t caption[64] = {};
        GetWindowTextW(box, caption, 64);
        gAbout = {caption, ItemText(box, IDC_PRODUCTNAME), ItemText(box, IDC_VERSION),
                  ItemText(box, IDC_COPYRIGHT), ItemText(box, IDC_URL)};
        // The Enter key presses the default button, which closes the box.
        SendMessageW(box, WM_COMMAND, IDOK, 0);
    };
    SendMessageW(Form->Hwnd(), WM_SYSCOMMAND, TFormMain::kAboutCommand, 0);
    SendMessageW(Form->Hwnd(), WM_SYSCOMMAND, TFormMain::kAboutCommand, 0);
    TFormAboutBox::OnShown = nullptr;
    EXPECT_EQ(gAboutShown, 2);
    EXPECT_EQ(gAbout.Caption, L"バージョン情報");
    EXPECT_EQ(gAbout.ProductName, L"Quillmark");
    EXPECT_EQ(gAbout.Version, ToWide(Utf8ToUtf16(QUILLMARK_FILE_VERSION)));
    EXPECT_EQ(gAbout.Copyright, L"Copyright The Quillmark authors");
    EXPECT_EQ(gAbout.Url, L"https://github.com/quillmark/quillmark");
    EXPECT_THAT(Exceptions, ::testing::IsEmpty());
}

TEST_F(FormMainTest, OtherSystemCommandsKeepWorking) {
    Form->Show(SW_SHOWNORMAL);
    PumpMessages();
    SendMessageW(Form->Hwnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsIconic(Form->Hwnd()));
    SendMessageW(Form->Hwnd(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(Form->Hwnd()));
    SendMessageW(Form->Hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(Form->Hwnd(), nullptr);
    EXPECT_EQ(Closed, 1);
}

TEST(AppInfoWin32, ReadsTheProgramsVersionResource) {
    const TAppInfo info;
    EXPECT_EQ(info.Translation(), 0x03A40411u);
    EXPECT_EQ(info.GetInfo(aiFileVersion), Utf8ToUtf16(QUILLMARK_FILE_VERSION));
    EXPECT_EQ(info.GetInfo(aiProductVersion), u"1.0.0.0");
    EXPECT_EQ(info.GetInfo(aiCompanyName), u"The Quillmark authors");
    EXPECT_EQ(info.GetInfo(aiLegalCopyright), u"The Quillmark authors");
    EXPECT_EQ(info.GetInfo(aiProductName), u"Quillmark");
    EXPECT_EQ(info.GetInfo(aiInternalName), u"");
    EXPECT_EQ(info.GetInfo(11), u"");
}

TEST(VersionResource, FixedPartGivesTheVersionOfAnApplication) {
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    DWORD ignored = 0;
    std::vector<unsigned char> data(GetFileVersionInfoSizeW(program, &ignored));
    ASSERT_FALSE(data.empty());
    ASSERT_TRUE(GetFileVersionInfoW(program, 0, static_cast<DWORD>(data.size()), data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00000001u);  // 0.1
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00020000u);  // .2.0
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    WORD* translation = nullptr;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                                 reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);  // one pair
    EXPECT_EQ(translation[0], 0x0411);
    EXPECT_EQ(translation[1], 0x03A4);
}

TEST_F(FormMainTest, StatusBarShowsTheHintOfTheControlUnderTheMouse) {
    const std::pair<HWND, const wchar_t*> cases[] = {
        {Form->EditSourceFile().Hwnd(), L"変換元CSVファイルの保存場所を指定します。"},
        {Form->EditTargetFile().Hwnd(), L"変換先CSVファイルの保存場所を指定します。"},
        {Form->ComboBoxEncoding().Hwnd(), L"変換先CSVファイルの文字コードを選択します。"},
        {Form->CheckListBoxCsvCol().Hwnd(), L"二重引用符をつける列をチェックします。"},
    };
    for (const auto& [control, hint] : cases) {
        SendMessageW(Form->Hwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(control),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        wchar_t text[128] = {};
        SendMessageW(Form->StatusBar().Hwnd(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
        EXPECT_EQ(std::wstring(text), hint);
    }
}

TEST_F(FormMainTest, FilesDroppedOnTheWindowOpenTheFirstSettingsFile) {
    test::WriteBytes(Folder / L"a.qmk", "[FILE]\r\nTARGET=first.csv\r\n");
    test::WriteBytes(Folder / L"b.qmk", "[FILE]\r\nTARGET=second.csv\r\n");
    SendMessageW(Form->Hwnd(), WM_DROPFILES,
                 reinterpret_cast<WPARAM>(MakeDrop({Path(L"in.csv"), Path(L"a.qmk"), Path(L"b.qmk")})), 0);
    EXPECT_EQ(Form->EditTargetFile().Text(), L"first.csv");
    EXPECT_EQ(Form->Model().SettingsFileName(), FromWide(Path(L"a.qmk")));
}

TEST_F(FormMainTest, AFileDroppedOnAPathBoxReplacesItsText) {
    Form->EditTargetFile().SetText(L"old.csv");
    SendMessageW(Form->EditTargetFile().Hwnd(), WM_DROPFILES,
                 reinterpret_cast<WPARAM>(MakeDrop({Path(L"in.csv"), Path(L"other.csv")})), 0);
    EXPECT_EQ(Form->EditTargetFile().Text(), Path(L"in.csv"));
    EXPECT_EQ(Form->Model().TargetFileName(), FromWide(Path(L"in.csv")));
    EXPECT_EQ(Form->Model().SettingsFileName(), u"");
}

TEST_F(FormMainTest, ControlsAreBlockedWhileTheCursorIsBusy) {
    RunFirstIdle({L"/source:" + Path(L"in.csv"), L"/target:" + Path(L"out.csv"), L"/quote:0"});
    std::vector<bool> enabledWhileBusy;
    Ui.OnCursor = [this, &enabledWhileBusy](int) {
        enabledWhileBusy.push_back(
            SendMessageW(Form->ToolBar().Hwnd(), TB_ISBUTTONENABLED, IDM_SAVETOCSV, 0) != 0 &&
            IsWindowEnabled(Form->EditSourceFile().Hwnd()));
    };
    SendMessageW(Form->Hwnd(), WM_COMMAND, IDM_SAVETOCSV, 0);
    ASSERT_FALSE(enabledWhileBusy.empty());
    EXPECT_THAT(enabledWhileBusy, ::testing::Each(false));
    EXPECT_EQ(Ui.Depth, 0);
    EXPECT_FALSE(Form->IsBusy());
    EXPECT_TRUE(SendMessageW(Form->ToolBar().Hwnd(), TB_ISBUTTONENABLED, IDM_SAVETOCSV, 0));
    EXPECT_TRUE(IsWindowEnabled(Form->EditSourceFile().Hwnd()));
    EXPECT_EQ(test::ReadBytes(Folder / L"out.csv"), "\"id\",name,price\r\n\"1\",a,2\r\n");
}

// A source big enough for the conversion to report its progress.
std::string BigSource() {
    std::string bytes = "id,name,price\r\n";
    while (bytes.size() < 8u << 20)
        bytes += "12345,abcdefghijklmnopqrstuvwxyz,67890\r\n";
    return bytes;
}

TEST_F(FormMainTest, EscapeAndTheCancelButtonStopAConversionAndKeepTheTarget) {
    test::WriteBytes(Folder / L"big.csv", BigSource());
    RunFirstIdle({L"/source:" + Path(L"big.csv"), L"/target:" + Path(L"out.csv"), L"/quote:0"});
    Form->Show(SW_SHOWNORMAL);
    PumpMessages();
    const struct {
        const char* Name;
        UINT Message;
        WPARAM WParam;
        HWND Target;
    } cancels[] = {{"Esc", WM_KEYDOWN, VK_ESCAPE, Form->EditSourceFile().Hwnd()},
                   {"Cancel button", WM_COMMAND, IDM_CANCEL, Form->Hwnd()}};
    for (const auto& cancel : cancels) {
        SCOPED_TRACE(cancel.Name);
        test::WriteBytes(Folder / L"out.csv", "old target");
        // Waiting in the queue, the message arrives while the conversion runs.
        PostMessageW(cancel.Target, cancel.Message, cancel.WParam, 0);
        SendMessageW(Form->Hwnd(), WM_COMMAND, IDM_SAVETOCSV, 0);
        EXPECT_EQ(test::ReadBytes(Folder / L"out.csv"), "old target");
        EXPECT_THAT(Ui.Informations, ::testing::IsEmpty());
        EXPECT_THAT(Ui.Warnings, ::testing::IsEmpty());
        wchar_t text[128] = {};
        SendMessageW(Form->StatusBar().Hwnd(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
        EXPECT_EQ(std::wstring(text), L"変換を中止しました。");
        EXPECT_FALSE(Form->IsBusy());
    }
    // Without a cancel the same conversion goes through.
    SendMessageW(Form->Hwnd(), WM_COMMAND, IDM_SAVETOCSV, 0);
    EXPECT_EQ(test::ReadBytes(Folder / L"out.csv").substr(0, 20), "\"id\",name,price\r\n\"12");
}

TEST_F(FormMainTest, EscapeWhileTheFirstColumnListIsReadLeavesTheRestOfTheCommandLine) {
    test::WriteBytes(Folder / L"big.csv", BigSource());
    test::WriteBytes(Folder / L"out.csv", "old target");
    // Waiting in the queue, the key arrives while the column list is read.
    PostMessageW(Form->EditSourceFile().Hwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
    RunFirstIdle({L"/source:" + Path(L"big.csv"), L"/target:" + Path(L"out.csv"), L"/quote:0", L"/auto"});
    EXPECT_EQ(test::ReadBytes(Folder / L"out.csv"), "old target");
    EXPECT_THAT(Exceptions, ::testing::IsEmpty());
    EXPECT_THAT(Ui.Warnings, ::testing::IsEmpty());
    wchar_t text[128] = {};
    SendMessageW(Form->StatusBar().Hwnd(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(std::wstring(text), L"読み込みを中止しました。");
    EXPECT_TRUE(Form->AutoRunFailed());
    EXPECT_EQ(Closed, 0);
    EXPECT_FALSE(Form->IsBusy());
}

TEST(BusyCursor, NestsAndUnwindsInReverseOrder) {
    TMessageBoxUserInterface ui;
    EXPECT_EQ(BusyCursorDepth(), 0);
    // Whatever an earlier window left (the pointer may rest on where one was).
    const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    SetCursor(arrow);
    TCursorHourGlassRef outer = ui.CreateCursorHourGlass();
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
    TCursorHourGlassRef inner = ui.CreateCursorHourGlass();
    EXPECT_EQ(BusyCursorDepth(), 2);
    inner.reset();
    EXPECT_EQ(BusyCursorDepth(), 1);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
    outer.reset();
    EXPECT_EQ(BusyCursorDepth(), 0);
    EXPECT_EQ(GetCursor(), arrow);
}

TEST_F(FormMainTest, ABadCommandLineReachesTheExceptionHandlerAndCountsAsFailedRun) {
    RunFirstIdle({L"<.csv", L"/auto"});
    EXPECT_EQ(Exceptions, std::vector<std::u16string>{u"ファイル名に無効な文字が含まれています"});
    EXPECT_TRUE(Form->AutoRunFailed());
    EXPECT_NE(Form->Hwnd(), nullptr);
}

using namespace std::string_literals;

struct TFilterCase {
    const char* Name;
    std::wstring Filter;
    std::wstring Expected;
};
class DialogFilter : public ::testing::TestWithParam<TFilterCase> {};

TEST_P(DialogFilter, PairsEachDescriptionWithItsPatterns) {
    EXPECT_EQ(FormatDialogFilter(GetParam().Filter), GetParam().Expected);
}
INSTANTIATE_TEST_SUITE_P(
    Filters, DialogFilter,
    ::testing::Values(TFilterCase{"One", L"CSVファイル|*.csv", L"CSVファイル\0*.csv\0\0"s},
                      TFilterCase{"Two", L"設定ファイル(*.QMK)|*.QMK|すべてのファイル(*.*)|*.*",
                                  L"設定ファイル(*.QMK)\0*.QMK\0すべてのファイル(*.*)\0*.*\0\0"s},
                      TFilterCase{"None", L"", std::wstring(1, L'\0')}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(FormMainTest, SaveActionsAskWithTheirFiltersAndWriteTheChosenFile) {
    RunFirstIdle({L"/source:" + Path(L"in.csv"), L"/target:" + Path(L"out.csv"), L"/quote:1"});
    Dialogs.Answers = {Path(L"job.qmk"), Path(L"run.bat")};
    SendMessageW(Form->Hwnd(), WM_COMMAND, IDM_SAVETOINI, 0);
    SendMessageW(Form->Hwnd(), WM_COMMAND, IDM_SAVETOBAT, 0);
    ASSERT_EQ(Dialogs.Asked.size(), 2u);
    EXPECT_EQ(Dialogs.Asked[0].Filter,
              L"設定ファイル(*.QMK)|*.QMK|設定ファイル(*.INI)|*.INI|すべてのファイル(*.*)|*.*");
    EXPECT_EQ(Dialogs.Asked[0].DefaultExt, L"QMK");
    EXPECT_EQ(Dialogs.Asked[1].Filter, L"バッチファイル(*.BAT)|*.BAT|すべてのファイル(*.*)|*.*");
    EXPECT_EQ(Dialogs.Asked[1].DefaultExt, L"BAT");
    EXPECT_THAT(test::ReadBytes(Folder / L"job.qmk"), ::testing::HasSubstr("COL=1"));
    EXPECT_THAT(test::ReadBytes(Folder / L"run.bat"), ::testing::HasSubstr("/auto"));
    EXPECT_EQ(Form->Model().SettingsFileName(), FromWide(Path(L"job.qmk")));
    EXPECT_EQ(Ui.Informations, std::vector<std::u16string>{u"バッチファイルを保存しました。"});
    // The next settings dialog starts at the file saved last.
    SendMessageW(Form->Hwnd(), WM_COMMAND, IDM_OPENFROMINI, 0);
    ASSERT_EQ(Dialogs.Asked.size(), 3u);
    EXPECT_EQ(Dialogs.Asked[2].FileName, L"job.qmk");
}

TEST_F(FormMainTest, HelpShowsTheContentsOfTheFileBesideTheProgram) {
    std::filesystem::copy_file(QUILLMARK_CHM_PATH, Folder / L"quillmark.chm");
    Form->ProgramPath = FromWide(Path(L"quillmark.exe"));
    SendMessageW(Form->Hwnd(), WM_COMMAND, IDM_HELP, 0);
    PumpMessages();
    EXPECT_THAT(Ui.Warnings, ::testing::IsEmpty());
    HWND viewer = FindWindowW(L"HH Parent", nullptr);
    EXPECT_NE(viewer, nullptr);
    if (viewer != nullptr) SendMessageW(viewer, WM_CLOSE, 0, 0);
}

TEST_F(FormMainTest, HelpWithoutItsFileWarnsNamingTheFile) {
    Form->ProgramPath = FromWide(Path(L"quillmark.exe"));
    SendMessageW(Form->Hwnd(), WM_COMMAND, IDM_HELP, 0);
    EXPECT_EQ(Ui.Warnings, std::vector<std::u16string>{u"ヘルプファイル " + FromWide(Path(L"quillmark.CHM")) +
                                                       u" を表示できません。"});
}

}  // namespace
}  // namespace quillmark
