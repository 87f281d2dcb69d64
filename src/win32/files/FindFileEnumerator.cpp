#include "files/FindFileEnumerator.h"

#include <windows.h>

#include <memory>
#include <vector>

#include "common/LongPath.h"
#include "common/RuntimeError.h"
#include "exports/ExportTemporary.h"
#include "listing/FolderEntry.h"
#include "listing/WildcardMatch.h"
#include "system/KernelHandle.h"
#include "system/SystemText.h"

namespace kestrow::win32 {
namespace {

struct FindCloser {
    void operator()(HANDLE handle) const { FindClose(handle); }
};
using FindHandle = std::unique_ptr<void, FindCloser>;

constexpr DWORD kVolumeLabel = 0x8;
// Neither these, nor a temporary file of Kestrow's own (an export being
// made, the copy a check works on), whatever its attributes, is listed.
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

// Entries read at once: as FIND_FIRST_EX_LARGE_FETCH asks for. In 8-byte
// units, as the entries are aligned so.
constexpr size_t kEntriesBuffer = 64 * 1024 / sizeof(std::uint64_t);

// The file a name leads to, through a symbolic link if it is one.
FileIdentity IdentityThrough(const std::wstring& path) {
    const KernelHandle file =
        OwnHandle(CreateFileW(ExtendedLengthPath(path).c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !GetFileInformationByHandle(file.get(), &info)) return FileIdentity{};
    return FileIdentity{info.dwVolumeSerialNumber,
                        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

// The serial number of the volume `directory` lies on; 0 when it does not
// tell one, and then only the index tells files apart. None when the
// volume's 64-bit file ids do not tell files apart (ReFS's are 128 bits,
// and their lower half need not be unique): its files are then not known
// by id, and two names are never taken for one file.
std::optional<DWORD> VolumeOf(HANDLE directory) {
    DWORD volume = 0;
    wchar_t fileSystem[MAX_PATH + 1] = L"";
    if (!GetVolumeInformationByHandleW(directory, nullptr, 0, &volume, nullptr, nullptr, fileSystem, MAX_PATH + 1))
        return 0;
    if (_wcsicmp(fileSystem, L"ReFS") == 0) return std::nullopt;
    return volume;
}

KernelHandle OpenForListing(const std::wstring& folder) {
    return OwnHandle(CreateFileW(ExtendedLengthPath(folder).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

}  // namespace

void FindFileEnumerator::BeginListing(const std::wstring& folder) {
    listingFolder_ = folder;
    const KernelHandle directory = OpenForListing(folder);
    listingVolume_ = directory ? VolumeOf(directory.get()) : std::optional<DWORD>(0);
}

void FindFileEnumerator::ForEachEntryWithFile(
    const std::wstring& folderAndPattern,
    const std::function<void(const std::wstring&, EntryKind, const FileIdentity&)>& onEntry) {
    const size_t slash = folderAndPattern.find_last_of(L'\\');
    const std::wstring folder = folderAndPattern.substr(0, slash + 1);
    const std::wstring pattern = folderAndPattern.substr(slash + 1);
    const KernelHandle directory = OpenForListing(folder);
    if (!directory) {
        // As the enumeration of a name in it would: the folder is the path.
        const DWORD error = GetLastError();
        ThrowUnreadable(error == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : error);
    }
    // A walk enters no folder of another volume (no junction, mount point
    // or link), so every folder of a listing lies on its first one's.
    const bool inListing = !listingFolder_.empty() && folder.compare(0, listingFolder_.size(), listingFolder_) == 0;
    const std::optional<DWORD> volume = inListing ? listingVolume_ : VolumeOf(directory.get());
    std::vector<std::uint64_t> buffer(kEntriesBuffer);
    FILE_INFO_BY_HANDLE_CLASS request = FileIdBothDirectoryRestartInfo;
    for (;;) {
        if (!GetFileInformationByHandleEx(directory.get(), request, buffer.data(),
                                          static_cast<DWORD>(buffer.size() * sizeof(buffer[0])))) {
            const DWORD error = GetLastError();
            // The end of the folder; a list cut short otherwise is an error.
            if (error == ERROR_NO_MORE_FILES || error == ERROR_FILE_NOT_FOUND) return;
            ThrowUnreadable(error);
        }
        request = FileIdBothDirectoryInfo;
        const auto* bytes = reinterpret_cast<const unsigned char*>(buffer.data());
        for (;;) {
            const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(bytes);
            const std::wstring name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
            const DWORD attributes = entry->FileAttributes;
            // The reparse tag is where the extended attributes' size would be.
            const DWORD tag = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? entry->EaSize : 0;
            if (!IsDotEntry(name.c_str()) && WildcardMatch(pattern, name)) {
                if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
                    if (FolderMayBeEntered(attributes, tag)) onEntry(name, EntryKind::Folder, FileIdentity{});
                } else if (!(attributes & kNotPlainFile) && !TemporaryExportOwner(name)) {
                    const auto index = static_cast<std::uint64_t>(entry->FileId.QuadPart);
                    const FileIdentity file = !volume                         ? FileIdentity{}
                                              : tag == IO_REPARSE_TAG_SYMLINK ? IdentityThrough(folder + name)
                                                                              : FileIdentity{*volume, index};
                    onEntry(name, EntryKind::PlainFile, file);
                }
            }
            if (entry->NextEntryOffset == 0) break;
            bytes += entry->NextEntryOffset;
        }
    }
}

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
        } else if (!(attributes & kNotPlainFile) && !TemporaryExportOwner(data.cFileName)) {
            onEntry(data.cFileName, EntryKind::PlainFile);
        }
    } while (FindNextFileW(find.get(), &data));
    // A list cut short is an error, not the end of the folder.
    if (const DWORD error = GetLastError(); error != ERROR_NO_MORE_FILES) ThrowUnreadable(error);
}

}  // namespace kestrow::win32
