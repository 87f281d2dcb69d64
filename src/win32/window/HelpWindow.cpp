#include "window/HelpWindow.h"

#include "resources/resource.h"
#include "ui/HandlerBoundary.h"
#include "ui/Twips.h"

namespace kestrow::win32 {

HelpWindow::HelpWindow(std::function<void()> returnToMain, std::function<void()> destroyed)
    : returnToMain_(std::move(returnToMain)), destroyed_(std::move(destroyed)) {}

void HelpWindow::Open() {
    const int dpi = ScreenDpi();
    picture_.reset(static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_HELP), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    // While the main window is hidden this is the program's only window, so
    // it keeps a task-bar button where the user can find it.
    if (!CreateTopLevel(L"KestrowHelp", Caption, WS_POPUP, WS_EX_APPWINDOW, TwipsToPixels(WidthTwips, dpi),
                        TwipsToPixels(HeightTwips, dpi), nullptr))
        throw RuntimeError(ErrorNumber::OutOfMemory, kProgramSource, L"The help window could not be created");
    Form_Load();
    ShowWindow(Handle(), SW_SHOW);
    SetForegroundWindow(Handle());
}

void HelpWindow::Form_Load() { CentreWindowOnScreen(Handle()); }

void HelpWindow::Form_Click() {
    returned_ = true;
    returnToMain_();
    DestroyWindow(Handle());
}

void HelpWindow::Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(Handle(), &ps);
    if (picture_) {
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, picture_.get());
        BITMAP info{};
        GetObjectW(picture_.get(), sizeof(info), &info);
        // The window is sized in twips, so at a higher DPI it is larger than
        // the picture: stretch it smoothly to fill the window.
        RECT client{};
        GetClientRect(Handle(), &client);
        if (client.right == info.bmWidth && client.bottom == info.bmHeight) {
            BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
        } else {
            SetStretchBltMode(dc, HALFTONE);
            SetBrushOrgEx(dc, 0, 0, nullptr);
            StretchBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
        }
        SelectObject(memory, old);
        DeleteDC(memory);
    }
    EndPaint(Handle(), &ps);
}

LRESULT HelpWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_PAINT:
            Paint();
            return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            RunHandler(Handle(), Caption, [this] { Form_Click(); });
            return 0;
        case WM_KEYDOWN:
            if (wParam != VK_ESCAPE) break;
            RunHandler(Handle(), Caption, [this] { Form_Click(); });
            return 0;
        case WM_CLOSE:
            // Alt+F4 or the task bar: go back to the main window as a click does.
            RunHandler(Handle(), Caption, [this] { Form_Click(); });
            return 0;
        default: break;
    }
    return Window::HandleMessage(message, wParam, lParam);
}

void HelpWindow::OnDestroyed() noexcept {
    if (!returned_) {
        returned_ = true;
        returnToMain_();
    }
    destroyed_();
}

}  // namespace kestrow::win32
