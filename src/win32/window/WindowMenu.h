#pragma once
// The main window's one menu: the system menu with Kestrow's own items
// after the standard ones (Check Solid Edge..., Settings..., Schedule a
// night..., the export ticks, the last batch's report), each with an
// access key. It opens from the icon in the title bar and Alt+Space as
// every window's does, and also where Windows users look for a program's
// commands: a right-click anywhere in the window, Shift+F10 and the
// context-menu key. The window's controls stay as they are.
#include <windows.h>

namespace kestrow::win32 {

namespace WindowCommand {
// Windows keeps the low four bits of a system command for itself.
constexpr UINT Report = 0x0170;
}  // namespace WindowCommand

// What the menu offers at the moment it opens.
struct WindowMenuState {
    bool busy = false;         // a batch runs, or a Browse holds the window
    bool reportKnown = false;  // a batch over the listed folder was recorded
};

void AddWindowMenuItems(HWND window);
// Greys out every item of Kestrow's while the window is busy (a tick of a
// format then would change nothing of the batch under way), and the report
// while there is none; ticks the formats the registry names now.
void PrepareWindowMenu(HWND window, const WindowMenuState& state);
// Opens the menu as a context menu at `screen`, or, from the keyboard
// (-1, -1), at the control that has the focus; the item chosen reaches the
// window as a system command, as from the system menu.
void OpenWindowMenu(HWND window, POINT screen, const WindowMenuState& state);

}  // namespace kestrow::win32
