#pragma once
// "Settings..." of the main window's system menu: what the window's batch
// reads from the registry, shown as stored and written back once every
// field is sound. A value out of range is refused with its range, never
// stored.
#include <windows.h>

namespace kestrow::win32 {

// Shows the dialog over `owner`; true when the settings were saved.
bool ShowSettingsDialog(HWND owner);

}  // namespace kestrow::win32
