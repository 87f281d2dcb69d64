#pragma once
// The folder picker's procedures. TrimStringAtNull is portable; BrowseFolder
// and DoBrowse need the Windows shell and live in the Win32 layer.
#include <cstdint>
#include <string>

namespace kestrow::foldbrow {

inline const wchar_t* const kDoBrowseSource = L"FolderBrowse:DoBrowse";
inline const wchar_t* const kTrimSource = L"FolderBrowse:TrimStringAtNull";

// The text up to its first NUL; a text without NUL comes back unchanged.
// A NUL beyond position 32767 raises the overflow error, tagged with this
// procedure's source.
std::wstring TrimStringAtNull(const std::wstring& text);

std::wstring BrowseFolder(const std::wstring& prompt);
std::wstring DoBrowse(std::uint32_t flags, const std::wstring& prompt);

}  // namespace kestrow::foldbrow
