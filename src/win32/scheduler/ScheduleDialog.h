#pragma once
// "Schedule a night..." of the main window's system menu: Kestrow's nights
// in the Task Scheduler (next run, last run, last result in words; a folder
// that is gone is marked), Run now, Change and Delete, and a night set up in
// fields and saved as the task for its folder, with the command line it runs.
#include <windows.h>

#include <string>

namespace kestrow::win32 {

// Shows the dialog over `owner`; a new night starts with `folder` (the one
// chosen in the window, "" for none) and the window's settings.
void ShowScheduleDialog(HWND owner, const std::wstring& folder);

}  // namespace kestrow::win32
