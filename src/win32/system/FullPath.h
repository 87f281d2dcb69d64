#pragma once
// A path as given on a command line, made full from the current folder.
#include <windows.h>

#include <string>

namespace kestrow::win32 {

inline std::wstring FullPath(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    full.resize(GetFullPathNameW(path.c_str(), size, full.data(), nullptr));
    return full;
}

}  // namespace kestrow::win32
