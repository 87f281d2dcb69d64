#pragma once
#include <windows.h>

#include "form/MessageBox.h"

namespace kestrow::win32 {

// Message boxes owned by the main window when it is visible, so that they
// are modal to it; task-modal otherwise (while the help window replaces it).
class Win32MessageBox : public MessageBoxService {
public:
    explicit Win32MessageBox(HWND owner = nullptr) : owner_(owner) {}
    void SetOwner(HWND owner) { owner_ = owner; }

    MessageAnswer Show(const std::wstring& text, MessageButtons buttons, MessageIcon icon,
                       const std::wstring& title) override;
    // A task dialog (common controls 6) with the message box's buttons, ids
    // and icon, and a verification check box.
    CheckedAnswer AskCancelTryContinue(const std::wstring& text, MessageIcon icon, const std::wstring& title,
                                       const std::wstring& checkText) override;
    // A task dialog with Yes, No and a button that opens the folder in
    // Explorer and leaves the question open.
    MessageAnswer AskYesNoOpeningFolder(const std::wstring& text, MessageIcon icon, const std::wstring& title,
                                        const std::wstring& folder) override;
    // A task dialog with OK and "Show the report", which leaves it open.
    void ShowOfferingReport(const std::wstring& text, MessageIcon icon, const std::wstring& title,
                            const std::function<void()>& showReport) override;

private:
    HWND VisibleOwner() const { return (owner_ && IsWindowVisible(owner_)) ? owner_ : nullptr; }
    HWND owner_;
};

}  // namespace kestrow::win32
