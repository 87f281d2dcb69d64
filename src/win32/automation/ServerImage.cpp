#include "automation/ServerImage.h"

#include <objbase.h>
#include <tlhelp32.h>

namespace kestrow::win32 {
namespace {

std::wstring RegistryDefault(const std::wstring& key) {
    wchar_t buffer[2048];
    DWORD size = sizeof(buffer);
    // An expandable value must be read unexpanded (else the call fails) and
    // is expanded here.
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                     nullptr, buffer, &size) != ERROR_SUCCESS)
        return std::wstring();
    wchar_t expanded[2048];
    const DWORD length = ExpandEnvironmentStringsW(buffer, expanded, 2048);
    return length > 0 && length <= 2048 ? expanded : buffer;
}

// The program of a command line: quoted, or up to the first space.
std::wstring ProgramOf(const std::wstring& command) {
    std::wstring path;
    if (!command.empty() && command[0] == L'"') {
        const size_t end = command.find(L'"', 1);
        path = command.substr(1, end == std::wstring::npos ? std::wstring::npos : end - 1);
    } else {
        path = command.substr(0, command.find(L' '));
    }
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::wstring LocalServerImage(const std::wstring& progId) {
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(progId.c_str(), &clsid))) return std::wstring();
    wchar_t text[64];
    if (!StringFromGUID2(clsid, text, 64)) return std::wstring();
    return ProgramOf(RegistryDefault(std::wstring(L"CLSID\\") + text + L"\\LocalServer32"));
}

std::vector<OwnedProcess> ProcessesOfImage(const std::wstring& fileName) {
    std::vector<OwnedProcess> found;
    const KernelHandle snapshot = OwnHandle(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot || fileName.empty()) return found;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (_wcsicmp(ProgramOf(std::wstring(L"\"") + entry.szExeFile + L"\"").c_str(), fileName.c_str()) != 0) continue;
        if (auto process = OwnedProcess::Open(entry.th32ProcessID)) found.push_back(std::move(*process));
    }
    return found;
}

}  // namespace kestrow::win32
