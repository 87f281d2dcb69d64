#include "ui/OpenFileDialog.h"

#include <commdlg.h>

#include <vector>

#include "system/SystemLibrary.h"
#include "system/SystemText.h"

namespace kestrow::win32 {

std::optional<std::wstring> ChooseFileToOpen(HWND owner, const FileRequest& request) {
    // "<kind> (<pattern>)\0<pattern>\0\0", as the dialog reads its filter.
    std::wstring filter = request.kind + L" (" + request.pattern + L")";
    filter += L'\0';
    filter += request.pattern;
    filter += L'\0';
    // Room for the longest path Windows allows.
    std::vector<wchar_t> path(32768, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrInitialDir = request.folder.empty() ? nullptr : request.folder.c_str();
    dialog.lpstrTitle = request.title.c_str();
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER | OFN_DONTADDTORECENT;
    // comdlg32 is no library Windows always keeps loaded: taken from the
    // system folder when asked for, never a copy beside the program.
    const SystemLibrary library(L"comdlg32.dll");
    const auto open = library.Find<BOOL WINAPI(OPENFILENAMEW*)>("GetOpenFileNameW");
    if (!open) throw LastErrorAs(L"The dialog that opens a file cannot be shown");
    if (!open(&dialog)) return std::nullopt;
    return std::wstring(path.data());
}

}  // namespace kestrow::win32
