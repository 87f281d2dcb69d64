#include "system/Process.h"

#include <psapi.h>

#include "system/FileTime.h"

namespace kestrow::win32 {
namespace {

constexpr DWORD kRights = SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_READ;

}  // namespace

std::optional<ProcessIdentity> IdentityOf(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return std::nullopt;
    return ProcessIdentity{GetProcessId(process), FileTimeNumber(created)};
}

bool StillRuns(const ProcessIdentity& process) {
    const KernelHandle handle(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, process.id));
    if (!handle) return GetLastError() == ERROR_ACCESS_DENIED;
    const std::optional<ProcessIdentity> identity = IdentityOf(handle.get());
    if (!identity) return true;
    return identity->creationTime == process.creationTime && WaitForSingleObject(handle.get(), 0) == WAIT_TIMEOUT;
}

ProcessIdentity ThisProcess() { return IdentityOf(GetCurrentProcess()).value_or(ProcessIdentity{GetCurrentProcessId(), 0}); }

EndingJob::EndingJob() : job_(CreateJobObjectW(nullptr, nullptr)) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job_ && !SetInformationJobObject(job_.get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits)))
        job_.reset();
}

bool EndingJob::Add(const OwnedProcess& process) const {
    if (!job_) return false;
    // Joining a job takes a right the held handle does not have; the new
    // handle must reach the same process.
    const KernelHandle joining(OpenProcess(PROCESS_SET_QUOTA | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION,
                                           FALSE, process.Identity().id));
    if (!joining || IdentityOf(joining.get()) != process.Identity()) return false;
    return AssignProcessToJobObject(job_.get(), joining.get()) != FALSE;
}

std::optional<OwnedProcess> OwnedProcess::Watch(DWORD id) {
    KernelHandle handle(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_READ, FALSE, id));
    if (!handle) return std::nullopt;
    const std::optional<ProcessIdentity> identity = IdentityOf(handle.get());
    if (!identity) return std::nullopt;
    return OwnedProcess(std::move(handle), *identity);
}

std::optional<OwnedProcess> OwnedProcess::Open(DWORD id, std::optional<std::uint64_t> expectedCreation) {
    KernelHandle handle(OpenProcess(kRights, FALSE, id));
    if (!handle) return std::nullopt;
    const std::optional<ProcessIdentity> identity = IdentityOf(handle.get());
    if (!identity || (expectedCreation && identity->creationTime != *expectedCreation)) return std::nullopt;
    return OwnedProcess(std::move(handle), *identity);
}

bool OwnedProcess::WaitForEnd(DWORD milliseconds) const {
    return WaitForSingleObject(handle_.get(), milliseconds) == WAIT_OBJECT_0;
}

bool OwnedProcess::End(DWORD milliseconds) const {
    if (WaitForEnd(0)) return true;
    TerminateProcess(handle_.get(), 1);
    return WaitForEnd(milliseconds);
}

std::optional<std::uint64_t> OwnedProcess::MemoryBytes() const {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(handle_.get(), &counters, sizeof(counters))) return std::nullopt;
    return counters.PagefileUsage;
}

}  // namespace kestrow::win32
