#include "ui/ModalDialog.h"

#include "ui/Win32Controls.h"

namespace kestrow::win32 {

INT_PTR ModalDialog::Run(HWND owner) {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), owner, &ModalDialog::Procedure,
                           reinterpret_cast<LPARAM>(this));
}

std::wstring ModalDialog::ItemText(int id) const { return WindowText(Item(id)); }

void ModalDialog::FocusField(int id) const {
    SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE);
    SendMessageW(Item(id), EM_SETSEL, 0, -1);
}

int ModalDialog::Say(const std::wstring& text, UINT style) const {
    return MessageBoxW(hwnd_, text.c_str(), WindowText(hwnd_).c_str(), style);
}

INT_PTR CALLBACK ModalDialog::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<ModalDialog*>(lParam);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        return self->OnInit() ? TRUE : FALSE;
    }
    auto* self = reinterpret_cast<ModalDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self) return FALSE;
    if (message == WM_COMMAND) return self->OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        self->hwnd_ = nullptr;
        return FALSE;
    }
    return self->OnMessage(message, wParam, lParam) ? TRUE : FALSE;
}

}  // namespace kestrow::win32
