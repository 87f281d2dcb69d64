// The shell's modal folder-browse dialog, through its wide-character entry
// points so that any folder name comes back unchanged.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <memory>
#include <vector>

#include "common/RuntimeError.h"
#include "ui/ShellFolderDialog.h"

namespace kestrow::foldbrow {
namespace {

struct ItemListFree {
    void operator()(ITEMIDLIST* list) const { CoTaskMemFree(list); }
};
using ItemList = std::unique_ptr<ITEMIDLIST, ItemListFree>;

constexpr const wchar_t* kIncludeSubfolders = L"&Include subfolders";
constexpr UINT_PTR kCheckBoxSubclass = 1;

// Keeps the check box's state in the options until the dialog destroys it.
LRESULT CALLBACK CheckBoxProcedure(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    if (message == WM_DESTROY)
        reinterpret_cast<BrowseOptions*>(data)->includeSubfolders =
            SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (message == WM_NCDESTROY) RemoveWindowSubclass(box, &CheckBoxProcedure, kCheckBoxSubclass);
    return DefSubclassProc(box, message, wParam, lParam);
}

// Puts the check box at the dialog's bottom left, level with its buttons,
// next after the folder tree in the tab order.
void AddSubfoldersCheckBox(HWND dialog, BrowseOptions& options) {
    HWND ok = GetDlgItem(dialog, IDOK);
    HWND tree = FindWindowExW(dialog, nullptr, WC_TREEVIEWW, nullptr);
    if (!ok || !tree) return;
    RECT okRect{}, treeRect{};
    GetWindowRect(ok, &okRect);
    GetWindowRect(tree, &treeRect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&okRect), 2);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&treeRect), 2);
    // Left of the leftmost button on the buttons' row.
    LONG buttonsLeft = okRect.left;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        if (r.top < okRect.bottom && r.bottom > okRect.top && r.left < buttonsLeft && IsWindowVisible(child))
            buttonsLeft = r.left;
    }
    const int width = buttonsLeft - treeRect.left - 8;
    if (width <= 0) return;
    HWND box = CreateWindowExW(0, WC_BUTTONW, kIncludeSubfolders, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX,
                               treeRect.left, okRect.top, width, okRect.bottom - okRect.top, dialog, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    if (!box) return;
    SendMessageW(box, WM_SETFONT, SendMessageW(dialog, WM_GETFONT, 0, 0), FALSE);
    SendMessageW(box, BM_SETCHECK, options.includeSubfolders ? BST_CHECKED : BST_UNCHECKED, 0);
    SetWindowPos(box, tree, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowSubclass(box, &CheckBoxProcedure, kCheckBoxSubclass, reinterpret_cast<DWORD_PTR>(&options));
}

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM data) {
    if (message != BFFM_INITIALIZED) return 0;
    auto& options = *reinterpret_cast<BrowseOptions*>(data);
    if (options.offerSubfolders) AddSubfoldersCheckBox(dialog, options);
    // Posted, not sent: Wine ignores a selection sent from here the first
    // time the dialog opens in a new prefix.
    if (!options.startFolder.empty())
        PostMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(options.startFolder.c_str()));
    return 0;
}

// The chosen item's file-system path, whatever its length; "" when it has none.
std::wstring PathOf(const ITEMIDLIST* item) {
    std::vector<wchar_t> buffer(32768, L'\0');
    if (SHGetPathFromIDListEx(item, buffer.data(), static_cast<DWORD>(buffer.size()), GPFIDL_DEFAULT))
        return TrimStringAtNull(std::wstring(buffer.data(), buffer.size()));
    return std::wstring();
}

// The name the shell shows for an item, as the dialog's own display-name
// buffer may come back empty.
std::wstring DisplayNameOf(const ITEMIDLIST* item) {
    wchar_t* name = nullptr;
    if (FAILED(SHGetNameFromIDList(item, SIGDN_NORMALDISPLAY, &name)) || !name) return L"The chosen item";
    std::wstring text = name;
    CoTaskMemFree(name);
    return text;
}

}  // namespace

std::wstring BrowseFolder(const std::wstring& prompt) {
    BrowseOptions options;
    return DoBrowse(0, prompt, options);
}

std::wstring DoBrowse(std::uint32_t flags, const std::wstring& prompt, BrowseOptions& options) {
    try {
        const std::wstring title = prompt;
        options.notOnDisk = false;

        ITEMIDLIST* desktopRaw = nullptr;
        if (SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &desktopRaw) != S_OK) return std::wstring();
        const ItemList desktop(desktopRaw);

        std::wstring displayName(MAX_PATH, L'\0');
        BROWSEINFOW info{};
        info.hwndOwner = options.owner;
        info.pidlRoot = desktop.get();
        info.pszDisplayName = displayName.data();
        info.lpszTitle = title.c_str();
        info.ulFlags = flags;
        info.lpfn = &BrowseCallback;
        info.lParam = reinterpret_cast<LPARAM>(&options);
        info.iImage = 0;

        const ItemList chosen(SHBrowseForFolderW(&info));
        if (!chosen) return std::wstring();
        options.displayName = TrimStringAtNull(displayName);
        if (options.displayName.empty()) options.displayName = DisplayNameOf(chosen.get());
        const std::wstring path = PathOf(chosen.get());
        options.notOnDisk = path.empty();
        return path;
    } catch (const RuntimeError& error) {
        throw error.WithSource(kDoBrowseSource);
    } catch (const std::bad_alloc&) {
        throw RuntimeError(ErrorNumber::OutOfMemory, kDoBrowseSource, L"Out of memory");
    }
}

}  // namespace kestrow::foldbrow

namespace kestrow::win32 {

FolderChoice ShellFolderPicker::ChooseFolder(const FolderRequest& request) {
    foldbrow::BrowseOptions options;
    options.owner = owner_;
    options.startFolder = request.startFolder;
    options.offerSubfolders = true;
    options.includeSubfolders = request.includeSubfolders;
    FolderChoice choice;
    choice.path = foldbrow::DoBrowse(0, request.prompt, options);
    choice.displayName = options.displayName;
    choice.includeSubfolders = options.includeSubfolders;
    choice.outcome = options.notOnDisk        ? FolderChoice::Outcome::NotOnDisk
                     : choice.path.empty()    ? FolderChoice::Outcome::Cancelled
                                              : FolderChoice::Outcome::Folder;
    return choice;
}

}  // namespace kestrow::win32
