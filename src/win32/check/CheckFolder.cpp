#include "check/CheckFolder.h"

#include <windows.h>

#include <vector>

#include "common/CommandLineProgram.h"
#include "common/LongPath.h"
#include "exports/ExportTargets.h"
#include "exports/ExportTemporary.h"
#include "files/ExportFilesOnDisk.h"
#include "system/FindHandle.h"
#include "system/KernelHandle.h"
#include "system/SystemText.h"

namespace kestrow::win32 {
namespace {

// Everything under `folder`, then the folder itself; what cannot go (a file
// a CAD process that could not be ended still holds) stays.
void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    const FindHandle find = OwnSearch(FindFirstFileW(ExtendedLengthPath(folder + L"\\*").c_str(), &found));
    if (find) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                SetFileAttributesW(ExtendedLengthPath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(ExtendedLengthPath(path).c_str());
            }
        } while (FindNextFileW(find.get(), &found));
    }
    RemoveDirectoryW(ExtendedLengthPath(folder).c_str());
}

// The files of `folder` whose names match `pattern`, by full path.
std::vector<std::wstring> FilesLike(const std::wstring& folder, const std::wstring& pattern) {
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW found{};
    const FindHandle find = OwnSearch(FindFirstFileW(ExtendedLengthPath(folder + L"\\" + pattern).c_str(), &found));
    if (!find) return files;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(folder + L"\\" + found.cFileName);
    } while (FindNextFileW(find.get(), &found));
    return files;
}

void RemoveFile(const std::wstring& path) {
    SetFileAttributesW(ExtendedLengthPath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(ExtendedLengthPath(path).c_str());
}

}  // namespace

CheckFolder::~CheckFolder() {
    if (!path_.empty()) RemoveTree(path_);
    // The copy, and what was saved from it beside it.
    if (!besideStem_.empty())
        for (const std::wstring& file : FilesLike(FolderOfFile(besideStem_), FileNameOf(besideStem_) + L".*"))
            RemoveFile(file);
}

void CheckFolder::Make() {
    if (!path_.empty()) return;
    wchar_t temporary[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temporary);
    if (length == 0 || length > MAX_PATH) throw LastErrorAs(L"The temporary folder is not known");
    // Named after this process and the moment, so that two checks at once
    // never share one.
    const std::wstring path = std::wstring(temporary) + L"Kestrow check " + std::to_wstring(GetCurrentProcessId()) +
                              L"-" + std::to_wstring(GetTickCount64());
    if (!CreateDirectoryW(ExtendedLengthPath(path).c_str(), nullptr))
        throw LastErrorAs(L"A folder for the check could not be made in " + std::wstring(temporary));
    path_ = path;
}

std::wstring CheckFolder::CopyIn(const std::wstring& draft) {
    // Named as Kestrow's temporary files are, after this run: no listing of
    // drafts takes it, whatever the CAD system's store does to it, and a
    // later run removes it if this one is ended before it could.
    const std::wstring beside = TemporaryExportPath(draft, ThisKestrowRun(), 0);
    ExportFilesOnDisk().RemoveLeftovers(FolderOfFile(draft));
    if (CopyFileW(ExtendedLengthPath(draft).c_str(), ExtendedLengthPath(beside).c_str(), TRUE)) {
        besideStem_ = beside.substr(0, beside.find_last_of(L'.'));
        // Writable whatever the draft's attributes, so that it takes the CAD
        // system's store; written now, so that its age is its own.
        SetFileAttributesW(ExtendedLengthPath(beside).c_str(), FILE_ATTRIBUTE_NORMAL);
        const KernelHandle copy = OwnHandle(CreateFileW(ExtendedLengthPath(beside).c_str(), FILE_WRITE_ATTRIBUTES,
                                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                        nullptr, OPEN_EXISTING, 0, nullptr));
        FILETIME now{};
        GetSystemTimeAsFileTime(&now);
        if (copy) SetFileTime(copy.get(), nullptr, nullptr, &now);
        return beside;
    }
    Make();
    const std::wstring copy = path_ + L"\\" + FileNameOf(draft);
    if (!CopyFileW(ExtendedLengthPath(draft).c_str(), ExtendedLengthPath(copy).c_str(), TRUE))
        throw LastErrorAs(L"The sample could not be copied from " + draft);
    SetFileAttributesW(ExtendedLengthPath(copy).c_str(), FILE_ATTRIBUTE_NORMAL);
    return copy;
}

std::wstring CheckFolder::PictureFolder() {
    try {
        Make();
    } catch (const RuntimeError&) {
        return std::wstring();
    }
    const std::wstring folder = path_ + L"\\dialogs";
    const bool made = CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
    return made ? folder : std::wstring();
}

}  // namespace kestrow::win32
