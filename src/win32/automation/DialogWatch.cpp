#include "automation/DialogWatch.h"

#include <commctrl.h>

#include <memory>
#include <vector>

#include "common/CommandLineProgram.h"
#include "system/KernelHandle.h"
#include "system/WindowPicture.h"

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
// is not a dialog.
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
    found.dialog.title = title.value_or(L"");
    for (const HWND child : children) {
        if (!IsWindowVisible(child)) continue;
        if (IsPushButton(child)) {
            found.dialog.buttons.push_back(ButtonLabel(TextOf(child).value_or(L"")));
            found.buttons.push_back(child);
        } else if (ShowsText(child)) {
            AppendOneLine(found.dialog.text, TextOf(child).value_or(L""));
        }
    }
    if (found.buttons.empty() && !IsDialogBox(window)) return std::nullopt;
    return found;
}

// Presses `button` of `dialog` as a click does: the button's parent gets
// its command. Only while both are still the process's own.
bool Press(HWND dialog, HWND button, DWORD processId) {
    if (!IsWindow(dialog) || !OfProcess(dialog, processId) || !IsChild(dialog, button)) return false;
    const HWND parent = GetParent(button);
    if (!parent || !OfProcess(parent, processId)) return false;
    return PostMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                        reinterpret_cast<LPARAM>(button)) != FALSE;
}

// "d01 2026-12-07 02.14.09": the draft in hand (or the start) and the time.
std::wstring PictureName(const std::wstring& task) {
    std::wstring name = task.find(L'\\') == std::wstring::npos ? std::wstring(L"start") : FileNameOf(task);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos && dot > 0) name.resize(dot);
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t stamp[32];
    swprintf(stamp, 32, L" %04u-%02u-%02u %02u.%02u.%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
             now.wSecond);
    return name + stamp;
}

// Writes `bytes` to a file of the folder that did not exist before: the
// name, or the name with " (2)", " (3)", ...
std::wstring WriteNewFile(const std::wstring& folder, const std::wstring& name, const std::string& bytes) {
    for (int copy = 1; copy <= 100; ++copy) {
        const std::wstring path =
            folder + L"\\" + name + (copy == 1 ? std::wstring() : L" (" + std::to_wstring(copy) + L")") + L".png";
        const KernelHandle file = OwnHandle(
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            return std::wstring();
        }
        DWORD written = 0;
        const bool whole = WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                           written == bytes.size();
        if (whole) return path;
        DeleteFileW(path.c_str());
        return std::wstring();
    }
    return std::wstring();
}

}  // namespace

std::wstring DialogWatch::KeepPicture(HWND window, const std::wstring& task) {
    const std::string png = WindowPicturePng(window);
    const std::wstring folder = pictureFolder_ ? pictureFolder_() : std::wstring();
    if (png.empty() || folder.empty()) return std::wstring();
    return WriteNewFile(folder, PictureName(task), png);
}

void DialogWatch::Look(DWORD processId, CallWatch& watch, CallWatch::Clock::time_point callStarted) {
    if (call_ != callStarted) {
        call_ = callStarted;
        seen_.clear();
    }
    for (const HWND window : VisibleWindowsOf(processId)) {
        // One that does not answer yet is read once it does; the CAD
        // system's other windows are asked nothing.
        if (seen_.count(window) || !MayBeDialog(window) || !Answers(window)) continue;
        seen_.insert(window);
        std::optional<FoundDialog> found = ReadDialog(window);
        if (!found) continue;
        found->dialog.picture = KeepPicture(window, watch.Task());
        const DialogAnswer answer = watch.AnswerDialog(found->dialog, callStarted);
        if (answer.button && Press(window, found->buttons[*answer.button], processId)) {
            watch.DialogHandled(found->dialog, L"pressed " + found->dialog.buttons[*answer.button], true);
            continue;
        }
        watch.DialogHandled(found->dialog,
                            L"left open: " + (answer.button ? L"its button could not be pressed" : answer.leftBecause),
                            false);
    }
}

}  // namespace kestrow::win32
