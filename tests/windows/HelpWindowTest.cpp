#include <gtest/gtest.h>

#include "DialogWatcher.h"
#include "MainWindowFixture.h"
#include "resources/resource.h"
#include "TestSupport.h"
#include "ui/Twips.h"

using namespace kestrow;
using namespace kestrow::wintest;
namespace id = kestrow::win32::ControlId;

namespace {

class HelpTest : public MainWindowTest {
protected:
    HWND OpenHelp() {
        Click(id::cmdHelp);
        return window_.Help() ? window_.Help()->Handle() : nullptr;
    }
    // Lets posted messages (the help window's release) run.
    void Settle() {
        PumpUntil([] { return false; }, std::chrono::milliseconds(100));
    }
    static void ExpectCentred(HWND window) {
        RECT r{};
        GetWindowRect(window, &r);
        EXPECT_NEAR(r.left, (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2.0, 1.0);
        EXPECT_NEAR(r.top, (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2.0, 1.0);
    }
};

}  // namespace

TEST_F(HelpTest, HelpHidesTheMainWindowAndShowsABorderlessCentredPage) {
    HWND help = OpenHelp();
    ASSERT_NE(help, nullptr);
    EXPECT_FALSE(IsWindowVisible(window_.Handle()));
    EXPECT_TRUE(IsWindow(window_.Handle()));
    EXPECT_TRUE(IsWindowVisible(help));
    const LONG style = GetWindowLongW(help, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME | WS_SYSMENU));
    EXPECT_TRUE(GetWindowLongW(help, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_EQ(win32::WindowText(help), L"Kestrow Help");
    RECT outer{}, client{};
    GetWindowRect(help, &outer);
    GetClientRect(help, &client);
    const int dpi = win32::ScreenDpi();
    EXPECT_EQ(outer.right - outer.left, MulDiv(7155, dpi, 1440));
    EXPECT_EQ(outer.bottom - outer.top, MulDiv(5895, dpi, 1440));
    EXPECT_EQ(client.right, outer.right - outer.left);
    ExpectCentred(help);
}

TEST_F(HelpTest, AClickAnywhereReturnsToTheMainWindowAsItWas) {
    TestFolder folder(L"help");
    WriteDraft(folder / L"a.dft", 1);
    BrowseTo(folder.Path());
    ASSERT_TRUE(Enabled(id::cmdUpdate));
    RECT before{};
    GetWindowRect(window_.Handle(), &before);

    HWND help = OpenHelp();
    ASSERT_NE(help, nullptr);
    // Another key does not return; a click on the drawn close button does.
    SendMessageW(help, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_TRUE(IsWindowVisible(help));
    SendMessageW(help, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(460, 12));
    Settle();
    EXPECT_FALSE(IsWindow(help));
    EXPECT_EQ(window_.Help(), nullptr);
    EXPECT_TRUE(IsWindowVisible(window_.Handle()));
    RECT after{};
    GetWindowRect(window_.Handle(), &after);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(TextOf(id::Label1), L"1 file(s) found in :");
    EXPECT_EQ(TextOf(id::Text1), folder.Path() + L"\\");
    EXPECT_TRUE(Enabled(id::cmdUpdate));
    EXPECT_EQ(SendMessageW(Child(id::List1), LB_GETCOUNT, 0, 0), 1);
}

TEST_F(HelpTest, EachOpeningIsANewCentredWindowAndAltF4OrEscComesBack) {
    // Closing it another way (Alt+F4, the task bar, Esc) brings the main
    // window back.
    for (const auto close : {std::pair<UINT, WPARAM>{WM_SYSCOMMAND, SC_CLOSE}, {WM_KEYDOWN, VK_ESCAPE}}) {
        HWND first = OpenHelp();
        ASSERT_NE(first, nullptr);
        PostMessageW(first, close.first, close.second, 0);
        Settle();
        EXPECT_FALSE(IsWindow(first)) << close.first;
        EXPECT_TRUE(IsWindowVisible(window_.Handle()));
    }

    HWND second = OpenHelp();
    ASSERT_NE(second, nullptr);
    ExpectCentred(second);
    SendMessageW(second, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 380));
    Settle();
    EXPECT_TRUE(IsWindowVisible(window_.Handle()));
}

TEST(HelpImage, IsA477By393TwentyFourBitUncompressed96DpiBitmap) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(IDB_HELP), MAKEINTRESOURCEW(2) /* RT_BITMAP */);
    ASSERT_NE(found, nullptr);
    const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(nullptr, found)));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->biWidth, 477);
    EXPECT_EQ(header->biHeight, 393);
    EXPECT_EQ(header->biBitCount, 24);
    EXPECT_EQ(header->biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(header->biXPelsPerMeter, 3780);
    EXPECT_EQ(header->biYPelsPerMeter, 3780);
    EXPECT_GE(SizeofResource(nullptr, found), sizeof(BITMAPINFOHEADER) + 1432u * 393u);
}

// At 144 dpi the window is half as large again as the picture, which is
// stretched to fill it: far right, where an unscaled picture ends, the
// title bar's dark blue is still there.
TEST_F(HelpTest, ThePictureFillsTheWindowAtHighDpi) {
    ASSERT_EQ(win32::ScreenDpi(), 144);
    HWND help = OpenHelp();
    ASSERT_NE(help, nullptr);
    UpdateWindow(help);
    RECT client{};
    GetClientRect(help, &client);
    ASSERT_GT(client.right, 477 + 100);
    HDC dc = GetDC(help);
    const COLORREF pixel = GetPixel(dc, client.right - 120, 20);
    ReleaseDC(help, dc);
    EXPECT_GT(GetBValue(pixel), 80) << std::hex << pixel;
    EXPECT_LT(GetRValue(pixel), 60) << std::hex << pixel;
}
