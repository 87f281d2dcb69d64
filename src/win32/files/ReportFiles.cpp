#include "files/ReportFiles.h"

#include <windows.h>

#include <algorithm>
#include <cctype>

#include "common/LongPath.h"
#include "system/KernelHandle.h"

namespace kestrow::win32 {
namespace {

KernelHandle OpenToRead(const std::wstring& path, DWORD share) {
    return OwnHandle(CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool ReadAll(HANDLE file, std::string& bytes) {
    char buffer[1 << 16];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, buffer, sizeof(buffer), &read, nullptr)) return false;
        if (read == 0) return true;
        bytes.append(buffer, read);
    }
}

}  // namespace

std::optional<LogBytes> ReadLogForReport(const std::wstring& path) {
    LogBytes log;
    // A handle that denies writers cannot be had while one writes: that
    // tells whether a run is writing the log now. It is let go at once and
    // the log read beside writers, so that a run starting meanwhile is not
    // refused its log because of a report.
    log.beingWritten = !OpenToRead(path, FILE_SHARE_READ) && GetLastError() == ERROR_SHARING_VIOLATION;
    const KernelHandle file = OpenToRead(path, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!file) return std::nullopt;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.get(), &size)) log.bytes.reserve(static_cast<size_t>(size.QuadPart));
    if (!ReadAll(file.get(), log.bytes)) return std::nullopt;
    return log;
}

std::vector<std::wstring> FilesMatching(const std::wstring& name) {
    const size_t slash = name.find_last_of(L"\\/");
    const size_t last = slash == std::wstring::npos ? 0 : slash + 1;
    if (name.find_first_of(L"*?", last) == std::wstring::npos) return {name};
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileExW(ExtendedLengthPath(name).c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                     nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(name.substr(0, last) + found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(files.begin(), files.end());
    return files;
}

bool MayHoldPage(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(ExtendedLengthPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        // Nothing there: a folder that is missing too is for the write to say.
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    const KernelHandle file = OpenToRead(path, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!file) return false;
    char start[64] = {};
    DWORD read = 0;
    if (!ReadFile(file.get(), start, sizeof(start), &read, nullptr)) return false;
    std::string text(start, read);
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return read == 0 || text.rfind("<!doctype html", 0) == 0;
}

}  // namespace kestrow::win32
