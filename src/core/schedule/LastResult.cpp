#include "schedule/LastResult.h"

#include <cwchar>

#include "unattended/UnattendedRun.h"

namespace kestrow {
namespace {

// The Task Scheduler's own results (SCHED_S_*), which are no exit code.
constexpr std::int64_t kTaskRunning = 0x41301;
constexpr std::int64_t kTaskHasNotRun = 0x41303;
constexpr std::int64_t kTaskTerminated = 0x41306;

}  // namespace

std::wstring LastResultText(std::int64_t code, const std::wstring& systemText) {
    switch (code) {
        case ExitCode::AllStored: return L"every draft stored";
        case ExitCode::SomeNotStored:
            return L"some drafts not stored, exports failed or subfolders unread (see the log)";
        case ExitCode::ServerFailed:
            return L"Solid Edge was already running or still starting, could not be started or kept failing (see the log)";
        case ExitCode::NothingTouched:
            return L"refused: folder missing or unreadable, log not writable, or the database refused";
        case ExitCode::KestrowFailed: return L"Kestrow itself failed";
        case ExitCode::DatabaseGone: return L"the night's database could not be reached (see the log)";
        case kTaskRunning: return L"running now";
        case kTaskHasNotRun: return L"has not run yet";
        case kTaskTerminated: return L"ended by a user";
        default: break;
    }
    wchar_t hex[16];
    swprintf(hex, 16, L"0x%08llX", static_cast<unsigned long long>(code) & 0xFFFFFFFFull);
    return std::wstring(L"ended with code ") + hex + (systemText.empty() ? L"" : L": " + systemText);
}

}  // namespace kestrow
