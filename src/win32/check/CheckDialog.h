#pragma once
// "Check Solid Edge..." of the main window's system menu: the check a CAD
// manager runs from the command line, with the window's settings (its
// exports and its answers to dialogs) and the chosen folder's first draft as
// the sample, shown in a dialog the user can copy from.
#include <windows.h>

#include <string>

namespace kestrow::win32 {

// `sample`: the draft to check with, "" for none. Returns once the check is
// done and the user closed the dialog; the window stays answering meanwhile.
void ShowCheckDialog(HWND owner, const std::wstring& sample);

}  // namespace kestrow::win32
