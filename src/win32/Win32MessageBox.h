#pragma once
#include <windows.h>

#include "MessageBox.h"

namespace kestrow::win32 {

// MessageBoxW, owned by a window when there is one so that it is modal to it.
class Win32MessageBox : public MessageBoxService {
public:
    explicit Win32MessageBox(HWND owner = nullptr) : owner_(owner) {}
    void SetOwner(HWND owner) { owner_ = owner; }
    int Show(const std::wstring& text, unsigned code, const std::wstring& title) override {
        HWND owner = (owner_ && IsWindowVisible(owner_)) ? owner_ : nullptr;
        return MessageBoxW(owner, text.c_str(), title.c_str(), code | (owner ? 0 : MB_TASKMODAL));
    }

private:
    HWND owner_;
};

}  // namespace kestrow::win32
