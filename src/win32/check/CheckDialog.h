#pragma once
// "Check Solid Edge..." of the main window's menu: the check a CAD manager
// runs from the command line, with the window's settings (its exports, its
// answers to dialogs, its call limit) and the listed folder's first draft as
// the sample (or one the user chooses), its findings in a list, each read
// whole below it, and the switches it suggests taken into the window's
// settings on request.
#include <windows.h>

#include <string>

namespace kestrow::win32 {

// `firstListed`: the draft to check with; "" asks the user for one with
// the dialog that opens a file, at `folder`, and checks nothing when none is
// chosen. Returns once the check is done and the user closed the dialog; the
// window stays answering meanwhile.
void ShowCheckDialog(HWND owner, const std::wstring& firstListed, const std::wstring& folder);

}  // namespace kestrow::win32
