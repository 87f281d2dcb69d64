#include "window/WindowMenu.h"

#include <initializer_list>

#include "scheduler/NightMenu.h"
#include "window/ExportMenu.h"

namespace kestrow::win32 {

void AddWindowMenuItems(HWND window) {
    AddNightMenuItems(window);
    AddExportItems(window);
    const HMENU menu = GetSystemMenu(window, FALSE);
    if (!menu) return;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, WindowCommand::Report, L"Show the &last batch's report");
}

void PrepareWindowMenu(HWND window, const WindowMenuState& state) {
    EnableNightMenuItems(window, state.busy);
    EnableExportItems(window, !state.busy);
    ShowExportChecks(window);
    EnableMenuItem(GetSystemMenu(window, FALSE), WindowCommand::Report,
                   MF_BYCOMMAND | (state.busy || !state.reportKnown ? MF_GRAYED : MF_ENABLED));
}

void OpenWindowMenu(HWND window, POINT screen, const WindowMenuState& state) {
    const HMENU menu = GetSystemMenu(window, FALSE);
    if (!menu) return;
    if (screen.x == -1 && screen.y == -1) {
        RECT at{};
        const HWND focus = GetFocus();
        GetWindowRect(focus && IsChild(window, focus) ? focus : window, &at);
        screen = {at.left, at.bottom};
    }
    PrepareWindowMenu(window, state);
    // Windows sets the standard items as the system menu opens; opened here,
    // they are set as it would for this window, which is never minimized,
    // maximized or resized.
    for (const UINT command : {SC_RESTORE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE})
        EnableMenuItem(menu, command, MF_BYCOMMAND | MF_GRAYED);
    for (const UINT command : {SC_MOVE, SC_CLOSE}) EnableMenuItem(menu, command, MF_BYCOMMAND | MF_ENABLED);
    const UINT chosen = static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                                         screen.x, screen.y, 0, window, nullptr));
    // Posted: the menu's own handling is over before the command opens a
    // dialog or a move.
    if (chosen != 0) PostMessageW(window, WM_SYSCOMMAND, chosen, 0);
}

}  // namespace kestrow::win32
