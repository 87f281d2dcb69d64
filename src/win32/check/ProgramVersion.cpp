#include "check/ProgramVersion.h"

#include <windows.h>

#include <cwchar>
#include <vector>

#include "system/SystemLibrary.h"

namespace kestrow::win32 {
namespace {

// version.dll is no library Windows always keeps loaded: it is taken from
// the system folder when a check needs it, never imported.
using SizeFunction = DWORD WINAPI(LPCWSTR, LPDWORD);
using InfoFunction = BOOL WINAPI(LPCWSTR, DWORD, DWORD, LPVOID);
using QueryFunction = BOOL WINAPI(LPCVOID, LPCWSTR, LPVOID*, PUINT);

// A string of the resource's first language; "" when it has none.
std::wstring StringOf(QueryFunction* query, const std::vector<BYTE>& block, const wchar_t* name) {
    struct Translation {
        WORD language, codePage;
    }* translations = nullptr;
    UINT size = 0;
    if (!query(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations), &size) ||
        size < sizeof(Translation))
        return std::wstring();
    wchar_t key[64];
    std::swprintf(key, 64, L"\\StringFileInfo\\%04x%04x\\%ls", translations[0].language, translations[0].codePage, name);
    wchar_t* value = nullptr;
    UINT length = 0;
    if (!query(block.data(), key, reinterpret_cast<void**>(&value), &length) || !value) return std::wstring();
    return std::wstring(value, wcsnlen(value, length));
}

}  // namespace

ProgramVersion ReadProgramVersion(const std::wstring& path) {
    ProgramVersion version;
    const SystemLibrary library(L"version.dll");
    auto* const sizeOf = library.Find<SizeFunction>("GetFileVersionInfoSizeW");
    auto* const infoOf = library.Find<InfoFunction>("GetFileVersionInfoW");
    auto* const query = library.Find<QueryFunction>("VerQueryValueW");
    if (!sizeOf || !infoOf || !query) return version;
    DWORD ignored = 0;
    const DWORD size = sizeOf(path.c_str(), &ignored);
    if (size == 0) return version;
    std::vector<BYTE> block(size);
    if (!infoOf(path.c_str(), 0, size, block.data())) return version;
    // The numbers are what the file's Properties show as its file version;
    // the string beside them may say anything.
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (query(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed &&
        length >= sizeof(VS_FIXEDFILEINFO)) {
        version.fileVersion = std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." +
                              std::to_wstring(LOWORD(fixed->dwFileVersionMS)) + L"." +
                              std::to_wstring(HIWORD(fixed->dwFileVersionLS)) + L"." +
                              std::to_wstring(LOWORD(fixed->dwFileVersionLS));
    } else {
        version.fileVersion = StringOf(query, block, L"FileVersion");
    }
    version.productName = StringOf(query, block, L"ProductName");
    return version;
}

}  // namespace kestrow::win32
