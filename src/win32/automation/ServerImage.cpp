#include "automation/ServerImage.h"

#include <objbase.h>
#include <tlhelp32.h>

#include "common/CommandLineProgram.h"

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

// Whether a program of that name can be started: a path names a file (not
// a folder); a bare name is looked for where the system looks.
bool ProgramFileExists(const std::wstring& path) {
    if (path.find_first_of(L"\\/") == std::wstring::npos) {
        wchar_t found[MAX_PATH];
        return SearchPathW(nullptr, path.c_str(), nullptr, MAX_PATH, found, nullptr) > 0;
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::wstring LocalServerImage(const std::wstring& progId) {
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(progId.c_str(), &clsid))) return std::wstring();
    wchar_t text[64];
    if (!StringFromGUID2(clsid, text, 64)) return std::wstring();
    const std::wstring command = RegistryDefault(std::wstring(L"CLSID\\") + text + L"\\LocalServer32");
    return FileNameOf(ProgramOfCommandLine(command, ProgramFileExists));
}

std::vector<OwnedProcess> ProcessesOfImage(const std::wstring& fileName) {
    std::vector<OwnedProcess> found;
    const KernelHandle snapshot = OwnHandle(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot || fileName.empty()) return found;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (_wcsicmp(FileNameOf(entry.szExeFile).c_str(), fileName.c_str()) != 0) continue;
        if (auto process = OwnedProcess::Open(entry.th32ProcessID)) found.push_back(std::move(*process));
    }
    return found;
}

}  // namespace kestrow::win32
