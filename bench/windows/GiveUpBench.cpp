// From giving up on a hung server to the next draft's first call: the hung
// process is ended (and waited for) and a fresh session is activated.
#include <cstdio>
#include <mutex>
#include <utility>

#include "automation/SessionThread.h"
#include "batch/DraftBatch.h"
#include "BenchSupport.h"
#include "TestSupport.h"

namespace kestrow::bench {
namespace {

// Every call's start and its server thread: the session given up on still
// releases its references when its hung call returns.
class CallStarts : public CallObserver {
public:
    void CallStarted() override {
        std::lock_guard<std::mutex> lock(mutex_);
        starts_.push_back({Now(), GetCurrentThreadId()});
    }
    void CallEnded() override {}
    // The start of the `nth` call (from 1) of a session other than the
    // first one's.
    double OfNextSession(int nth) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& [start, thread] : starts_)
            if (thread != starts_.front().second && --nth == 0) return start;
        return 0;
    }

private:
    std::mutex mutex_;
    std::vector<std::pair<double, DWORD>> starts_;
};

// Says No the first time it is asked, and goes on past each failure.
class GiveUpAtOnce : public BatchUser, public BatchProgress {
public:
    FailureDecision DraftFailed(const DraftRecord&, const RuntimeError& error) override {
        if (reported == 0) reported = Now();
        ended = error.Kind() == FailureKind::ServerAbandoned;
        return {FailureDecision::Choice::Continue, false};
    }
    bool KeepWaiting(std::int64_t, const std::wstring&) override {
        if (gaveUp == 0) gaveUp = Now();
        return false;
    }
    void DraftStarting(std::int32_t, std::int32_t, const DraftRecord&) override {}
    void DraftEnded(std::int32_t, std::int32_t, const DraftRecord&) override {}
    double gaveUp = 0, reported = 0;
    bool ended = false;
};

}  // namespace

void GiveUpBenchmark() {
    std::vector<double> toReport, toNextCall, toActivated;
    int ended = 0;
    constexpr int kRounds = 5;
    for (int round = 0; round < kRounds; ++round) {
        const wintest::TestFolder folder(L"bench-give-up");
        wintest::WriteDraft(folder / L"a.dft", 1, "fault hang 60000\r\n");
        wintest::WriteDraft(folder / L"b.dft", 1);
        CallStarts starts;
        win32::SessionThreadLauncher launcher({}, &starts);
        DraftBatch batch(folder.Path() + L"\\", {L"a.dft", L"b.dft"}, launcher,
                         // Past a session's start (a second or so under Wine).
                         CallWatch::Policy{std::chrono::milliseconds(3000), std::chrono::milliseconds(0)});
        GiveUpAtOnce user;
        batch.Run(user, user);
        ended += user.ended;
        toReport.push_back(user.reported - user.gaveUp);
        toNextCall.push_back(starts.OfNextSession(1) - user.gaveUp);
        toActivated.push_back(starts.OfNextSession(2) - user.gaveUp);
    }
    std::printf("| Giving up on a hung server (No to the question), %d rounds: to the failure reported (its process "
                "ended: %d of %d) | median %.1f ms, max %.1f ms | to the next draft's first call (a fresh session's "
                "activation): median %.1f ms, max %.1f ms; to its first call after the activation: median %.0f ms |\n",
                kRounds, ended, kRounds, Median(toReport) * 1000, Percentile(toReport, 1.0) * 1000,
                Median(toNextCall) * 1000, Percentile(toNextCall, 1.0) * 1000, Median(toActivated) * 1000);
}

}  // namespace kestrow::bench
