#include "batch/DraftBatch.h"

#include <algorithm>
#include <thread>

#include "batch/BatchRun.h"
#include "batch/BatchSession.h"

namespace kestrow {

std::int32_t BatchResult::Count(DraftState state) const {
    return static_cast<std::int32_t>(
        std::count_if(drafts.begin(), drafts.end(), [state](const DraftRecord& d) { return d.state == state; }));
}

DraftBatch::DraftBatch(const std::wstring& folderPath, const std::vector<std::wstring>& names,
                       ServerLauncher& launcher, CallWatch::Policy watchPolicy)
    : launcher_(launcher), watchPolicy_(watchPolicy) {
    drafts_.reserve(names.size());
    for (const std::wstring& name : names)
        drafts_.push_back(DraftRecord{name, folderPath + name, DraftState::NotReached, std::nullopt, std::nullopt});
}

void DraftBatch::SetSessions(std::int32_t sessions) { sessions_ = std::clamp(sessions, 1, kMaxSessions); }

BatchResult DraftBatch::Run(BatchUser& user, BatchProgress& progress) {
    BatchResult result;
    result.drafts = drafts_;
    if (launcher_.CadSystemRunning()) {
        result.end = BatchEnd::CadAlreadyRunning;
        return result;
    }
    // No more sessions than drafts: a session that would find the queue
    // empty would start its server for nothing.
    const auto sessions = std::max<std::int32_t>(
        1, std::min<std::int32_t>(sessions_, static_cast<std::int32_t>(result.drafts.size())));
    BatchRun run(result, user, progress, stop_, sessions);
    std::vector<std::unique_ptr<BatchSession>> workers;
    for (std::int32_t number = 1; number <= sessions; ++number)
        workers.push_back(
            std::make_unique<BatchSession>(number, run, launcher_, watchPolicy_, renewal_, stop_));
    std::vector<std::thread> threads;
    for (size_t i = 1; i < workers.size(); ++i) threads.emplace_back([&worker = *workers[i]] { worker.Work(); });
    workers.front()->Work();
    for (std::thread& thread : threads) thread.join();
    run.Settle();
    return result;
}

}  // namespace kestrow
