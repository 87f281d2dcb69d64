#pragma once
// A top-level window that owns its HWND and routes messages to a member
// handler. The object keeps itself in GWLP_USERDATA from WM_NCCREATE on.
#include <windows.h>

namespace kestrow::win32 {

class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    HWND Handle() const { return hwnd_; }
    explicit operator bool() const { return hwnd_ != nullptr; }

protected:
    // Registers the class once per process and creates the window.
    bool CreateTopLevel(const wchar_t* className, const wchar_t* title, DWORD style, DWORD exStyle, int width,
                        int height, HICON icon);
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    // Called once the window is gone, from WM_NCDESTROY.
    virtual void OnDestroyed() noexcept {}

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
};

}  // namespace kestrow::win32
