#pragma once
// The main window's task-bar button: a batch's progress through
// ITaskbarList3, and a flash when a batch ends while the user is elsewhere.
// Where the shell lacks either, nothing shows and nothing fails.
#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include "form/Controls.h"

namespace kestrow::win32 {

class TaskbarButton : public TaskbarProgress {
public:
    explicit TaskbarButton(HWND window = nullptr) : window_(window) {}
    void SetWindow(HWND window) { window_ = window; }
    void Show(std::int32_t done, std::int32_t total, State state) override;
    void Clear() override;
    void FlashIfInBackground() override;

private:
    ITaskbarList3* List();

    HWND window_;
    Microsoft::WRL::ComPtr<ITaskbarList3> list_;
    bool unavailable_ = false;
};

}  // namespace kestrow::win32
