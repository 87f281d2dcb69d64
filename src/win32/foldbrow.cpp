// The shell's modal folder-browse dialog, through its wide-character entry
// points so that any folder name comes back unchanged.
#include "foldbrow.h"

#include <windows.h>
#include <shlobj.h>

#include <memory>

#include "RuntimeError.h"

namespace kestrow::foldbrow {
namespace {

struct ItemListFree {
    void operator()(ITEMIDLIST* list) const { CoTaskMemFree(list); }
};
using ItemList = std::unique_ptr<ITEMIDLIST, ItemListFree>;

// What DoBrowse returns when the user picks something that is not a folder
// of the file system (such as "This PC"): not empty, so the caller does not
// take it for a cancel, and no path that could exist, so no drafts are found.
constexpr const wchar_t* kNotAFileSystemFolder = L"::";

}  // namespace

std::wstring BrowseFolder(const std::wstring& prompt) { return DoBrowse(0, prompt); }

std::wstring DoBrowse(std::uint32_t flags, const std::wstring& prompt) {
    try {
        const std::wstring title = prompt;

        ITEMIDLIST* desktopRaw = nullptr;
        if (SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &desktopRaw) != S_OK) return std::wstring();
        const ItemList desktop(desktopRaw);

        std::wstring displayName(MAX_PATH, L' ');
        BROWSEINFOW info{};
        info.hwndOwner = nullptr;
        info.pidlRoot = desktop.get();
        info.pszDisplayName = displayName.data();
        info.lpszTitle = title.c_str();
        info.ulFlags = flags;
        info.lpfn = nullptr;
        info.lParam = 0;
        info.iImage = 0;

        const ItemList chosen(SHBrowseForFolderW(&info));
        if (!chosen) return std::wstring();

        std::wstring buffer(MAX_PATH, L' ');
        if (!SHGetPathFromIDListW(chosen.get(), buffer.data())) return kNotAFileSystemFolder;
        return TrimStringAtNull(buffer);
    } catch (const RuntimeError& error) {
        throw error.WithSource(kDoBrowseSource);
    } catch (const std::bad_alloc&) {
        throw RuntimeError(ErrorNumber::OutOfMemory, kDoBrowseSource, L"Out of memory");
    }
}

}  // namespace kestrow::foldbrow
