#pragma once
// A list view in report form, as the dialogs show their rows: columns from
// headings, rows from cells, full-row selection, and each column as wide as
// the widest of its heading and its cells, so that nothing is cut that the
// list has room for.
#include <windows.h>

#include <string>
#include <vector>

namespace kestrow::win32 {

void AddListColumns(HWND list, const std::vector<std::wstring>& headings);
// Appends a row; returns its index.
int AddListRow(HWND list, const std::vector<std::wstring>& cells);
// With `lastTakesTheRest`, the last column is widened to the list's edge.
void FitListColumns(HWND list, bool lastTakesTheRest);

}  // namespace kestrow::win32
