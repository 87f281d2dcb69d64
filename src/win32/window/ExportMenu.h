#pragma once
// The exports in the window: check items in its system menu ("Also save as
// PDF", "... DWG", "... DXF"), after the standard items behind a separator,
// so that the window itself stays as it is. Each click changes the
// registry's Export value, which every batch reads as it starts.
#include <windows.h>

namespace kestrow::win32 {

// The items' system commands; Windows keeps the low four bits of a system
// command for itself.
namespace ExportCommand {
constexpr UINT Pdf = 0x0110;
constexpr UINT Dwg = 0x0120;
constexpr UINT Dxf = 0x0130;
}  // namespace ExportCommand

void AddExportItems(HWND window);
// Greyed out while a batch runs (the batch took its formats as it started)
// and whenever an administrator sets the formats.
void EnableExportItems(HWND window, bool enabled);
// Checks the items of the formats the registry names now: another program
// may have changed the value since.
void ShowExportChecks(HWND window);
bool IsExportCommand(UINT command);
// `command` is WM_SYSCOMMAND's, its low four bits masked. Adds or takes
// away the item's format and returns true; false for any other command.
bool ToggleExport(HWND window, UINT command);

}  // namespace kestrow::win32
