#pragma once
// Every call a check makes to the CAD system, named and timed as the
// sessions' threads make them: which step of the contract each invocation
// is (or which cast, look-up, release or activation), and how long the
// server took to answer it. The check reads them between its steps.
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "server/ObservedAutomation.h"

namespace kestrow {

enum class DraftStep {
    // The contract's invocations, in a session's order.
    Settings, Documents, Open, Views, ViewCount, View, UpdateView, SaveAs, Store, CloseUnstored, Quit,
    OtherInvocation,  // one the contract does not name (the application's ProcessID)
    // The calls around them.
    Activation, Cast, LookUp, Release,
};

struct TimedCall {
    DraftStep step = DraftStep::Open;
    std::wstring format;   // SaveAs: the extension of the file asked for ("pdf")
    std::int32_t dispatchId = 0;  // an invocation's
    double seconds = 0;    // until it answered, or until it was read still pending
    bool answered = true;  // false: still pending when read (given up)
};

// Which step an invocation is.
TimedCall NameOfCall(std::int32_t dispatchId, InvokeKind kind, const std::vector<AutomationArg>& args);
// What a user reads of a call: "the document collection", "the save as pdf".
std::wstring CallName(const TimedCall& call);
// A cast, look-up or release: the calls that only go with the others.
bool Housekeeping(const TimedCall& call);

class CallTimes : public CallObserver {
public:
    using Clock = std::chrono::steady_clock;
    void Invoking(std::int32_t dispatchId, InvokeKind kind, const std::vector<AutomationArg>& args) override;
    void Other(ObservedCallKind kind) override;
    void CallStarted() override;
    void CallEnded() override;
    // The named calls since the last take; one still pending with its time so far.
    std::vector<TimedCall> Take();

private:
    std::mutex mutex_;
    std::optional<TimedCall> named_;  // told, not started yet
    std::optional<Clock::time_point> pendingSince_;
    std::vector<TimedCall> calls_;
};

}  // namespace kestrow
