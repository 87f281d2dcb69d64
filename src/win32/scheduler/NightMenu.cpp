#include "scheduler/NightMenu.h"

namespace kestrow::win32 {

void AddNightMenuItems(HWND window) {
    HMENU menu = GetSystemMenu(window, FALSE);
    if (!menu) return;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, NightMenuCommand::Check, L"Chec&k Solid Edge...");
    AppendMenuW(menu, MF_STRING, NightMenuCommand::Settings, L"Se&ttings...");
    AppendMenuW(menu, MF_STRING, NightMenuCommand::Schedule, L"Sc&hedule a night...");
}

void EnableNightMenuItems(HWND window, bool batchRunning) {
    HMENU menu = GetSystemMenu(window, FALSE);
    const UINT state = MF_BYCOMMAND | (batchRunning ? MF_GRAYED : MF_ENABLED);
    EnableMenuItem(menu, NightMenuCommand::Check, state);
    EnableMenuItem(menu, NightMenuCommand::Settings, state);
    EnableMenuItem(menu, NightMenuCommand::Schedule, state);
}

}  // namespace kestrow::win32
