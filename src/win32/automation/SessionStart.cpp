#include "automation/SessionStart.h"

#include <algorithm>

#include "automation/ComAutomation.h"
#include "automation/ServerImage.h"
#include "automation/SessionRecords.h"
#include "common/RuntimeError.h"
#include "system/SystemText.h"

namespace kestrow::win32 {
namespace {

// How often a pending activation looks for its server's process.
constexpr ULONGLONG kLookIntervalMs = 250;
// How long a process that failed its start gets to go, and an ended one to be gone.
constexpr DWORD kFailedGraceMs = 3000;
constexpr DWORD kEndWaitMs = 10000;
// A server that is unavailable or stopping is asked again for so long, once a second.
constexpr ULONGLONG kStartAgainForMs = 30000;
constexpr DWORD kTryIntervalMs = 1000;
// How long a returned activation waits for the command line of a process
// that has only just appeared.
constexpr int kCommandLineReads = 20;
constexpr DWORD kCommandLineReadIntervalMs = 50;

// "Server unavailable" and "server stopping": what an activation answers
// for a while after a server was killed, before a fresh one can start.
bool StartsAgain(const RuntimeError& error) {
    const auto code = static_cast<HRESULT>(error.Number());
    return code == HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE) || code == CO_E_SERVER_STOPPING;
}

}  // namespace

SessionStart::SessionStart(std::wstring progId, std::shared_ptr<const StartTurns> turns,
                           std::shared_ptr<const EndingJob> job)
    : progId_(std::move(progId)), turns_(std::move(turns)), job_(std::move(job)) {}

bool SessionStart::Begin(const std::atomic<bool>& stop) {
    turn_ = std::make_unique<StartTurn>(turns_ ? turns_->Mutex() : nullptr);
    const TurnTaken taken = turn_->Take([&stop] { return !stop.load(); }, kLongestWaitForTurn);
    if (taken == TurnTaken::Stopped) {
        turn_.reset();
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (taken == TurnTaken::WaitedTooLong) notices_.push_back(StartNotice::StartedWithoutTurn);
    if (turns_ && !turns_->ComputerWide()) notices_.push_back(StartNotice::TurnNotComputerWide);
    processes_ = StartedProcesses::OfRegisteredServer(progId_).value_or(StartedProcesses());
    processes_.StartBegins();
    activating_ = true;
    settled_ = false;
    return true;
}

void SessionStart::Look() {
    if (!activating_ || settled_) return;
    processes_.Look();
    HoldTo(ProcessOfPendingStart(processes_.Facts()));
}

std::wstring SessionStart::HoldTo(std::optional<std::uint32_t> id) {
    if (process_ && id && process_->Identity().id == *id) return std::wstring();
    if (process_) {
        // No longer proven this start's (another appeared beside it): it is
        // left as it is, and not recorded as Kestrow's.
        ForgetSession(process_->Identity());
        process_.reset();
    }
    if (!id) return std::wstring();
    const OwnedProcess* seen = processes_.Find(*id);
    if (!seen) return L"it could not be opened to be watched when it was seen";
    // A handle of its own, to the very process seen.
    std::optional<OwnedProcess> held = OwnedProcess::Open(seen->Identity().id, seen->Identity().creationTime);
    if (!held) {
        const std::wstring error = LastErrorText();
        if (!seen->Running()) return L"it had ended already";
        const std::optional<OwnedProcess> now = OwnedProcess::Open(seen->Identity().id, std::nullopt);
        if (now && now->Identity() != seen->Identity()) return L"its id names another process now";
        return L"it could not be opened to be ended: " + error;
    }
    if (givenUp_) {
        held->End(kEndWaitMs);
        return L"the start had been given up";
    }
    RecordSession(held->Identity());
    process_ = std::move(held);
    return std::wstring();
}

void SessionStart::LookForServer() {
    std::lock_guard<std::mutex> lock(mutex_);
    const ULONGLONG now = GetTickCount64();
    if (now < nextLook_) return;
    nextLook_ = now + kLookIntervalMs;
    Look();
}

void SessionStart::GiveTurnBack() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!processes_.Frozen()) {
            // What appeared while the start held the turn is all it can
            // ever call its own.
            Look();
            processes_.Freeze();
        }
    }
    turn_.reset();
}

bool SessionStart::TurnGivenBack() {
    std::lock_guard<std::mutex> lock(mutex_);
    return processes_.Frozen();
}

void SessionStart::ActivationBegins() {
    std::lock_guard<std::mutex> lock(mutex_);
    processes_.TryBegins();
    activating_ = true;
}

void SessionStart::ActivationFailed() {
    std::lock_guard<std::mutex> lock(mutex_);
    Look();
}

StartFacts SessionStart::FactsOnReturn() {
    for (int read = 1;; ++read) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            Look();
            if (!processes_.Unread() || read >= kCommandLineReads) {
                // The activation was served: what appears from now on is not
                // what served it.
                processes_.Freeze();
                return processes_.Facts();
            }
        }
        Sleep(kCommandLineReadIntervalMs);
    }
}

StartFacts SessionStart::FactsLookedAgain() {
    std::lock_guard<std::mutex> lock(mutex_);
    // Past the turn, whatever appears is another start's; a process without
    // the switch still counts against this one.
    processes_.Look();
    return processes_.Facts();
}

void SessionStart::Settle(const ServedVerdict& verdict) {
    std::lock_guard<std::mutex> lock(mutex_);
    settled_ = true;
    letGo_ = verdict.why;
    notHeld_.clear();
    if (verdict.by == ServedBy::OtherProcess && process_ && verdict.launchedUnused == process_->Identity().id) {
        // The session was let go of, but the process COM launched for this
        // start still runs and serves nobody: it stays this run's, recorded,
        // and is ended once given its time to go.
        serves_ = false;
        return;
    }
    if (verdict.by != ServedBy::OwnProcess) {
        HoldTo(std::nullopt);
        return;
    }
    const std::wstring trouble = HoldTo(verdict.process);
    if (!trouble.empty()) notHeld_ = L"process " + std::to_wstring(*verdict.process) + L": " + trouble;
    // Only a process proven the session's joins the job: another program's
    // would end with Kestrow.
    if (process_ && job_) job_->Add(*process_);
}

void SessionStart::Retrying() {
    std::optional<OwnedProcess> failed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        failed.swap(process_);
        // Until the next try begins, nothing that appears is its.
        activating_ = false;
        settled_ = false;
    }
    // Ended outside the lock, so that the look for a server is not held up.
    if (failed && (failed->WaitForEnd(kFailedGraceMs) || failed->End(kEndWaitMs))) ForgetSession(failed->Identity());
}

void SessionStart::GiveUp() {
    std::lock_guard<std::mutex> lock(mutex_);
    givenUp_ = true;
}

bool SessionStart::ServesRunning() {
    std::lock_guard<std::mutex> lock(mutex_);
    return !givenUp_ && serves_ && process_ && process_->Running();
}

ServerProcessEnd SessionStart::EndProcess(DWORD graceMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!process_) return ServerProcessEnd::NotKnown;
    // One that serves nothing was asked nothing, and gets only the time of a
    // failed start.
    const DWORD grace = serves_ ? graceMs : std::min(graceMs, kFailedGraceMs);
    ServerProcessEnd end = ServerProcessEnd::ByItself;
    if (!process_->WaitForEnd(grace)) {
        if (!process_->End(kEndWaitMs)) return ServerProcessEnd::StillRuns;
        end = ServerProcessEnd::EndedByKestrow;
    }
    ForgetSession(process_->Identity());
    process_.reset();
    return end;
}

std::optional<std::uint64_t> SessionStart::MemoryBytes() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!process_ || !serves_) return std::nullopt;
    return process_->MemoryBytes();
}

std::optional<DWORD> SessionStart::ProcessId() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!process_ || !serves_) return std::nullopt;
    return process_->Identity().id;
}

std::optional<SessionLetGo> SessionStart::LetGo() {
    std::lock_guard<std::mutex> lock(mutex_);
    return letGo_;
}

std::wstring SessionStart::NotHeld() {
    std::lock_guard<std::mutex> lock(mutex_);
    return notHeld_;
}

std::vector<StartNotice> SessionStart::TakeNotices() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<StartNotice> taken;
    taken.swap(notices_);
    return taken;
}

AutomationRef StartingFactory::CreateObject(const std::wstring& progId) {
    const ULONGLONG giveUpAt = GetTickCount64() + kStartAgainForMs;
    for (;;) {
        AutomationRef created;
        try {
            created = inner_.CreateObject(progId);
        } catch (const RuntimeError& error) {
            // A server that started and then failed is still this run's to end.
            start_.ActivationFailed();
            // A try after the turn went on could never tell its process.
            if (!StartsAgain(error) || GetTickCount64() >= giveUpAt || cancelled_() || start_.TurnGivenBack()) throw;
        }
        if (!created) {
            start_.Retrying();
            WaitPumping(kTryIntervalMs);
            // Given up or stopped meanwhile: no further try, whose server
            // would be taken for the next start's.
            if (cancelled_())
                throw RuntimeError(ErrorNumber::CannotCreateObject, kProgramSource,
                                   L"The start of Solid Edge was given up", FailureKind::ServerAbandoned);
            start_.ActivationBegins();
            continue;
        }
        // The processes of this batch's other sessions, proven theirs.
        const std::vector<std::uint32_t> batch = batchProcesses_ ? batchProcesses_() : std::vector<std::uint32_t>();
        const auto marked = [&batch](StartFacts facts) {
            for (ServerProcessSeen& process : facts.processes)
                process.batchSession = std::find(batch.begin(), batch.end(), process.id) != batch.end();
            return facts;
        };
        // The one call a server gets before it is proven the session's, and
        // only when no process a user started could be that server.
        const ServedVerdict verdict = JudgeReturnedStart(
            marked(start_.FactsOnReturn()), [&created] { return AskServedProcess(*created); },
            [&] { return marked(start_.FactsLookedAgain()); });
        start_.Settle(verdict);
        if (verdict.by != ServedBy::OtherProcess) return created;
        created.reset();
        // Handed to the process of another session of this batch, as a server
        // for every client does; a user's session seen ends the batch.
        if (verdict.why == SessionLetGo::NotProven && !batch.empty())
            throw RuntimeError(ErrorNumber::CannotCreateObject, kProgramSource,
                               L"Solid Edge served this session from the process of another session",
                               FailureKind::SharedServer);
        throw RuntimeError(ErrorNumber::CannotCreateObject, kProgramSource,
                           LetGoText(verdict.why.value_or(SessionLetGo::NotProven)), FailureKind::ForeignServer);
    }
}

}  // namespace kestrow::win32
