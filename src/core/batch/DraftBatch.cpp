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

std::int32_t BatchResult::CountExports(DraftExport::State state) const {
    std::int32_t count = 0;
    for (const DraftRecord& draft : drafts)
        for (const DraftExport& made : draft.exports) count += made.state == state ? 1 : 0;
    return count;
}

DraftBatch::DraftBatch(const std::wstring& folderPath, const std::vector<std::wstring>& names,
                       ServerLauncher& launcher, CallWatch::Policy watchPolicy)
    : folder_(folderPath), launcher_(launcher), watchPolicy_(watchPolicy) {
    drafts_.reserve(names.size());
    for (const std::wstring& name : names) {
        DraftRecord draft;
        draft.name = name;
        draft.path = folderPath + name;
        drafts_.push_back(std::move(draft));
    }
}

void DraftBatch::SetFiles(const std::vector<FileIdentity>& files) {
    std::vector<FileIdentity> known(files);
    known.resize(drafts_.size());
    const std::vector<std::int32_t> earlier = EarlierNamesOfFiles(known);
    for (size_t i = 0; i < drafts_.size(); ++i)
        drafts_[i].doneUnder = earlier[i] < 0 ? std::wstring() : drafts_[static_cast<size_t>(earlier[i])].path;
}

void DraftBatch::SetSessions(std::int32_t sessions) { sessions_ = std::clamp(sessions, 1, kMaxSessions); }

void DraftBatch::SetExports(const ExportRequest& request, ExportFiles& files) {
    exporter_ = request.Any() ? std::make_unique<DraftExporter>(request, folder_, files) : nullptr;
}

BatchResult DraftBatch::Run(BatchUser& user, BatchProgress& progress) {
    BatchResult result;
    result.drafts = drafts_;
    if (const std::optional<SessionLetGo> inTheWay = launcher_.CadSystemInTheWay()) {
        result.end = BatchEnd::CadAlreadyRunning;
        result.letGo = inTheWay;
        return result;
    }
    // No more sessions than files: a session that would find the queue
    // empty would start its server for nothing.
    const auto files = std::count_if(result.drafts.begin(), result.drafts.end(),
                                     [](const DraftRecord& draft) { return draft.doneUnder.empty(); });
    const auto sessions = std::max<std::int32_t>(1, std::min<std::int32_t>(sessions_, static_cast<std::int32_t>(files)));
    BatchRun run(result, user, progress, stop_, sessions, source_);
    std::vector<std::unique_ptr<BatchSession>> workers;
    for (std::int32_t number = 1; number <= sessions; ++number)
        workers.push_back(
            std::make_unique<BatchSession>(number, run, launcher_, watchPolicy_, renewal_, stop_, exporter_.get()));
    std::vector<std::thread> threads;
    for (size_t i = 1; i < workers.size(); ++i) threads.emplace_back([&worker = *workers[i]] { worker.Work(); });
    workers.front()->Work();
    for (std::thread& thread : threads) thread.join();
    run.Settle();
    return result;
}

}  // namespace kestrow
