#pragma once
// The common dialog that opens a file: one existing file of a kind, chosen
// by the user.
#include <windows.h>

#include <optional>
#include <string>

namespace kestrow::win32 {

struct FileRequest {
    std::wstring title;
    std::wstring kind;       // "Solid Edge drafts"
    std::wstring pattern;    // "*.dft"
    std::wstring folder;     // where the dialog opens; "" for the system's choice
};

// The file chosen, in full; none when the user cancelled. Raises
// RuntimeError when the dialog cannot be shown.
std::optional<std::wstring> ChooseFileToOpen(HWND owner, const FileRequest& request);

}  // namespace kestrow::win32
