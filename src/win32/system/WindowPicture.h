#pragma once
// A window's picture as a PNG file's bytes: drawn by the window itself where
// it can (a locked screen shows nothing), else as the screen shows it.
#include <windows.h>

#include <string>

namespace kestrow::win32 {

// "" when the window has no picture to take.
std::string WindowPicturePng(HWND window);
// As the screen shows the window, whatever covers it: a picture for a person
// to look at while the window is in front.
std::string ScreenPicturePng(HWND window);

}  // namespace kestrow::win32
