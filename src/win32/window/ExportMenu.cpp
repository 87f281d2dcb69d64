#include "window/ExportMenu.h"

#include <algorithm>
#include <iterator>

#include "settings/RegistrySettings.h"
#include "settings/SettingSource.h"

namespace kestrow::win32 {
namespace {

struct ExportItem {
    UINT command;
    ExportFormat format;
    const wchar_t* text;
};

constexpr ExportItem kItems[] = {
    {ExportCommand::Pdf, ExportFormat::Pdf, L"Also save as &PDF"},
    {ExportCommand::Dwg, ExportFormat::Dwg, L"Also save as D&WG"},
    {ExportCommand::Dxf, ExportFormat::Dxf, L"Also save as DX&F"},
};

const ExportItem* ItemOf(UINT command) {
    const auto* item = std::find_if(std::begin(kItems), std::end(kItems),
                                     [command](const ExportItem& i) { return i.command == command; });
    return item == std::end(kItems) ? nullptr : item;
}

}  // namespace

void AddExportItems(HWND window) {
    const HMENU menu = GetSystemMenu(window, FALSE);
    if (!menu) return;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    for (const ExportItem& item : kItems) AppendMenuW(menu, MF_STRING, item.command, item.text);
    EnableExportItems(window, true);
    ShowExportChecks(window);
}

void EnableExportItems(HWND window, bool enabled) {
    const HMENU menu = GetSystemMenu(window, FALSE);
    if (!menu) return;
    const bool usersChoice = enabled && !SetByAdministrator(L"Export");
    for (const ExportItem& item : kItems)
        EnableMenuItem(menu, item.command, MF_BYCOMMAND | (usersChoice ? MF_ENABLED : MF_GRAYED));
}

void ShowExportChecks(HWND window) {
    const HMENU menu = GetSystemMenu(window, FALSE);
    if (!menu) return;
    const std::vector<ExportFormat> chosen = ReadExportFormats();
    for (const ExportItem& item : kItems) {
        const bool checked = std::find(chosen.begin(), chosen.end(), item.format) != chosen.end();
        CheckMenuItem(menu, item.command, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
    }
}

bool IsExportCommand(UINT command) { return ItemOf(command) != nullptr; }

bool ToggleExport(HWND window, UINT command) {
    const ExportItem* item = ItemOf(command);
    if (!item) return false;
    std::vector<ExportFormat> chosen = ReadExportFormats();
    const auto found = std::find(chosen.begin(), chosen.end(), item->format);
    if (found == chosen.end())
        chosen.push_back(item->format);
    else
        chosen.erase(found);
    // Written in the one order the formats are done in.
    std::vector<ExportFormat> ordered;
    for (const ExportFormat format : kExportFormats)
        if (std::find(chosen.begin(), chosen.end(), format) != chosen.end()) ordered.push_back(format);
    WriteExportFormats(ordered);
    ShowExportChecks(window);
    return true;
}

}  // namespace kestrow::win32
