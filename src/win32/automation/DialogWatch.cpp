#include "automation/DialogWatch.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "automation/DialogPicture.h"

namespace kestrow::win32 {
namespace {

// How long a window of the CAD system may take to answer a message before
// it counts as hung: it is then read no further, until a later look.
constexpr UINT kAnswerMs = 200;

// A dialog as found: what it says, and the buttons to press.
struct FoundDialog {
    CadDialog dialog;
    std::vector<HWND> buttons;  // as dialog.buttons
};

bool OfProcess(HWND window, DWORD processId) {
    DWORD owner = 0;
    return GetWindowThreadProcessId(window, &owner) != 0 && owner == processId;
}

std::vector<HWND> VisibleWindowsOf(DWORD processId) {
    struct Search {
        DWORD processId;
        std::vector<HWND> found;
    } search{processId, {}};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto& search = *reinterpret_cast<Search*>(context);
            if (OfProcess(window, search.processId) && IsWindowVisible(window)) search.found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A control's text, asked of the window itself: another process's control
// keeps it there, not in the caption the system holds.
std::optional<std::wstring> TextOf(HWND window) {
    wchar_t buffer[2048];
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG | SMTO_BLOCK,
                             kAnswerMs, &length))
        return std::nullopt;
    return std::wstring(buffer, std::min<DWORD_PTR>(length, 2047));
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64];
    const int length = GetClassNameW(window, name, 64);
    return std::wstring(name, length > 0 ? static_cast<size_t>(length) : 0);
}

bool IsDialogBox(HWND window) { return ClassOf(window) == L"#32770"; }

bool IsPushButton(HWND control) {
    if (_wcsicmp(ClassOf(control).c_str(), L"Button") != 0) return false;
    const LONG type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_COMMANDLINK || type == BS_DEFCOMMANDLINK;
}

bool ShowsText(HWND control) {
    if (_wcsicmp(ClassOf(control).c_str(), L"Static") != 0) return false;
    const LONG type = GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK;
    return type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP;
}

// The lines of a text on one line.
void AppendOneLine(std::wstring& text, const std::wstring& part) {
    std::wstring line;
    for (const wchar_t c : part) {
        const bool blank = c == L'\r' || c == L'\n' || c == L'\t' || c == L' ';
        if (blank && (line.empty() || line.back() == L' ')) continue;
        line += blank ? L' ' : c;
    }
    while (!line.empty() && line.back() == L' ') line.pop_back();
    if (line.empty()) return;
    if (!text.empty()) text += L' ';
    text += line;
}

// A dialog box by its class, or a window with a push button: told from the
// window's class and styles alone, which asks the busy CAD system nothing.
bool MayBeDialog(HWND window) {
    if (IsDialogBox(window)) return true;
    bool button = false;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM found) -> BOOL {
            if (!IsWindowVisible(child) || !IsPushButton(child)) return TRUE;
            *reinterpret_cast<bool*>(found) = true;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&button));
    return button;
}

bool Answers(HWND window) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kAnswerMs, &ignored) != 0;
}

// A window with push buttons, or a dialog box by its class: none when it
// is not a dialog, or stopped answering while it was read (it is read again
// at a later look).
std::optional<FoundDialog> ReadDialog(HWND window) {
    std::vector<HWND> children;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM context) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(context)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    FoundDialog found;
    const std::optional<std::wstring> title = TextOf(window);
    if (!title) return std::nullopt;
    found.dialog.title = *title;
    for (const HWND child : children) {
        if (!IsWindowVisible(child)) continue;
        if (IsPushButton(child)) {
            const std::optional<std::wstring> label = TextOf(child);
            if (!label) return std::nullopt;
            if (!IsWindowEnabled(child) || !IsWindowEnabled(window))
                found.dialog.disabled.push_back(found.dialog.buttons.size());
            found.dialog.buttons.push_back(ButtonLabel(*label));
            found.buttons.push_back(child);
        } else if (ShowsText(child)) {
            const std::optional<std::wstring> text = TextOf(child);
            if (!text) return std::nullopt;
            AppendOneLine(found.dialog.text, *text);
        }
    }
    if (found.buttons.empty() && !IsDialogBox(window)) return std::nullopt;
    return found;
}

// Presses `button` of `dialog` as a click does: the button's parent gets
// its command. Only while both are still the process's own, and only while
// a click would press it: the command reaches a dialog from a disabled
// button too.
bool Press(HWND dialog, HWND button, DWORD processId) {
    if (!IsWindow(dialog) || !OfProcess(dialog, processId) || !IsChild(dialog, button)) return false;
    if (!IsWindowEnabled(button) || !IsWindowEnabled(dialog)) return false;
    const HWND parent = GetParent(button);
    if (!parent || !OfProcess(parent, processId)) return false;
    return PostMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                        reinterpret_cast<LPARAM>(button)) != FALSE;
}

}  // namespace

void DialogWatch::Look(DWORD processId, CallWatch& watch, CallWatch::Clock::time_point callStarted) {
    if (call_ != callStarted) {
        call_ = callStarted;
        seen_.clear();
        waitingForButton_.clear();
        leftOpen_.clear();
    }
    if (!leftOpen_.empty()) {
        for (auto left = leftOpen_.begin(); left != leftOpen_.end();)
            left = IsWindow(*left) && IsWindowVisible(*left) ? std::next(left) : leftOpen_.erase(left);
        if (leftOpen_.empty()) watch.LeftDialogsClosed();
    }
    for (const HWND window : VisibleWindowsOf(processId)) {
        // One that does not answer yet is read once it does; the CAD
        // system's other windows are asked nothing.
        if (seen_.count(window) || !MayBeDialog(window) || !Answers(window)) continue;
        // A box on top of it disables it: it is looked at again once that
        // box is gone, and not taken as seen meanwhile.
        if (!IsWindowEnabled(window)) continue;
        std::optional<FoundDialog> found = ReadDialog(window);
        if (!found) continue;
        const auto waiting = waitingForButton_.find(window);
        const bool toldBefore = waiting != waitingForButton_.end();
        found->dialog.picture =
            toldBefore ? waiting->second
                       : KeepDialogPicture(window, pictureFolder_ ? pictureFolder_() : std::wstring(), watch.Task());
        const DialogAnswer answer = watch.AnswerDialog(found->dialog, callStarted);
        if (answer.button && Press(window, found->buttons[*answer.button], processId)) {
            seen_.insert(window);
            if (toldBefore) waitingForButton_.erase(waiting);
            watch.DialogHandled(found->dialog, L"pressed " + found->dialog.buttons[*answer.button], true);
            continue;
        }
        if (answer.buttonDisabled) {
            // Said once; pressed at a later look if the button comes alive.
            if (toldBefore) continue;
            waitingForButton_.emplace(window, found->dialog.picture);
        } else {
            seen_.insert(window);
            leftOpen_.insert(window);
            if (toldBefore) waitingForButton_.erase(waiting);
        }
        watch.DialogHandled(found->dialog,
                            L"left open: " + (answer.button ? L"its button could not be pressed" : answer.leftBecause),
                            false);
    }
}

}  // namespace kestrow::win32
