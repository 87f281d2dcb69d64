#include "DialogWatcher.h"

#include <commctrl.h>
#include <shlobj.h>

#include <cwctype>

namespace kestrow::wintest {
namespace {

std::wstring Text(HWND window) {
    wchar_t buffer[4096] = L"";
    GetWindowTextW(window, buffer, 4096);
    return buffer;
}

std::wstring ClassOf(HWND window) {
    wchar_t buffer[256] = L"";
    GetClassNameW(window, buffer, 256);
    return buffer;
}

Icon IconOf(HICON icon) {
    if (!icon) return Icon::None;
    if (icon == LoadIconW(nullptr, IDI_ERROR)) return Icon::Error;
    if (icon == LoadIconW(nullptr, IDI_QUESTION)) return Icon::Question;
    if (icon == LoadIconW(nullptr, IDI_WARNING)) return Icon::Exclamation;
    if (icon == LoadIconW(nullptr, IDI_INFORMATION)) return Icon::Information;
    return Icon::None;
}

struct Children {
    std::vector<HWND> all;
    static BOOL CALLBACK Add(HWND child, LPARAM self) {
        reinterpret_cast<Children*>(self)->all.push_back(child);
        return TRUE;
    }
};

struct TopLevel {
    DWORD process;
    std::vector<HWND> dialogs;
    static BOOL CALLBACK Add(HWND window, LPARAM self) {
        auto* me = reinterpret_cast<TopLevel*>(self);
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid == me->process && IsWindowVisible(window) && ClassOf(window) == L"#32770") me->dialogs.push_back(window);
        return TRUE;
    }
};

bool IsCheckBox(LONG style) {
    const LONG type = style & BS_TYPEMASK;
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX;
}

std::wstring SelectedItemText(HWND tree) {
    wchar_t text[MAX_PATH] = L"";
    TVITEMW item{};
    item.mask = TVIF_TEXT;
    item.hItem = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    item.pszText = text;
    item.cchTextMax = MAX_PATH;
    if (!item.hItem || !SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return std::wstring();
    return text;
}

// Ctrl+C in a box, as its modal loop receives it (the character 3), and
// what the clipboard then holds.
std::wstring CopyWithCtrlC(HWND dialog) {
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
    PostMessageW(GetDlgItem(dialog, IDOK) ? GetDlgItem(dialog, IDOK) : dialog, WM_CHAR, 3, 1);
    Sleep(300);
    std::wstring text;
    if (OpenClipboard(nullptr)) {
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            text = static_cast<const wchar_t*>(GlobalLock(data));
            GlobalUnlock(data);
        }
        CloseClipboard();
    }
    return text;
}

// Selects a folder in the shell's dialog. The dialog fills its tree lazily,
// so the selection is repeated until the tree shows the folder selected.
void SelectFolder(HWND dialog, const std::wstring& folder) {
    const std::wstring leaf = folder.substr(folder.find_last_of(L'\\') + 1);
    HWND tree = FindWindowExW(dialog, nullptr, L"SysTreeView32", nullptr);
    for (int attempt = 0; attempt < 40; ++attempt) {
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
        Sleep(100);
        if (SelectedItemText(tree) == leaf) return;
        Sleep(150);
    }
}

}  // namespace

DialogWatcher::DialogWatcher(std::vector<Answer> answers) : answers_(std::move(answers)) {
    thread_ = std::thread([this] { Run(); });
}

DialogWatcher::~DialogWatcher() {
    stop_ = true;
    thread_.join();
}

std::vector<SeenDialog> DialogWatcher::Seen() {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
}

void DialogWatcher::Run() {
    while (!stop_) {
        TopLevel top{GetCurrentProcessId(), {}};
        EnumWindows(&TopLevel::Add, reinterpret_cast<LPARAM>(&top));
        for (HWND dialog : top.dialogs) {
            bool known = false;
            for (HWND h : handled_) known = known || h == dialog;
            // A handle can come back for a later dialog once the first is gone.
            if (known && IsWindow(dialog)) continue;
            Sleep(200);  // let the dialog finish initialising
            if (!IsWindow(dialog)) continue;
            handled_.push_back(dialog);
            Handle(dialog);
        }
        Sleep(50);
    }
}

void DialogWatcher::Handle(HWND dialog) {
    SeenDialog seen;
    std::vector<std::wstring> labelled;  // every text that may carry an access key
    seen.title = Text(dialog);
    seen.owner = GetWindow(dialog, GW_OWNER);
    seen.ownerEnabled = seen.owner && IsWindowEnabled(seen.owner);
    Children children;
    EnumChildWindows(dialog, &Children::Add, reinterpret_cast<LPARAM>(&children));
    HWND checkBox = nullptr;
    for (HWND child : children.all) {
        const std::wstring cls = ClassOf(child);
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        if (cls == L"SysTreeView32") {
            seen.folderDialog = true;
            seen.selectedFolder = SelectedItemText(child);
        }
        if ((cls == L"Button" || (cls == L"Static" && !(style & SS_NOPREFIX))) && IsWindowVisible(child))
            labelled.push_back(Text(child));
        if (cls == L"Button" && IsCheckBox(style)) {
            checkBox = child;
            seen.checkBox = Text(child);
            seen.checked = SendMessageW(child, BM_GETCHECK, 0, 0) == BST_CHECKED;
            continue;
        }
        if (cls == L"Static") {
            if ((style & SS_TYPEMASK) == SS_ICON)
                seen.icon = IconOf(reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0)));
            else if (!Text(child).empty()) {
                seen.statics.push_back(Text(child));
                if (seen.text.empty()) seen.text = Text(child);
            }
        }
        if (cls == L"Button" && IsWindowVisible(child)) seen.buttons.push_back(Text(child));
    }

    seen.accessKeyClashes = AccessKeyClashes(labelled);
    Answer answer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (next_ < answers_.size()) {
            answer = answers_[next_++];
        } else {
            ++unexpected_;
            answer.button = IDCANCEL;
        }
    }
    if (answer.copyText) seen.copied = CopyWithCtrlC(dialog);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        seen_.push_back(seen);
    }
    if (seen.folderDialog && !answer.folder.empty()) SelectFolder(dialog, answer.folder);
    if (seen.folderDialog && answer.specialFolder >= 0) {
        ITEMIDLIST* item = nullptr;
        if (SHGetSpecialFolderLocation(nullptr, answer.specialFolder, &item) == S_OK) {
            SendMessageW(dialog, BFFM_SETSELECTIONW, FALSE, reinterpret_cast<LPARAM>(item));
            Sleep(300);
            CoTaskMemFree(item);
        }
    }
    if (answer.check && checkBox && *answer.check != seen.checked) SendMessageW(checkBox, BM_CLICK, 0, 0);
    if (!answer.fileName.empty()) {
        // The name box: an edit in its combo box (cmb13), or the edit itself (edt1).
        HWND name = GetDlgItem(dialog, 0x47c);
        if (HWND edit = name ? FindWindowExW(name, nullptr, L"Edit", nullptr) : nullptr) name = edit;
        if (!name) name = GetDlgItem(dialog, 0x480);
        SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(answer.fileName.c_str()));
    }
    if (answer.pressFirst) {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(answer.pressFirst, BN_CLICKED), 0);
        Sleep(1000);
    }
    if (answer.before) answer.before();
    // Message boxes with only an OK button take IDCANCEL as OK as well.
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(answer.button, BN_CLICKED), 0);
    if (answer.after) answer.after();
}

MenuChooser::MenuChooser(wchar_t key) {
    thread_ = std::thread([this, key] {
        while (!stop_) {
            HWND shown = nullptr;
            for (HWND at = FindWindowExW(nullptr, nullptr, L"#32768", nullptr); at && !shown;
                 at = FindWindowExW(nullptr, at, L"#32768", nullptr)) {
                DWORD pid = 0;
                GetWindowThreadProcessId(at, &pid);
                if (pid == GetCurrentProcessId() && IsWindowVisible(at)) shown = at;
            }
            if (!shown) {
                Sleep(50);
                continue;
            }
            const HMENU menu = reinterpret_cast<HMENU>(SendMessageW(shown, 0x01E1 /* MN_GETHMENU */, 0, 0));
            std::vector<SeenMenuItem> items;
            for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
                wchar_t text[256] = L"";
                MENUITEMINFOW info{};
                info.cbSize = sizeof(info);
                info.fMask = MIIM_STRING | MIIM_STATE | MIIM_FTYPE;
                info.dwTypeData = text;
                info.cch = 256;
                if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info) || (info.fType & MFT_SEPARATOR)) continue;
                items.push_back({text, !(info.fState & MFS_DISABLED), (info.fState & MFS_CHECKED) != 0});
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                items_ = std::move(items);
            }
            if (key)
                PostMessageW(shown, WM_CHAR, key, 1);
            else
                PostMessageW(shown, WM_KEYDOWN, VK_ESCAPE, 1);
            return;
        }
    });
}

MenuChooser::~MenuChooser() {
    stop_ = true;
    thread_.join();
}

std::vector<SeenMenuItem> MenuChooser::Items() {
    std::lock_guard<std::mutex> lock(mutex_);
    return items_;
}

std::wstring AccessKeyClashes(const std::vector<std::wstring>& texts) {
    std::wstring keys, clashes;
    for (const std::wstring& text : texts)
        for (size_t at = text.find(L'&'); at != std::wstring::npos && at + 1 < text.size(); at = text.find(L'&', at + 2)) {
            if (text[at + 1] == L'&') continue;  // "&&" shows one '&'
            const wchar_t key = static_cast<wchar_t>(towupper(text[at + 1]));
            if (keys.find(key) != std::wstring::npos && clashes.find(key) == std::wstring::npos) clashes += key;
            keys += key;
            break;  // the first '&' alone makes the key
        }
    return clashes;
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit,
               const std::function<bool(MSG&)>& preTranslate) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (preTranslate && preTranslate(message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

}  // namespace kestrow::wintest
