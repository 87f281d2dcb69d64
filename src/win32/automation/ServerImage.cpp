#include "automation/ServerImage.h"

#include <objbase.h>
#include <tlhelp32.h>

#include "common/CommandLineProgram.h"

namespace kestrow::win32 {
namespace {

// A value of the key as written ("" for none): an expandable value must be
// read unexpanded (else the call fails).
std::wstring RegistryValue(const std::wstring& key, const wchar_t* name) {
    wchar_t buffer[2048];
    DWORD size = sizeof(buffer);
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                     nullptr, buffer, &size) != ERROR_SUCCESS)
        return std::wstring();
    return buffer;
}

std::wstring RegistryDefault(const std::wstring& key) { return RegistryValue(key, nullptr); }

std::wstring Expanded(const std::wstring& text) {
    wchar_t expanded[2048];
    const DWORD length = ExpandEnvironmentStringsW(text.c_str(), expanded, 2048);
    return length > 0 && length <= 2048 ? expanded : text;
}

}  // namespace

bool ProgramFileExists(const std::wstring& path) {
    if (path.find_first_of(L"\\/") == std::wstring::npos) {
        wchar_t found[MAX_PATH];
        return SearchPathW(nullptr, path.c_str(), nullptr, MAX_PATH, found, nullptr) > 0;
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

LocalServerRegistration ReadLocalServerRegistration(const std::wstring& progId) {
    LocalServerRegistration registration;
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(progId.c_str(), &clsid))) return registration;
    wchar_t text[64];
    if (!StringFromGUID2(clsid, text, 64)) return registration;
    registration.classId = text;
    registration.commandLine = RegistryDefault(std::wstring(L"CLSID\\") + text + L"\\LocalServer32");
    registration.program = ProgramOfCommandLine(Expanded(registration.commandLine), ProgramFileExists);
    const std::wstring appId = RegistryValue(std::wstring(L"CLSID\\") + text, L"AppID");
    registration.runsAsSetUser = !appId.empty() && !RegistryValue(L"AppID\\" + appId, L"RunAs").empty();
    return registration;
}

std::vector<ImageProcess> ProcessesOfImage(const std::wstring& fileName, WindowsSessions& sessions) {
    std::vector<ImageProcess> found;
    const KernelHandle snapshot = OwnHandle(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot || fileName.empty()) return found;
    sessions.Refresh();
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (_wcsicmp(FileNameOf(entry.szExeFile).c_str(), fileName.c_str()) != 0) continue;
        // One that cannot be opened is listed all the same: it counts as a
        // user's until its command line says otherwise.
        found.push_back(ImageProcess{entry.th32ProcessID, OwnedProcess::Watch(entry.th32ProcessID),
                                     sessions.Other(entry.th32ProcessID)});
    }
    return found;
}

}  // namespace kestrow::win32
