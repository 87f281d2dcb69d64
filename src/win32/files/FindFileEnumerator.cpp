#include "files/FindFileEnumerator.h"

#include <windows.h>

#include <memory>

#include "common/LongPath.h"
#include "common/RuntimeError.h"
#include "listing/FolderEntry.h"
#include "system/SystemText.h"

namespace kestrow::win32 {
namespace {

struct FindCloser {
    void operator()(HANDLE handle) const { FindClose(handle); }
};
using FindHandle = std::unique_ptr<void, FindCloser>;

constexpr DWORD kVolumeLabel = 0x8;
constexpr DWORD kNotPlainFile = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | kVolumeLabel;

bool IsDotEntry(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

[[noreturn]] void ThrowUnreadable(DWORD error) {
    const HRESULT hr = HRESULT_FROM_WIN32(error);
    std::wstring text = SystemMessage(hr);
    if (text.empty()) text = L"The folder could not be read";
    throw RuntimeError(hr, kProgramSource, text);
}

}  // namespace

void FindFileEnumerator::ForEachEntry(const std::wstring& folderAndPattern,
                                      const std::function<void(const std::wstring&, EntryKind)>& onEntry) {
    WIN32_FIND_DATAW data{};
    FindHandle find(FindFirstFileExW(ExtendedLengthPath(folderAndPattern).c_str(), FindExInfoBasic, &data,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (find.get() == INVALID_HANDLE_VALUE) {
        find.release();
        const DWORD error = GetLastError();
        // The folder is there and nothing in it matches.
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) return;
        ThrowUnreadable(error);
    }
    do {
        const DWORD attributes = data.dwFileAttributes;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            // The reparse tag is in dwReserved0 when the attributes name one.
            const DWORD tag = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? data.dwReserved0 : 0;
            if (FolderMayBeEntered(attributes, tag) && !IsDotEntry(data.cFileName))
                onEntry(data.cFileName, EntryKind::Folder);
        } else if (!(attributes & kNotPlainFile)) {
            onEntry(data.cFileName, EntryKind::PlainFile);
        }
    } while (FindNextFileW(find.get(), &data));
    // A list cut short is an error, not the end of the folder.
    if (const DWORD error = GetLastError(); error != ERROR_NO_MORE_FILES) ThrowUnreadable(error);
}

}  // namespace kestrow::win32
