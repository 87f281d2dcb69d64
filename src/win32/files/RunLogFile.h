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
    // The last run the log holds, read from the end of the file: its rows
    // only, however many runs came before it.
    LastRun ReadLastRun();

    // Appends one line; true when it was written whole.
    bool Write(const std::wstring& line);

private:
    // Reads the header of a log of `size` bytes: its layout, or why it is none.
    Opened ReadHeader(LONGLONG size);

    KernelHandle file_;
    LogLayout layout_ = kNewLogLayout;
    unsigned long long sizeWhenOpened_ = 0;
    bool readOnly_ = false;  // opened by OpenToRead: nothing is written
};

// A draft's size and last-write time as the log records them; none when
// the draft cannot be read.
std::optional<DraftFacts> DraftFactsOnDisk(const std::wstring& path);

}  // namespace kestrow::win32
