#include "ui/ReportList.h"

#include <commctrl.h>

#include <algorithm>

namespace kestrow::win32 {

void AddListColumns(HWND list, const std::vector<std::wstring>& headings) {
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    for (int i = 0; i < static_cast<int>(headings.size()); ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<wchar_t*>(headings[static_cast<size_t>(i)].c_str());
        column.cx = 60;
        ListView_InsertColumn(list, i, &column);
    }
}

int AddListRow(HWND list, const std::vector<std::wstring>& cells) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = ListView_GetItemCount(list);
    item.pszText = const_cast<wchar_t*>(cells.empty() ? L"" : cells.front().c_str());
    const int row = ListView_InsertItem(list, &item);
    for (int c = 1; c < static_cast<int>(cells.size()); ++c)
        ListView_SetItemText(list, row, c, const_cast<wchar_t*>(cells[static_cast<size_t>(c)].c_str()));
    return row;
}

void FitListColumns(HWND list, bool lastTakesTheRest) {
    const int columns = Header_GetItemCount(ListView_GetHeader(list));
    // A heading's text and the room its header item keeps around it.
    const int headerMargin = 4 * GetSystemMetrics(SM_CXEDGE) + 8;
    int used = 0;
    for (int c = 0; c < columns; ++c) {
        wchar_t heading[128] = L"";
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT;
        column.pszText = heading;
        column.cchTextMax = 128;
        ListView_GetColumn(list, c, &column);
        ListView_SetColumnWidth(list, c, LVSCW_AUTOSIZE);
        const int width = std::max(ListView_GetColumnWidth(list, c), ListView_GetStringWidth(list, heading) + headerMargin);
        ListView_SetColumnWidth(list, c, width);
        used += width;
    }
    RECT client{};
    GetClientRect(list, &client);
    if (lastTakesTheRest && columns > 0 && used < client.right)
        ListView_SetColumnWidth(list, columns - 1, ListView_GetColumnWidth(list, columns - 1) + client.right - used);
}

}  // namespace kestrow::win32
