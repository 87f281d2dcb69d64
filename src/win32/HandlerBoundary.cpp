#include "HandlerBoundary.h"

namespace kestrow::win32 {

void ReportHandlerError(HWND owner, const wchar_t* title, const RuntimeError& error) noexcept {
    try {
        const std::wstring text = FormatHandlerErrorReport(error);
        HWND visibleOwner = (owner && IsWindowVisible(owner)) ? owner : nullptr;
        MessageBoxW(visibleOwner, text.c_str(), title, MB_OK | MB_ICONERROR | (visibleOwner ? 0 : MB_TASKMODAL));
    } catch (...) {
        MessageBoxW(owner, L"Kestrow could not finish this action.", title, MB_OK | MB_ICONERROR);
    }
}

}  // namespace kestrow::win32
