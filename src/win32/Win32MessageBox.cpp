#include "Win32MessageBox.h"

#include <commctrl.h>

namespace kestrow::win32 {
namespace {

UINT IconFlag(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Error: return MB_ICONERROR;
        case MessageIcon::Question: return MB_ICONQUESTION;
        case MessageIcon::Exclamation: return MB_ICONEXCLAMATION;
        case MessageIcon::Information: return MB_ICONINFORMATION;
        case MessageIcon::None: break;
    }
    return 0;
}

UINT ButtonsFlag(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::YesNo: return MB_YESNO;
        case MessageButtons::CancelTryContinue: return MB_CANCELTRYCONTINUE;
        case MessageButtons::Ok: break;
    }
    return MB_OK;
}

MessageAnswer AnswerOf(int id) {
    switch (id) {
        case IDCANCEL: return MessageAnswer::Cancel;
        case IDYES: return MessageAnswer::Yes;
        case IDNO: return MessageAnswer::No;
        case IDTRYAGAIN: return MessageAnswer::TryAgain;
        case IDCONTINUE: return MessageAnswer::Continue;
        default: break;
    }
    return MessageAnswer::Ok;
}

PCWSTR TaskDialogIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Error: return TD_ERROR_ICON;
        case MessageIcon::Information: return TD_INFORMATION_ICON;
        case MessageIcon::Exclamation: return TD_WARNING_ICON;
        case MessageIcon::Question:
        case MessageIcon::None: break;
    }
    return nullptr;
}

}  // namespace

MessageAnswer Win32MessageBox::Show(const std::wstring& text, MessageButtons buttons, MessageIcon icon,
                                    const std::wstring& title) {
    HWND owner = VisibleOwner();
    return AnswerOf(MessageBoxW(owner, text.c_str(), title.c_str(),
                                ButtonsFlag(buttons) | IconFlag(icon) | (owner ? 0 : MB_TASKMODAL)));
}

CheckedAnswer Win32MessageBox::AskCancelTryContinue(const std::wstring& text, MessageIcon icon,
                                                    const std::wstring& title, const std::wstring& checkText) {
    // The message box's own order and access keys.
    const TASKDIALOG_BUTTON buttons[] = {
        {IDCANCEL, L"Cancel"}, {IDTRYAGAIN, L"&Try Again"}, {IDCONTINUE, L"&Continue"}};
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof(config);
    config.hwndParent = VisibleOwner();
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
    config.pszWindowTitle = title.c_str();
    config.pszMainIcon = TaskDialogIcon(icon);
    config.pszContent = text.c_str();
    config.cButtons = ARRAYSIZE(buttons);
    config.pButtons = buttons;
    config.nDefaultButton = IDCANCEL;
    config.pszVerificationText = checkText.c_str();
    int pressed = IDCANCEL;
    BOOL checked = FALSE;
    if (FAILED(TaskDialogIndirect(&config, &pressed, nullptr, &checked))) {
        // Without common controls 6 the plain box still asks the question.
        return {Show(text, MessageButtons::CancelTryContinue, icon, title), false};
    }
    return {AnswerOf(pressed), checked != FALSE};
}

}  // namespace kestrow::win32
