#pragma once
// The folder picker's portable helper. The shell dialog itself, BrowseFolder
// and DoBrowse, lives in the Win32 layer (ShellFolderDialog.h).
#include <cstdint>
#include <string>

namespace kestrow::foldbrow {

inline const wchar_t* const kDoBrowseSource = L"FolderBrowse:DoBrowse";
inline const wchar_t* const kTrimSource = L"FolderBrowse:TrimStringAtNull";

// The text up to its first NUL; a text without NUL comes back unchanged.
// A NUL beyond position 32767 raises the overflow error, tagged with this
// procedure's source.
std::wstring TrimStringAtNull(const std::wstring& text);

}  // namespace kestrow::foldbrow
