#include "console/SessionEndWindow.h"

namespace kestrow::win32 {
namespace {

std::wstring WhyTheSessionEnds(LPARAM how) {
    if (how & ENDSESSION_LOGOFF) return L"Windows is logging off";
    if (how & ENDSESSION_CLOSEAPP) return L"Windows asked programs to close (an installer or an update)";
    return L"Windows is shutting down or restarting";
}

}  // namespace

SessionEndWindow::SessionEndWindow(std::wstring reason, std::function<void(const std::wstring& why)> onEnding)
    : reason_(std::move(reason)), onEnding_(std::move(onEnding)) {
    thread_ = std::thread([this] { Run(); });
    WaitForSingleObject(ready_.get(), INFINITE);
}

SessionEndWindow::~SessionEndWindow() {
    if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
    if (thread_.joinable()) thread_.join();
}

void SessionEndWindow::Run() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &SessionEndWindow::Procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = ClassName;
    RegisterClassExW(&windowClass);
    // Top-level, never shown: a message-only window would not hear the
    // end of the session.
    window_ = CreateWindowExW(0, ClassName, L"Kestrow", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, instance, this);
    SetEvent(ready_.get());
    if (!window_) return;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
}

LRESULT CALLBACK SessionEndWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<SessionEndWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
        case WM_QUERYENDSESSION:
            // Never holds the session up; a user who waits is told why it
            // takes a moment.
            if (self) ShutdownBlockReasonCreate(window, self->reason_.c_str());
            return TRUE;
        case WM_ENDSESSION:
            if (wParam && self) self->onEnding_(WhyTheSessionEnds(lParam));
            ShutdownBlockReasonDestroy(window);
            return 0;
        case WM_CLOSE: DestroyWindow(window); return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        default: break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace kestrow::win32
