#pragma once
// The files of a report: logs read whole while a run may still append to
// them, the names a wildcard stands for, and where a page may be written.
#include <optional>
#include <string>
#include <vector>

namespace kestrow::win32 {

struct LogBytes {
    std::string bytes;
    bool beingWritten = false;  // another program (a Kestrow still running) has it open for writing
};
// None when the file cannot be read: see GetLastError.
std::optional<LogBytes> ReadLogForReport(const std::wstring& path);

// The files (not folders) a name with * or ? in its last part stands for,
// sorted; a name without them, as it is.
std::vector<std::wstring> FilesMatching(const std::wstring& name);

// Whether a page may be written at `path`: nothing is there, or an empty
// file, or a page (an earlier report's). Anything else, a log given by
// mistake among them, is never written over.
bool MayHoldPage(const std::wstring& path);

}  // namespace kestrow::win32
