#pragma once
// A picture of a dialog of the CAD system, kept as a PNG file. Taken so
// that a CAD window that stops answering cannot hold the thread that takes
// it for longer than a bound: that thread also keeps /timeout, and during a
// start the turn between starts.
#include <windows.h>

#include <string>

namespace kestrow::win32 {

// Keeps the picture of `window` in `folder` as "<draft> <date> <time>.png"
// (the draft named by `task`, or "start"), never over an earlier file;
// returns its path, or "" when none could be kept.
std::wstring KeepDialogPicture(HWND window, const std::wstring& folder, const std::wstring& task);

}  // namespace kestrow::win32
