#pragma once
// Processes known by id and creation time together: an id alone may already
// belong to another process. Kestrow holds the CAD system's processes this
// way, and names its own runs by them.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "system/KernelHandle.h"

namespace kestrow::win32 {

struct ProcessIdentity {
    DWORD id = 0;
    std::uint64_t creationTime = 0;  // the process's FILETIME as one number
    bool operator==(const ProcessIdentity&) const = default;
};

// An open handle to one process, held from the moment the process was found
// so that it stays the same process for as long as it is held.
class OwnedProcess {
public:
    // Empty when the process cannot be opened to watch and end it, or when it
    // is not the process of `expectedCreation` (its id was taken again).
    static std::optional<OwnedProcess> Open(DWORD id, std::optional<std::uint64_t> expectedCreation = std::nullopt);
    // Open only to look at: whether it runs, what it was started with. It
    // cannot be ended through this one.
    static std::optional<OwnedProcess> Watch(DWORD id);

    const ProcessIdentity& Identity() const { return identity_; }
    bool Running() const { return !WaitForEnd(0); }
    bool WaitForEnd(DWORD milliseconds) const;
    // Ends the process and waits up to `milliseconds` for it to be gone.
    bool End(DWORD milliseconds) const;
    // What the process has committed (PagefileUsage).
    std::optional<std::uint64_t> MemoryBytes() const;
    HANDLE Handle() const { return handle_.get(); }

private:
    OwnedProcess(KernelHandle handle, ProcessIdentity identity) : handle_(std::move(handle)), identity_(identity) {}
    KernelHandle handle_;
    ProcessIdentity identity_;
};

// A job that ends every process in it once its last handle is closed: with
// Kestrow itself, however Kestrow ends.
class EndingJob {
public:
    EndingJob();
    // False when the process cannot join (already in a job that forbids it).
    bool Add(const OwnedProcess& process) const;

private:
    KernelHandle job_;
};

std::optional<ProcessIdentity> IdentityOf(HANDLE process);
ProcessIdentity ThisProcess();
// Whether the process of `process` (id and creation time) still runs. Only
// looked at: one that may not be opened from here, such as a Kestrow run as
// administrator, counts as running, so that nothing of it is taken for left
// over.
bool StillRuns(const ProcessIdentity& process);

}  // namespace kestrow::win32
