#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>

#include "DialogWatcher.h"
#include "MainWindowFixture.h"
#include "ui/HandlerBoundary.h"
#include "ui/Twips.h"
#include "scheduler/NightMenu.h"

using namespace kestrow;
using namespace kestrow::wintest;
namespace id = kestrow::win32::ControlId;

namespace {

int ExpectedDpi() {
    const char* value = std::getenv("KESTROW_EXPECT_DPI");
    return value ? std::atoi(value) : 96;
}

struct Layout {
    int id;
    int left, top, width, height;  // twips
};

const Layout kTable[] = {
    {id::cmdBrowse, 120, 120, 1095, 375}, {id::List1, 2040, 120, 495, 255},   {id::Label1, 120, 600, 3615, 255},
    {id::Text1, 120, 960, 3615, 285},     {id::cmdUpdate, 120, 1440, 1335, 495}, {id::cmdHelp, 1560, 1440, 1095, 495},
    {id::cmdQuit, 2760, 1440, 975, 495}};

class MainWindowGeometry : public MainWindowTest {
protected:
    void CheckLayoutAt(int dpi) {
        ASSERT_EQ(win32::ScreenDpi(), dpi) << "the prefix's LogPixels is not the DPI this run expects";
        RECT client{};
        GetClientRect(window_.Handle(), &client);
        EXPECT_EQ(client.right, MulDiv(3825, dpi, 1440));
        EXPECT_EQ(client.bottom, MulDiv(1995, dpi, 1440));
        for (const Layout& row : kTable) {
            RECT r{};
            GetWindowRect(Child(row.id), &r);
            MapWindowPoints(nullptr, window_.Handle(), reinterpret_cast<POINT*>(&r), 2);
            EXPECT_EQ(r.left, MulDiv(row.left, dpi, 1440)) << "control " << row.id;
            EXPECT_EQ(r.top, MulDiv(row.top, dpi, 1440)) << "control " << row.id;
            EXPECT_EQ(r.right - r.left, MulDiv(row.width, dpi, 1440)) << "control " << row.id;
            EXPECT_EQ(r.bottom - r.top, MulDiv(row.height, dpi, 1440)) << "control " << row.id;
        }
    }
};

}  // namespace

TEST_F(MainWindowGeometry, ControlsSitAtTheTablePositionsInPixels) {
    CheckLayoutAt(ExpectedDpi() == 144 ? 144 : 96);
}

TEST_F(MainWindowGeometry, ControlsSitAtTheTablePositionsAtHighDpi) { CheckLayoutAt(144); }

TEST_F(MainWindowTest, FixedBorderCaptionAndInitialControlStates) {
    const LONG style = GetWindowLongW(window_.Handle(), GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    EXPECT_EQ(win32::WindowText(window_.Handle()), L"Kestrow v 1.0");
    EXPECT_NE(GetClassLongPtrW(window_.Handle(), GCLP_HICON), 0u);

    EXPECT_EQ(TextOf(id::cmdBrowse), L"Br&owse...");
    EXPECT_EQ(TextOf(id::cmdUpdate), L"Up&date");
    EXPECT_EQ(TextOf(id::cmdHelp), L"H&elp");
    EXPECT_EQ(TextOf(id::cmdQuit), L"Q&uit");
    EXPECT_EQ(TextOf(id::Label1), L"");
    EXPECT_EQ(TextOf(id::Text1), L"");
    EXPECT_FALSE(IsWindowVisible(Child(id::List1)));
    EXPECT_FALSE(Enabled(id::cmdUpdate));
    EXPECT_EQ(GetFocus(), Child(id::cmdBrowse));
    // The folder box shows the folder; typing there changes nothing.
    EXPECT_TRUE(GetWindowLongW(Child(id::Text1), GWL_STYLE) & ES_READONLY);
    SetWindowTextW(Child(id::Text1), L"C:\\D\\");
    SendMessageW(Child(id::Text1), WM_CHAR, L'x', 1);
    EXPECT_EQ(TextOf(id::Text1), L"C:\\D\\");

    // Every control is a standard one that accessibility tools can read.
    const std::pair<int, const wchar_t*> classes[] = {{id::cmdBrowse, L"Button"}, {id::List1, L"ListBox"},
                                                      {id::Label1, L"Static"},    {id::Text1, L"Edit"},
                                                      {id::cmdUpdate, L"Button"}, {id::cmdHelp, L"Button"},
                                                      {id::cmdQuit, L"Button"}};
    for (const auto& [control, cls] : classes) {
        wchar_t name[64];
        GetClassNameW(Child(control), name, 64);
        EXPECT_EQ(_wcsicmp(name, cls), 0) << "control " << control;
    }
}

TEST_F(MainWindowTest, ControlsUseTheMessageFontAndTheFolderBoxIsButtonFace) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0));
    for (int control : {id::cmdBrowse, id::Label1, id::Text1, id::cmdUpdate, id::cmdHelp, id::cmdQuit}) {
        HFONT font = reinterpret_cast<HFONT>(SendMessageW(Child(control), WM_GETFONT, 0, 0));
        ASSERT_NE(font, nullptr) << "control " << control << " uses the system font";
        LOGFONTW used{};
        GetObjectW(font, sizeof(used), &used);
        EXPECT_STREQ(used.lfFaceName, metrics.lfMessageFont.lfFaceName);
        EXPECT_EQ(used.lfHeight, metrics.lfMessageFont.lfHeight);
        EXPECT_LT(used.lfWeight, FW_BOLD);
    }
    HDC dc = GetDC(Child(id::Text1));
    const LRESULT brush = SendMessageW(window_.Handle(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                                       reinterpret_cast<LPARAM>(Child(id::Text1)));
    EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(reinterpret_cast<HBRUSH>(brush), GetSysColorBrush(COLOR_BTNFACE));
    ReleaseDC(Child(id::Text1), dc);
}

TEST_F(MainWindowTest, TabWalksTheTableOrder) {
    auto walk = [&] {
        std::vector<int> order;
        HWND at = Child(id::cmdBrowse);
        for (int i = 0; i < 6; ++i) {
            order.push_back(GetDlgCtrlID(at));
            at = GetNextDlgTabItem(window_.Handle(), at, FALSE);
        }
        return order;
    };
    EXPECT_EQ(walk(), (std::vector<int>{id::cmdBrowse, id::Text1, id::cmdHelp, id::cmdQuit, id::cmdBrowse, id::Text1}));
    EnableWindow(Child(id::cmdUpdate), TRUE);
    EXPECT_EQ(walk(),
              (std::vector<int>{id::cmdBrowse, id::cmdUpdate, id::Text1, id::cmdHelp, id::cmdQuit, id::cmdBrowse}));
}

TEST_F(MainWindowTest, OpensCentredOnTheScreen) {
    RECT r{};
    GetWindowRect(window_.Handle(), &r);
    const int dpi = win32::ScreenDpi();
    const float tpp = 1440.0f / static_cast<float>(dpi);
    const float left = (GetSystemMetrics(SM_CXSCREEN) * tpp - (r.right - r.left) * tpp) / 2.0f;
    const float top = (GetSystemMetrics(SM_CYSCREEN) * tpp - (r.bottom - r.top) * tpp) / 2.0f;
    EXPECT_NEAR(r.left, left / tpp, 1.0);
    EXPECT_NEAR(r.top, top / tpp, 1.0);
}

TEST(Centring, AWindowWiderThanTheScreenGetsANegativeLeftEdge) {
    const int screen = GetSystemMetrics(SM_CXSCREEN);
    HWND wide = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, screen + 400, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(wide, nullptr);
    win32::CentreWindowOnScreen(wide);
    RECT r{};
    GetWindowRect(wide, &r);
    EXPECT_EQ(r.left, -200);
    EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 100) / 2);
    DestroyWindow(wide);
}

TEST_F(MainWindowTest, AltOOpensTheFolderDialogThroughTheDialogManager) {
    DialogWatcher watcher({Answer{IDCANCEL}, Answer{IDOK}});
    PostMessageW(Child(id::cmdBrowse), WM_SYSCHAR, L'o', 1 << 29);
    PumpUntil([&] { return watcher.Seen().size() >= 2; }, std::chrono::seconds(20),
              [&](MSG& m) { return window_.PreTranslate(m); });
    const auto seen = watcher.Seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(seen[0].folderDialog);
    EXPECT_EQ(seen[1].text, L"No folder selected");
}

TEST_F(MainWindowTest, AnErrorInAHandlerIsReportedAndTheProgramGoesOn) {
    DialogWatcher watcher({Answer{IDOK}});
    win32::RunHandler(window_.Handle(), L"Kestrow v 1.0",
                      [] { throw RuntimeError(6, L"FolderBrowse:DoBrowse", L"Overflow"); });
    const auto seen = watcher.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].title, L"Kestrow v 1.0");
    EXPECT_EQ(seen[0].icon, Icon::Error);
    EXPECT_NE(seen[0].text.find(L"Error 6"), std::wstring::npos);
    EXPECT_NE(seen[0].text.find(L"FolderBrowse:DoBrowse"), std::wstring::npos);
    EXPECT_NE(seen[0].text.find(L"Overflow"), std::wstring::npos);
    EXPECT_TRUE(IsWindow(window_.Handle()));
}

TEST_F(MainWindowTest, QuitEndsTheProgramAtOnce) {
    const HWND handle = window_.Handle();
    Click(id::cmdQuit);
    EXPECT_FALSE(IsWindow(handle));
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "no WM_QUIT: the message loop would go on";
}

namespace {

std::vector<std::wstring> Texts(const std::vector<SeenMenuItem>& items) {
    std::vector<std::wstring> texts;
    for (const SeenMenuItem& item : items) texts.push_back(item.text);
    return texts;
}

bool Offers(const std::vector<SeenMenuItem>& items, const std::wstring& text) {
    for (const SeenMenuItem& item : items)
        if (item.text == text) return item.enabled;
    return false;
}

}  // namespace

// Where Windows users look for a program's commands: the right button
// released anywhere in the window (here over Help, which hands it on), and
// from the keyboard Shift+F10 or the context-menu key. It is the system
// menu, every access key of it its own; the item chosen runs.
TEST_F(MainWindowTest, TheWindowsMenuOpensOnARightClickAndFromTheKeyboardAndItsItemsRun) {
    {
        MenuChooser menu(L't');
        DialogWatcher dialogs({Answer{IDCANCEL}});
        SendMessageW(Child(id::cmdHelp), WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
        ASSERT_TRUE(PumpUntil([&] { return !dialogs.Seen().empty(); }, std::chrono::seconds(10)));
        EXPECT_EQ(dialogs.Seen()[0].title, L"Kestrow settings");
        const std::vector<SeenMenuItem> items = menu.Items();
        for (const wchar_t* offered : {L"Chec&k Solid Edge...", L"Se&ttings...", L"Sc&hedule a night...",
                                       L"Also save as &PDF", L"Also save as D&WG", L"Also save as DX&F", L"&Move"})
            EXPECT_TRUE(Offers(items, offered)) << Narrow(offered);
        EXPECT_FALSE(Offers(items, L"&Size"));
        EXPECT_FALSE(Offers(items, L"Show the &last batch's report"));  // no batch yet
        EXPECT_EQ(AccessKeyClashes(Texts(items)), L"");
    }
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    for (const auto& [message, key, shift] : {std::tuple{WM_SYSKEYDOWN, VK_F10, true}, {WM_KEYUP, VK_APPS, false}}) {
        MenuChooser menu(0);
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(keys);
        PostMessageW(Child(id::cmdBrowse), message, key, 1);
        PumpUntil([&] { return !menu.Items().empty(); }, std::chrono::seconds(5),
                  [&](MSG& m) { return window_.PreTranslate(m); });
        EXPECT_TRUE(Offers(menu.Items(), L"Se&ttings...")) << "key " << key;
    }
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
}

// Every dialog of the window and the window itself: no two of their labels
// share an access key. (Boxes are checked as every test meets them.)
TEST_F(MainWindowTest, NoTwoLabelsOfTheWindowOrADialogShareAnAccessKey) {
    EXPECT_EQ(AccessKeyClashes({TextOf(id::cmdBrowse), TextOf(id::cmdUpdate), TextOf(id::cmdHelp), TextOf(id::cmdQuit),
                                Form1::StopCaption}),
              L"");
    TestFolder folder(L"keys");
    WriteDraft(folder / L"a.dft", 1);
    BrowseTo(folder.Path());
    for (const UINT command :
         {win32::NightMenuCommand::Settings, win32::NightMenuCommand::Schedule, win32::NightMenuCommand::Check}) {
        DialogWatcher watcher({Answer{IDCANCEL}});
        SendMessageW(window_.Handle(), WM_SYSCOMMAND, command, 0);
        const auto seen = watcher.Seen();
        ASSERT_EQ(seen.size(), 1u) << command;
        EXPECT_EQ(seen[0].accessKeyClashes, L"") << Narrow(seen[0].title);
    }
    EXPECT_TRUE(WaitForNoStandIn(20000));
}
