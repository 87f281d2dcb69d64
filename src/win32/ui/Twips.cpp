#include "ui/Twips.h"

#include "form/Centring.h"

namespace kestrow::win32 {

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

void CentreWindowOnScreen(HWND window) {
    const int dpi = ScreenDpi();
    RECT outer{};
    GetWindowRect(window, &outer);
    const float screenWidth = PixelsToTwips(GetSystemMetrics(SM_CXSCREEN), dpi);
    const float screenHeight = PixelsToTwips(GetSystemMetrics(SM_CYSCREEN), dpi);
    const float width = PixelsToTwips(outer.right - outer.left, dpi);
    const float height = PixelsToTwips(outer.bottom - outer.top, dpi);

    const float left = CentredEdge(screenWidth, width);
    SetWindowPos(window, nullptr, TwipsToPixels(left, dpi), outer.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    const float top = CentredEdge(screenHeight, height);
    SetWindowPos(window, nullptr, TwipsToPixels(left, dpi), TwipsToPixels(top, dpi), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace kestrow::win32
