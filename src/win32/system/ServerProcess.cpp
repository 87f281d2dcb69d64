#include "system/ServerProcess.h"

#include <objbase.h>
#include <psapi.h>
#include <tlhelp32.h>

#include "system/FileTime.h"

namespace kestrow::win32 {
namespace {

constexpr DWORD kRights = SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_READ;

std::wstring RegistryDefault(const std::wstring& key) {
    wchar_t buffer[2048];
    DWORD size = sizeof(buffer);
    // An expandable value must be read unexpanded (else the call fails) and
    // is expanded here.
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                     nullptr, buffer, &size) != ERROR_SUCCESS)
        return std::wstring();
    wchar_t expanded[2048];
    const DWORD length = ExpandEnvironmentStringsW(buffer, expanded, 2048);
    return length > 0 && length <= 2048 ? expanded : buffer;
}

// The program of a command line: quoted, or up to the first space.
std::wstring ProgramOf(const std::wstring& command) {
    std::wstring path;
    if (!command.empty() && command[0] == L'"') {
        const size_t end = command.find(L'"', 1);
        path = command.substr(1, end == std::wstring::npos ? std::wstring::npos : end - 1);
    } else {
        path = command.substr(0, command.find(L' '));
    }
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

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

std::wstring LocalServerImage(const std::wstring& progId) {
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(progId.c_str(), &clsid))) return std::wstring();
    wchar_t text[64];
    if (!StringFromGUID2(clsid, text, 64)) return std::wstring();
    return ProgramOf(RegistryDefault(std::wstring(L"CLSID\\") + text + L"\\LocalServer32"));
}

std::vector<OwnedProcess> ProcessesOfImage(const std::wstring& fileName) {
    std::vector<OwnedProcess> found;
    const KernelHandle snapshot = OwnHandle(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot || fileName.empty()) return found;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (_wcsicmp(ProgramOf(std::wstring(L"\"") + entry.szExeFile + L"\"").c_str(), fileName.c_str()) != 0) continue;
        if (auto process = OwnedProcess::Open(entry.th32ProcessID)) found.push_back(std::move(*process));
    }
    return found;
}

}  // namespace kestrow::win32
