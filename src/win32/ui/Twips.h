#pragma once
// Twips (1/1440 inch) to pixels and back at the screen's real DPI.
#include <windows.h>

namespace kestrow::win32 {

// The screen's logical DPI; 96 unless the user chose a larger scale.
int ScreenDpi();

inline int TwipsToPixels(int twips, int dpi) { return MulDiv(twips, dpi, 1440); }
inline float PixelsToTwips(int pixels, int dpi) { return static_cast<float>(pixels) * 1440.0f / static_cast<float>(dpi); }
inline int TwipsToPixels(float twips, int dpi) {
    const float pixels = twips * static_cast<float>(dpi) / 1440.0f;
    return static_cast<int>(pixels < 0 ? pixels - 0.5f : pixels + 0.5f);
}

// Centres a top-level window on the screen in its load handler: left edge
// first, then top, each computed in twips with the centring rule.
void CentreWindowOnScreen(HWND window);

}  // namespace kestrow::win32
