#pragma once
// The unattended run's log on disk. It is opened for this run alone (a
// second Kestrow writing the same log is refused), only if it is new, empty
// or already a Kestrow log, so that /log can never append to a drawing or
// any other file. New logs start with a UTF-8 byte-order mark, so that a
// spreadsheet reads their folder names right.
#include <windows.h>

#include <optional>
#include <string>

#include "system/KernelHandle.h"
#include "unattended/ResumePlan.h"
#include "unattended/RunLog.h"

namespace kestrow::win32 {

class RunLogFile {
public:
    enum class Opened {
        Ok,
        NotALog,  // the file exists and its first line is no Kestrow log header
        InUse,    // another program, say another Kestrow, has it open for writing
        Failed,   // see GetLastError
    };
    Opened Open(const std::wstring& path);
    // Reads the log as Open would find it, for a run that only says what it
    // would do: nothing is created or written. A log that does not exist
    // yet is one that would be new.
    Opened OpenToRead(const std::wstring& path);

    LogLayout Layout() const { return layout_; }
    // The log as it was when opened, for the resume decisions.
    const std::wstring& Text() const { return text_; }
    void ForgetText() { std::wstring().swap(text_); }

    // Appends one line; true when it was written whole.
    bool Write(const std::wstring& line);

private:
    // The header and the rows of an existing log of `size` bytes.
    Opened ReadExisting(LONGLONG size, std::string& bytes);

    KernelHandle file_;
    LogLayout layout_ = kNewLogLayout;
    std::wstring text_;
};

// A draft's size and last-write time as the log records them; none when
// the draft cannot be read.
std::optional<DraftFacts> DraftFactsOnDisk(const std::wstring& path);

}  // namespace kestrow::win32
