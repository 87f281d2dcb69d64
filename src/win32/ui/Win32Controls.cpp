#include "ui/Win32Controls.h"

#include "common/RuntimeError.h"

namespace kestrow::win32 {

std::wstring WindowText(HWND control) {
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

void SetText(HWND control, const std::wstring& text) { SetWindowTextW(control, text.c_str()); }

void Win32Button::SetEnabled(bool enabled) {
    // A disabled button that has the focus would leave the keyboard with
    // nowhere to go: hand the focus on first, as dialogs do.
    if (!enabled && GetFocus() == hwnd_) SendMessageW(GetParent(hwnd_), WM_NEXTDLGCTL, 0, FALSE);
    EnableWindow(hwnd_, enabled);
}

void Win32ListBox::AddItem(const std::wstring& text) {
    const LRESULT at = SendMessageW(hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (at == LB_ERR || at == LB_ERRSPACE)
        throw RuntimeError(ErrorNumber::OutOfMemory, kProgramSource, L"The list of drawings could not hold another name");
}

std::int32_t Win32ListBox::ListCount() const {
    return static_cast<std::int32_t>(SendMessageW(hwnd_, LB_GETCOUNT, 0, 0));
}

std::int32_t Win32ListBox::ListIndex() const {
    return static_cast<std::int32_t>(SendMessageW(hwnd_, LB_GETCURSEL, 0, 0));
}

std::wstring Win32ListBox::SelectedText() const {
    const LRESULT index = SendMessageW(hwnd_, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR) return std::wstring();
    const LRESULT length = SendMessageW(hwnd_, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR) return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied =
        SendMessageW(hwnd_, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied == LB_ERR ? 0 : static_cast<size_t>(copied));
    return text;
}

void Win32ListBox::BeginBulkAdd(std::int32_t expectedRows) {
    SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(hwnd_, LB_INITSTORAGE, static_cast<WPARAM>(expectedRows), static_cast<LPARAM>(expectedRows) * 64);
}

}  // namespace kestrow::win32
