#pragma once
// The shell's modal folder-browse dialog.
#include <windows.h>

#include <cstdint>
#include <string>

#include "form/foldbrow.h"
#include "form/FolderPicker.h"

namespace kestrow::foldbrow {

// What the dialog is given beyond its prompt, and what it gives back.
struct BrowseOptions {
    HWND owner = nullptr;           // disabled while the dialog is open
    std::wstring startFolder;       // selected when the dialog opens
    bool offerSubfolders = false;   // show the "Include subfolders" check box
    bool includeSubfolders = false;  // in: its state at the start; out: at OK
    bool notOnDisk = false;          // out: the chosen item is no folder on disk
    std::wstring displayName;        // out: the chosen item's name
};

// The dialog with nothing but the prompt: the folder's path, "" when
// cancelled or when the chosen item is no folder on disk.
std::wstring BrowseFolder(const std::wstring& prompt);
std::wstring DoBrowse(std::uint32_t flags, const std::wstring& prompt, BrowseOptions& options);

}  // namespace kestrow::foldbrow

namespace kestrow::win32 {

// The main window's folder picker: the dialog owned by that window, with
// the check box, opening at the last folder chosen.
class ShellFolderPicker : public FolderPicker {
public:
    void SetOwner(HWND owner) { owner_ = owner; }
    FolderChoice ChooseFolder(const FolderRequest& request) override;

private:
    HWND owner_ = nullptr;
};

}  // namespace kestrow::win32
