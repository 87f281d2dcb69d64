// The status line holds the longest texts a batch shows there: the count of
// a large folder and the time left, and a large batch stopped halfway.
#include "MainWindowFixture.h"
#include "batch/TimeLeft.h"
#include "form/BatchMessages.h"

using namespace kestrow;
using namespace kestrow::wintest;

TEST_F(MainWindowTest, TheTimeLeftFitsTheStatusLine) {
    HWND label = Child(win32::ControlId::Label1);
    for (const std::wstring& longest :
         {UpdatingStatus(39998, 39999) + L" " + TimeLeftText(std::chrono::hours(48) + std::chrono::minutes(50)),
          StoppedStatus(19999, 20000)}) {
        HDC dc = GetDC(label);
        HGDIOBJ before = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
        SIZE size{};
        GetTextExtentPoint32W(dc, longest.c_str(), static_cast<int>(longest.size()), &size);
        SelectObject(dc, before);
        ReleaseDC(label, dc);
        RECT client{};
        GetClientRect(label, &client);
        EXPECT_LE(size.cx, client.right) << Narrow(longest);
    }
}
