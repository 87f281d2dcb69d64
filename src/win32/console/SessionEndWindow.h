#pragma once
// A hidden top-level window, on a thread of its own, for a run that has no
// window: a program that loads user32, as Kestrow.exe does, gets no console
// event at log-off or shutdown; Windows tells its top-level windows instead
// (WM_QUERYENDSESSION, then WM_ENDSESSION).
#include <windows.h>

#include <functional>
#include <string>
#include <thread>

#include "system/KernelHandle.h"

namespace kestrow::win32 {

class SessionEndWindow {
public:
    // `onEnding` runs on the window's thread when the session really ends,
    // with what ends it ("Windows is logging off"); Windows ends the process
    // soon after it returns, so it returns once the run is done. Meanwhile
    // Windows shows `reason` to a user who waits for the shutdown.
    SessionEndWindow(std::wstring reason, std::function<void(const std::wstring& why)> onEnding);
    ~SessionEndWindow();
    SessionEndWindow(const SessionEndWindow&) = delete;
    SessionEndWindow& operator=(const SessionEndWindow&) = delete;

    static constexpr const wchar_t* ClassName = L"KestrowSessionEnd";

private:
    void Run();
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    std::wstring reason_;
    std::function<void(const std::wstring&)> onEnding_;
    KernelHandle ready_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    HWND window_ = nullptr;  // written by the window's thread before `ready_`
    std::thread thread_;
};

}  // namespace kestrow::win32
