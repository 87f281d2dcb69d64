#pragma once
// The core's controls over real child windows. Each is a thin, non-owning
// view of an HWND: the parent window destroys its children.
#include <windows.h>

#include "form/Controls.h"

namespace kestrow::win32 {

std::wstring WindowText(HWND control);

// Sets a control's text; it repaints with the next paint.
void SetText(HWND control, const std::wstring& text);

class Win32Label : public Label {
public:
    explicit Win32Label(HWND hwnd = nullptr) : hwnd_(hwnd) {}
    void Attach(HWND hwnd) { hwnd_ = hwnd; }
    void SetCaption(const std::wstring& caption) override { win32::SetText(hwnd_, caption); }
    std::wstring Caption() const override { return WindowText(hwnd_); }
    operator HWND() const { return hwnd_; }

private:
    HWND hwnd_;
};

class Win32TextBox : public TextBox {
public:
    explicit Win32TextBox(HWND hwnd = nullptr) : hwnd_(hwnd) {}
    void Attach(HWND hwnd) { hwnd_ = hwnd; }
    void SetText(const std::wstring& text) override { win32::SetText(hwnd_, text); }
    std::wstring Text() const override { return WindowText(hwnd_); }
    void SetEnabled(bool enabled) override { EnableWindow(hwnd_, enabled); }
    bool Enabled() const override { return IsWindowEnabled(hwnd_) != FALSE; }
    operator HWND() const { return hwnd_; }

private:
    HWND hwnd_;
};

class Win32Button : public CommandButton {
public:
    explicit Win32Button(HWND hwnd = nullptr) : hwnd_(hwnd) {}
    void Attach(HWND hwnd) { hwnd_ = hwnd; }
    void SetEnabled(bool enabled) override;
    bool Enabled() const override { return IsWindowEnabled(hwnd_) != FALSE; }
    void SetCaption(const std::wstring& caption) override { SetWindowTextW(hwnd_, caption.c_str()); }
    std::wstring Caption() const override { return WindowText(hwnd_); }
    operator HWND() const { return hwnd_; }

private:
    HWND hwnd_;
};

class Win32ListBox : public ListBox {
public:
    explicit Win32ListBox(HWND hwnd = nullptr) : hwnd_(hwnd) {}
    void Attach(HWND hwnd) { hwnd_ = hwnd; }
    void Clear() override { SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0); }
    void AddItem(const std::wstring& text) override;
    std::int32_t ListCount() const override;
    void SetListIndex(std::int32_t index) override { SendMessageW(hwnd_, LB_SETCURSEL, static_cast<WPARAM>(index), 0); }
    std::int32_t ListIndex() const override;
    std::wstring SelectedText() const override;
    void BeginBulkAdd(std::int32_t expectedRows) override;
    void EndBulkAdd() override { SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0); }
    operator HWND() const { return hwnd_; }

private:
    HWND hwnd_;
};

}  // namespace kestrow::win32
