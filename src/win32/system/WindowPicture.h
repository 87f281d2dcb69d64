#pragma once
// A window's picture as a PNG file's bytes: drawn by the window itself where
// it can (a locked screen shows nothing), else as the screen shows it.
#include <windows.h>

#include <string>

namespace kestrow::win32 {

// Drawing asks the window's thread, which may not answer: it is asked on a
// thread of its own for `drawnWithinMs` at most (the thread is then left to
// finish by itself) and the picture taken from the screen instead. "" when
// the window has no picture to take.
std::string WindowPicturePng(HWND window, unsigned long drawnWithinMs);
// As the screen shows the window, whatever covers it: asks the window nothing.
std::string ScreenPicturePng(HWND window);

}  // namespace kestrow::win32
