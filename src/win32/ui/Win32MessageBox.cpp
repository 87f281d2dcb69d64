#include "ui/Win32MessageBox.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstring>

#include "ui/Win32Controls.h"

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
        case MessageButtons::KeepWaitingOrGiveUp: return MB_YESNO;
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

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

// The box's text as Windows' own message boxes copy it: title, text and
// buttons between rules.
std::wstring BoxText(HWND box) {
    const std::wstring rule = L"---------------------------\r\n";
    std::wstring texts, buttons;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child)) continue;
        const std::wstring text = WindowText(child);
        if (text.empty()) continue;
        if (ClassOf(child) == L"Button")
            buttons += text + L"   ";
        else if (ClassOf(child) == L"Static")
            texts += text + L"\r\n";
    }
    std::wstring copied;
    for (wchar_t c : rule + WindowText(box) + L"\r\n" + rule + texts + rule + buttons + L"\r\n" + rule)
        if (c != L'&') copied += c;
    return copied;
}

void CopyToClipboard(HWND owner, const std::wstring& text) {
    if (!OpenClipboard(owner)) return;
    EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        memcpy(GlobalLock(memory), text.c_str(), bytes);
        GlobalUnlock(memory);
        if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
    }
    CloseClipboard();
}

// Ctrl+C in a box copies its text, as on Windows, also where the box does not
// do it itself (Wine): the keystroke arrives as the character 3 in the box's
// modal loop, which this thread's message filter sees first.
LRESULT CALLBACK CopyOnCtrlC(int code, WPARAM wParam, LPARAM lParam) {
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    if (code == MSGF_DIALOGBOX && message->message == WM_CHAR && message->wParam == 3) {
        HWND box = GetAncestor(message->hwnd, GA_ROOT);
        CopyToClipboard(box, BoxText(box));
        return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The filter, on this thread, for as long as a box is open.
class CopyableBoxes {
public:
    CopyableBoxes() : hook_(SetWindowsHookExW(WH_MSGFILTER, &CopyOnCtrlC, nullptr, GetCurrentThreadId())) {}
    ~CopyableBoxes() {
        if (hook_) UnhookWindowsHookEx(hook_);
    }
    CopyableBoxes(const CopyableBoxes&) = delete;
    CopyableBoxes& operator=(const CopyableBoxes&) = delete;

private:
    HHOOK hook_;
};

constexpr int kOpenFolderButton = 100;
constexpr int kShowReportButton = 101;

// Opens the folder for the open-folder button, and keeps the question up.
HRESULT CALLBACK OpenFolderOnClick(HWND box, UINT notification, WPARAM button, LPARAM, LONG_PTR folder) {
    if (notification != TDN_BUTTON_CLICKED || button != kOpenFolderButton) return S_OK;
    ShellExecuteW(box, L"open", reinterpret_cast<const wchar_t*>(folder), nullptr, nullptr, SW_SHOWNORMAL);
    return S_FALSE;
}

// Runs the action of the show-report button, and keeps the box up.
HRESULT CALLBACK ShowReportOnClick(HWND, UINT notification, WPARAM button, LPARAM, LONG_PTR action) {
    if (notification != TDN_BUTTON_CLICKED || button != kShowReportButton) return S_OK;
    try {
        (*reinterpret_cast<const std::function<void()>*>(action))();
    } catch (...) {
        // The action tells its own failures; nothing may leave the callback.
    }
    return S_FALSE;
}

// A task dialog with the message box's text, title, icon and `buttons`,
// wide enough for a long path and three buttons on one row. The caller
// adds what its question needs.
template <size_t Buttons>
TASKDIALOGCONFIG TaskDialogFor(HWND owner, const std::wstring& text, MessageIcon icon, const std::wstring& title,
                               const TASKDIALOG_BUTTON (&buttons)[Buttons], int defaultButton) {
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof(config);
    config.hwndParent = owner;
    config.dwFlags = TDF_POSITION_RELATIVE_TO_WINDOW;
    config.pszWindowTitle = title.c_str();
    config.pszMainIcon = TaskDialogIcon(icon);
    config.pszContent = text.c_str();
    config.cButtons = Buttons;
    config.pButtons = buttons;
    config.nDefaultButton = defaultButton;
    config.cxWidth = 300;
    return config;
}

// The dialog shown; false when it cannot be (no common controls 6), for the
// plain box to ask the question instead.
bool ShowTaskDialog(const TASKDIALOGCONFIG& config, int& pressed, BOOL* checked) {
    const CopyableBoxes copyable;
    return SUCCEEDED(TaskDialogIndirect(&config, &pressed, nullptr, checked));
}

}  // namespace

MessageAnswer Win32MessageBox::Show(const std::wstring& text, MessageButtons buttons, MessageIcon icon,
                                    const std::wstring& title) {
    if (buttons == MessageButtons::KeepWaitingOrGiveUp) {
        // Esc or the close box keeps waiting: giving up ends a process.
        const TASKDIALOG_BUTTON named[] = {{IDYES, L"&Keep waiting"}, {IDNO, L"&Give up on this session"}};
        TASKDIALOGCONFIG config = TaskDialogFor(VisibleOwner(), text, icon, title, named, IDYES);
        config.dwFlags |= TDF_ALLOW_DIALOG_CANCELLATION;
        config.cxWidth = 360;  // room for the longer names on one row
        int pressed = IDYES;
        if (ShowTaskDialog(config, pressed, nullptr)) return pressed == IDNO ? MessageAnswer::No : MessageAnswer::Yes;
        buttons = MessageButtons::YesNo;
    }
    HWND owner = VisibleOwner();
    const CopyableBoxes copyable;
    return AnswerOf(MessageBoxW(owner, text.c_str(), title.c_str(),
                                ButtonsFlag(buttons) | IconFlag(icon) | (owner ? 0 : MB_TASKMODAL)));
}

CheckedAnswer Win32MessageBox::AskCancelTryContinue(const std::wstring& text, MessageIcon icon,
                                                    const std::wstring& title, const std::wstring& checkText) {
    // The message box's own order and access keys.
    const TASKDIALOG_BUTTON buttons[] = {
        {IDCANCEL, L"Cancel"}, {IDTRYAGAIN, L"&Try Again"}, {IDCONTINUE, L"&Continue"}};
    TASKDIALOGCONFIG config = TaskDialogFor(VisibleOwner(), text, icon, title, buttons, IDCANCEL);
    config.dwFlags |= TDF_ALLOW_DIALOG_CANCELLATION;
    config.pszVerificationText = checkText.c_str();
    int pressed = IDCANCEL;
    BOOL checked = FALSE;
    if (!ShowTaskDialog(config, pressed, &checked)) return {Show(text, MessageButtons::CancelTryContinue, icon, title), false};
    return {AnswerOf(pressed), checked != FALSE};
}

void Win32MessageBox::ShowOfferingReport(const std::wstring& text, MessageIcon icon, const std::wstring& title,
                                         const std::function<void()>& showReport) {
    const TASKDIALOG_BUTTON buttons[] = {{kShowReportButton, L"Show the &report"}, {IDOK, L"OK"}};
    TASKDIALOGCONFIG config = TaskDialogFor(VisibleOwner(), text, icon, title, buttons, IDOK);
    config.dwFlags |= TDF_ALLOW_DIALOG_CANCELLATION;
    config.pfCallback = &ShowReportOnClick;
    config.lpCallbackData = reinterpret_cast<LONG_PTR>(&showReport);
    int pressed = IDOK;
    if (!ShowTaskDialog(config, pressed, nullptr)) Show(text, MessageButtons::Ok, icon, title);
}

MessageAnswer Win32MessageBox::AskYesNoOpeningFolder(const std::wstring& text, MessageIcon icon,
                                                     const std::wstring& title, const std::wstring& folder) {
    const TASKDIALOG_BUTTON buttons[] = {
        {kOpenFolderButton, L"&Open the folder"}, {IDYES, L"&Yes"}, {IDNO, L"&No"}};
    TASKDIALOGCONFIG config = TaskDialogFor(VisibleOwner(), text, icon, title, buttons, IDNO);
    config.pfCallback = &OpenFolderOnClick;
    config.lpCallbackData = reinterpret_cast<LONG_PTR>(folder.c_str());
    int pressed = IDNO;
    if (!ShowTaskDialog(config, pressed, nullptr)) return Show(text, MessageButtons::YesNo, icon, title);
    return AnswerOf(pressed);
}

}  // namespace kestrow::win32
