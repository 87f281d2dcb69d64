#pragma once
// The contract's calls a check makes, named and timed as the sessions'
// threads make them: which step of a draft each invocation is, and how long
// the server took to answer it. The check reads them between its steps.
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "batch/ObservedAutomation.h"

namespace kestrow {

enum class DraftStep { Open, UpdateView, SaveAs, Store, CloseUnstored, Quit };

struct TimedCall {
    DraftStep step = DraftStep::Open;
    std::wstring format;   // SaveAs: the extension of the file asked for ("pdf")
    double seconds = 0;    // until it answered, or until it was read still pending
    bool answered = true;  // false: still pending when read (given up)
};

// Which step an invocation is; none for the calls between them (the
// document collection, the views and their count, the settings).
std::optional<TimedCall> NameOfCall(std::int32_t dispatchId, InvokeKind kind, const std::vector<AutomationArg>& args);

class CallTimes : public CallObserver {
public:
    using Clock = std::chrono::steady_clock;
    void Invoking(std::int32_t dispatchId, InvokeKind kind, const std::vector<AutomationArg>& args) override;
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
