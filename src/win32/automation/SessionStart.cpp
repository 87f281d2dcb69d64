#include "automation/SessionStart.h"

#include <algorithm>

#include "automation/ComAutomation.h"
#include "automation/ServerImage.h"
#include "automation/SessionRecords.h"
#include "common/RuntimeError.h"

namespace kestrow::win32 {
namespace {

constexpr const wchar_t* kTurnName = L"Kestrow.SessionStart";
// How often a pending activation looks for its server's process.
constexpr ULONGLONG kLookIntervalMs = 250;
// How long a process that failed its start gets to go, and an ended one to be gone.
constexpr DWORD kFailedGraceMs = 3000;
constexpr DWORD kEndWaitMs = 10000;
// A server that is unavailable or stopping is asked again for so long, once a second.
constexpr ULONGLONG kStartAgainForMs = 30000;
constexpr DWORD kTryIntervalMs = 1000;

HANDLE CreateTurnMutex() {
    // Another user's Kestrow may have made the global one, which this user
    // may not open: the turn then covers this desktop session only.
    for (const wchar_t* scope : {L"Global\\", L"Local\\"})
        if (HANDLE mutex = CreateMutexW(nullptr, FALSE, (std::wstring(scope) + kTurnName).c_str())) return mutex;
    // No named one at all: the sessions of this run still take turns.
    return CreateMutexW(nullptr, FALSE, nullptr);
}

// "Server unavailable" and "server stopping": what an activation answers
// for a while after a server was killed, before a fresh one can start.
bool StartsAgain(const RuntimeError& error) {
    const auto code = static_cast<HRESULT>(error.Number());
    return code == HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE) || code == CO_E_SERVER_STOPPING;
}

}  // namespace

StartTurns::StartTurns() : mutex_(CreateTurnMutex()) {}

StartTurn::StartTurn(HANDLE mutex) : mutex_(mutex) {}

StartTurn::~StartTurn() { GiveBack(); }

bool StartTurn::Take(const std::function<bool()>& keepWaiting) {
    // Without the objects a turn needs, the start goes ahead without one.
    if (!mutex_ || !taken_ || !done_) return true;
    holder_ = std::thread([mutex = mutex_, taken = taken_.get(), done = done_.get()] {
        HANDLE waits[2] = {done, mutex};
        const DWORD got = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        const bool owned = got == WAIT_OBJECT_0 + 1 || got == WAIT_ABANDONED_0 + 1;
        // Also when the wait failed: the start then goes ahead without it.
        SetEvent(taken);
        if (!owned) return;
        WaitForSingleObject(done, INFINITE);
        ReleaseMutex(mutex);
    });
    while (WaitForSingleObject(taken_.get(), 50) == WAIT_TIMEOUT) {
        if (keepWaiting()) continue;
        GiveBack();
        return false;
    }
    return true;
}

void StartTurn::GiveBack() {
    if (!holder_.joinable()) return;
    SetEvent(done_.get());
    holder_.join();
}

SessionStart::SessionStart(std::wstring progId, std::shared_ptr<const StartTurns> turns,
                           std::shared_ptr<const EndingJob> job)
    : progId_(std::move(progId)), turns_(std::move(turns)), job_(std::move(job)) {}

bool SessionStart::Begin(const std::atomic<bool>& stop) {
    turn_ = std::make_unique<StartTurn>(turns_ ? turns_->Mutex() : nullptr);
    if (!turn_->Take([&stop] { return !stop.load(); })) {
        turn_.reset();
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    image_ = LocalServerImage(progId_);
    NoteProcessesBefore();
    return true;
}

void SessionStart::End() {
    {
        // Once the turn goes on, a process that appears is another start's:
        // a start that never came back takes its own now, if it appeared
        // while it held the turn, and none after.
        std::lock_guard<std::mutex> lock(mutex_);
        if (!process_ && !image_.empty()) {
            std::vector<OwnedProcess> appeared = Appeared();
            if (appeared.size() == 1) Take(std::move(appeared.front()));
        }
        image_.clear();
    }
    turn_.reset();
}

void SessionStart::NoteProcessesBefore() {
    before_.clear();
    for (const OwnedProcess& process : ProcessesOfImage(image_)) before_.push_back(process.Identity());
}

std::vector<OwnedProcess> SessionStart::Appeared() {
    std::vector<OwnedProcess> appeared;
    for (OwnedProcess& process : ProcessesOfImage(image_))
        if (std::find(before_.begin(), before_.end(), process.Identity()) == before_.end())
            appeared.push_back(std::move(process));
    return appeared;
}

void SessionStart::Take(OwnedProcess process) {
    if (givenUp_) {
        process.End(kEndWaitMs);
        return;
    }
    RecordSession(process.Identity());
    if (job_) job_->Add(process);
    process_ = std::move(process);
}

void SessionStart::LookForServer() {
    std::lock_guard<std::mutex> lock(mutex_);
    const ULONGLONG now = GetTickCount64();
    if (process_ || image_.empty() || now < nextLook_) return;
    nextLook_ = now + kLookIntervalMs;
    std::vector<OwnedProcess> appeared = Appeared();
    if (appeared.size() == 1) Take(std::move(appeared.front()));
}

ServedBy SessionStart::Identify() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (process_) return ServedBy::NewProcess;
    if (image_.empty()) return ServedBy::Unknown;
    std::vector<OwnedProcess> appeared = Appeared();
    if (appeared.empty()) return ServedBy::ExistingProcess;
    if (appeared.size() > 1) return ServedBy::Unknown;
    Take(std::move(appeared.front()));
    return ServedBy::NewProcess;
}

void SessionStart::Retrying() {
    std::optional<OwnedProcess> failed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        failed.swap(process_);
        // Never taken again for the next try's, while it goes.
        if (failed) before_.push_back(failed->Identity());
    }
    // Ended outside the lock, so that the look for a server is not held up.
    if (failed && (failed->WaitForEnd(kFailedGraceMs) || failed->End(kEndWaitMs))) ForgetSession(failed->Identity());
    std::lock_guard<std::mutex> lock(mutex_);
    NoteProcessesBefore();
}

void SessionStart::GiveUp() {
    std::lock_guard<std::mutex> lock(mutex_);
    givenUp_ = true;
}

bool SessionStart::KnowsProcess() {
    std::lock_guard<std::mutex> lock(mutex_);
    return process_.has_value();
}

bool SessionStart::ServesRunning() {
    std::lock_guard<std::mutex> lock(mutex_);
    return !givenUp_ && process_ && process_->Running();
}

bool SessionStart::EndProcess(DWORD graceMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!process_) return false;
    if (!process_->WaitForEnd(graceMs) && !process_->End(kEndWaitMs)) return false;
    ForgetSession(process_->Identity());
    process_.reset();
    return true;
}

std::optional<std::uint64_t> SessionStart::MemoryBytes() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!process_) return std::nullopt;
    return process_->MemoryBytes();
}

std::optional<DWORD> SessionStart::ProcessId() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!process_) return std::nullopt;
    return process_->Identity().id;
}

AutomationRef StartingFactory::CreateObject(const std::wstring& progId) {
    const ULONGLONG giveUpAt = GetTickCount64() + kStartAgainForMs;
    for (;;) {
        AutomationRef created;
        try {
            created = inner_.CreateObject(progId);
        } catch (const RuntimeError& error) {
            // A server that started and then failed is still this run's to end.
            start_.Identify();
            if (!StartsAgain(error) || GetTickCount64() >= giveUpAt || cancelled_()) throw;
        }
        if (!created) {
            start_.Retrying();
            WaitPumping(kTryIntervalMs);
            // Given up or stopped meanwhile: no further try, whose server
            // would be taken for the next start's.
            if (cancelled_())
                throw RuntimeError(ErrorNumber::CannotCreateObject, kProgramSource,
                                   L"The start of the CAD system was given up", FailureKind::ServerAbandoned);
            continue;
        }
        if (start_.Identify() != ServedBy::ExistingProcess) return created;
        created.reset();
        if (otherSessionServes_ && otherSessionServes_())
            throw RuntimeError(ErrorNumber::CannotCreateObject, kProgramSource,
                               L"The CAD system served this session from the process of another session",
                               FailureKind::SharedServer);
        throw RuntimeError(ErrorNumber::CannotCreateObject, kProgramSource,
                           L"The CAD system's session was served by a process Kestrow did not start",
                           FailureKind::ForeignServer);
    }
}

}  // namespace kestrow::win32
