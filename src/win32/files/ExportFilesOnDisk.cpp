#include "files/ExportFilesOnDisk.h"

#include <windows.h>

#include <algorithm>

#include "common/LongPath.h"
#include "system/FileTime.h"
#include "system/FindHandle.h"
#include "system/Process.h"
#include "system/SystemText.h"

namespace kestrow::win32 {
namespace {

std::wstring Extended(const std::wstring& path) { return ExtendedLengthPath(path); }

// "C:" and "\\server\share" are there or not; nothing above them is made.
bool IsRoot(const std::wstring& folder) {
    if (folder.size() == 2 && folder[1] == L':') return true;
    return folder.rfind(L"\\\\", 0) == 0 && folder.find(L'\\', folder.find(L'\\', 2) + 1) == std::wstring::npos;
}

// This computer's full name, as other computers on the network know it.
std::wstring ThisComputerName() {
    wchar_t name[256];
    DWORD size = 256;
    if (GetComputerNameExW(ComputerNameDnsFullyQualified, name, &size)) return std::wstring(name, size);
    size = 256;
    return GetComputerNameW(name, &size) ? std::wstring(name, size) : std::wstring();
}

std::chrono::seconds SinceLastWrite(const FILETIME& lastWrite) {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    // A file time ahead of this computer's clock (another's clock) counts as
    // written just now.
    const auto ticks = static_cast<std::int64_t>(FileTimeNumber(now) - FileTimeNumber(lastWrite));
    return std::chrono::seconds(std::max<std::int64_t>(ticks, 0) / 10'000'000);
}

}  // namespace

ExportRun ThisKestrowRun() {
    const ProcessIdentity self = ThisProcess();
    return ExportRun{ComputerMark(ThisComputerName()), self.id, self.creationTime};
}

ExportFilesOnDisk::ExportFilesOnDisk() : run_(ThisKestrowRun()) {}

void ExportFilesOnDisk::MakeFolder(const std::wstring& folder) {
    const DWORD attributes = GetFileAttributesW(Extended(folder).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return;
        SetLastError(ERROR_DIRECTORY);
        throw LastErrorAs(L"The exports cannot go to " + folder + L", which is a file");
    }
    const std::wstring parent = FolderOfFile(folder);
    if (!parent.empty() && !IsRoot(folder)) MakeFolder(parent);
    if (!CreateDirectoryW(Extended(folder).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        throw LastErrorAs(L"The folder for the exports could not be made (" + folder + L")");
}

void ExportFilesOnDisk::RemoveLeftovers(const std::wstring& folder) noexcept {
    WIN32_FIND_DATAW entry{};
    const FindHandle find = OwnSearch(FindFirstFileExW(Extended(folder + L"\\" + kTemporaryExportPattern).c_str(),
                                                       FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0));
    if (!find) return;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::optional<ExportRun> owner = TemporaryExportOwner(entry.cFileName);
        // Only a file of Kestrow's whose run has ended: a run that still
        // runs (this one included, or another computer's) may be about to
        // move it in place.
        if (!owner || !IsLeftOverExport(*owner, run_, SinceLastWrite(entry.ftLastWriteTime), [](const ExportRun& run) {
                return StillRuns(ProcessIdentity{run.process, run.started});
            }))
            continue;
        DeleteFileW(Extended(folder + L"\\" + entry.cFileName).c_str());
    } while (FindNextFileW(find.get(), &entry));
}

std::wstring ExportFilesOnDisk::TemporaryFor(const std::wstring& target) {
    return TemporaryExportPath(target, run_, ++attempts_);
}

std::uint64_t ExportFilesOnDisk::Replace(const std::wstring& temporary, const std::wstring& target) {
    WIN32_FILE_ATTRIBUTE_DATA made{};
    if (!GetFileAttributesExW(Extended(temporary).c_str(), GetFileExInfoStandard, &made))
        throw LastErrorAs(L"Solid Edge said it saved the export, but its file cannot be found (" + temporary +
                          L"); " + target + L" is as it was");
    const std::uint64_t size = (static_cast<std::uint64_t>(made.nFileSizeHigh) << 32) | made.nFileSizeLow;
    if (size == 0) {
        Remove(temporary);
        SetLastError(ERROR_HANDLE_EOF);
        throw LastErrorAs(L"Solid Edge said it saved the export, but wrote an empty file; " + target +
                          L" is as it was");
    }
    // Windows refuses to rename over a read-only file; Wine does it. The
    // user who made it read-only keeps it either way.
    const DWORD existing = GetFileAttributesW(Extended(target).c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY)) {
        Remove(temporary);
        SetLastError(ERROR_ACCESS_DENIED);
        throw LastErrorAs(target + L" is read-only, so it was not replaced; it is as it was");
    }
    if (!MoveFileExW(Extended(temporary).c_str(), Extended(target).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const RuntimeError error = LastErrorAs(target + L" could not be replaced; it is as it was");
        Remove(temporary);
        throw error;
    }
    return size;
}

void ExportFilesOnDisk::Remove(const std::wstring& temporary) noexcept { DeleteFileW(Extended(temporary).c_str()); }

}  // namespace kestrow::win32
