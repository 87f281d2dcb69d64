#pragma once
// "Check Solid Edge...", "Settings..." and "Schedule a night..." in the main
// window's system menu, after the standard items behind a separator. None is
// offered while a batch runs: the batch's questions come to the window, and
// a dialog of its own over it would leave them behind.
#include <windows.h>

namespace kestrow::win32 {

namespace NightMenuCommand {
constexpr UINT Check = 0x0140;
constexpr UINT Settings = 0x0150;
constexpr UINT Schedule = 0x0160;
}  // namespace NightMenuCommand

void AddNightMenuItems(HWND window);
// Greys the items out while `batchRunning`, as the menu opens.
void EnableNightMenuItems(HWND window, bool batchRunning);

}  // namespace kestrow::win32
