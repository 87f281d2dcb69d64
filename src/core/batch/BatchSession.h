#pragma once
// One session of the CAD system within a batch: it takes drafts from the
// batch's queue until none is left, starts its server when it needs one,
// replaces a server that was lost, renews it as planned, and ends it with
// the contract's last call. Several of them may work at once, each on a
// thread of its own.
#include <atomic>
#include <cstdint>
#include <memory>

#include "batch/BatchRun.h"

namespace kestrow {

class BatchSession {
public:
    // `number` counts from 1, as the user sees it.
    // `exporter` is null when the drafts get no exports.
    BatchSession(std::int32_t number, BatchRun& run, ServerLauncher& launcher, CallWatch::Policy watchPolicy,
                 RenewalPolicy renewal, std::shared_ptr<std::atomic<bool>> stop, DraftExporter* exporter)
        : number_(number), run_(run), launcher_(launcher), watchPolicy_(watchPolicy), renewal_(renewal),
          stop_(std::move(stop)), exporter_(exporter) {}
    BatchSession(const BatchSession&) = delete;
    BatchSession& operator=(const BatchSession&) = delete;

    // Works until the queue is empty, the batch stops, or this session
    // ends for good; its server gets its last call on every way out.
    void Work();

private:
    enum class Next { NextDraft, TryAgain, EndSession };
    void TakeDrafts(CallWatch& watch);
    Next UpdateOne(std::int32_t index, DraftRecord& draft, CallWatch& watch);
    Next AfterFailure(DraftRecord& draft, const RuntimeError& error, const CallWatch& watch);
    // Starts a server when none runs. When none can be had, this session
    // ends for good and hands the draft back to the others, if any.
    Next EnsureServer(std::int32_t index, CallWatch& watch);
    void TellStartNotices();
    void EndServer(CallWatch& watch);
    void RenewServerIfDue(CallWatch& watch);

    std::int32_t number_;
    BatchRun& run_;
    ServerLauncher& launcher_;
    CallWatch::Policy watchPolicy_;
    RenewalPolicy renewal_;
    std::shared_ptr<std::atomic<bool>> stop_;
    DraftExporter* exporter_;
    std::unique_ptr<ServerConnection> server_;
    const DraftRecord* inHand_ = nullptr;  // the draft the server works on, or starts for
    int serverLossesInARow_ = 0;
    std::int64_t draftsThisSession_ = 0;  // tried by the server that runs now
    bool ended_ = false;                  // told the batch it ended
    bool handedBack_ = false;             // its last draft went to another session
};

}  // namespace kestrow
