#include "FindFileEnumerator.h"

#include <windows.h>

#include <memory>

namespace kestrow::win32 {
namespace {

struct FindCloser {
    void operator()(HANDLE handle) const { FindClose(handle); }
};
using FindHandle = std::unique_ptr<void, FindCloser>;

constexpr DWORD kNotPlainFile =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | 0x8 /* volume label */;

// Paths near or past MAX_PATH need the extended-length prefix; relative
// or already-prefixed paths are left alone.
std::wstring ExtendedLengthPath(const std::wstring& path) {
    if (path.size() < MAX_PATH - 12 || path.rfind(L"\\\\?\\", 0) == 0) return path;
    if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
    if (path.size() > 2 && path[1] == L':' && path[2] == L'\\') return L"\\\\?\\" + path;
    return path;
}

}  // namespace

void FindFileEnumerator::ForEachPlainFile(const std::wstring& folderAndPattern,
                                          const std::function<void(const std::wstring&)>& onName) {
    WIN32_FIND_DATAW data{};
    FindHandle find(FindFirstFileExW(ExtendedLengthPath(folderAndPattern).c_str(), FindExInfoBasic, &data,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (find.get() == INVALID_HANDLE_VALUE) {
        find.release();
        return;
    }
    do {
        if ((data.dwFileAttributes & kNotPlainFile) == 0) onName(data.cFileName);
    } while (FindNextFileW(find.get(), &data));
}

}  // namespace kestrow::win32
