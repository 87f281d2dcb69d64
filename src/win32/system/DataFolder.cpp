#include "system/DataFolder.h"

#include <windows.h>
#include <shlobj.h>

namespace kestrow::win32 {
namespace {

std::wstring Environment(const wchar_t* name) {
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) return std::wstring();
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), size));
    return value;
}

std::wstring LocalAppData() {
    wchar_t* path = nullptr;
    std::wstring result;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &path)) && path) result = path;
    CoTaskMemFree(path);
    return result;
}

bool EnsureFolder(const std::wstring& path) {
    if (CreateDirectoryW(path.c_str(), nullptr)) return true;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::wstring KestrowDataFolder(const std::wstring& name) {
    std::wstring root = Environment(L"KESTROW_DATA_FOLDER");
    if (root.empty()) {
        const std::wstring appData = LocalAppData();
        if (appData.empty()) return std::wstring();
        root = appData + L"\\Kestrow";
    }
    if (!EnsureFolder(root)) return std::wstring();
    const std::wstring folder = root + L"\\" + name;
    return EnsureFolder(folder) ? folder : std::wstring();
}

}  // namespace kestrow::win32
