#include "ui/HandlerBoundary.h"

#include "ui/Win32MessageBox.h"

namespace kestrow::win32 {

void ReportHandlerError(HWND owner, const wchar_t* title, const RuntimeError& error) noexcept {
    try {
        Win32MessageBox(owner).Show(FormatHandlerErrorReport(error), MessageButtons::Ok, MessageIcon::Error, title);
    } catch (...) {
        MessageBoxW(owner, L"Kestrow could not finish this action.", title, MB_OK | MB_ICONERROR);
    }
}

}  // namespace kestrow::win32
