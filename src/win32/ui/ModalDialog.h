#pragma once
// A modal dialog box from the program's resources whose messages go to a
// member handler, as the top-level windows' do. The object keeps itself in
// DWLP_USER from WM_INITDIALOG on.
#include <windows.h>

#include <string>

namespace kestrow::win32 {

class ModalDialog {
public:
    explicit ModalDialog(int templateId) : templateId_(templateId) {}
    ModalDialog(const ModalDialog&) = delete;
    ModalDialog& operator=(const ModalDialog&) = delete;
    virtual ~ModalDialog() = default;

    // Shows the dialog over `owner` until it ends; its end code.
    INT_PTR Run(HWND owner);

protected:
    HWND Handle() const { return hwnd_; }
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
    std::wstring ItemText(int id) const;
    void SetItemText(int id, const std::wstring& text) const { SetDlgItemTextW(hwnd_, id, text.c_str()); }
    bool Checked(int id) const { return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED; }
    void Check(int id, bool checked) const { CheckDlgButton(hwnd_, id, checked ? BST_CHECKED : BST_UNCHECKED); }
    // Puts the focus on a field and selects its text, for the user to fix.
    void FocusField(int id) const;
    // A box over the dialog with its title.
    int Say(const std::wstring& text, UINT style) const;

    // WM_INITDIALOG; returns whether the default focus should be set.
    virtual bool OnInit() noexcept = 0;
    // WM_COMMAND from a control or a key; true when handled.
    virtual bool OnCommand(int id, int code) noexcept = 0;
    // Any other message; true when handled (the result in DWLP_MSGRESULT).
    virtual bool OnMessage(UINT, WPARAM, LPARAM) noexcept { return false; }

private:
    static INT_PTR CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    int templateId_;
    HWND hwnd_ = nullptr;
};

}  // namespace kestrow::win32
