#include "BatchThread.h"

#include "ComApartment.h"

namespace kestrow::win32 {
namespace {

// The batch's side of the hand-off: questions wait for the window's answer,
// progress is posted and the batch goes on at once.
class HandedOff : public BatchUser, public BatchProgress {
public:
    HandedOff(UiThreadCalls ui, BatchUser& user, BatchProgress& progress)
        : ui_(ui), user_(user), progress_(progress) {}

    FailureDecision DraftFailed(const DraftRecord& draft, const RuntimeError& error) override {
        return ui_.Send<FailureDecision>([&] { return user_.DraftFailed(draft, error); }, FailureDecision{});
    }
    bool KeepWaiting(std::int64_t secondsWaited, const std::wstring& task) override {
        return ui_.Send<bool>([&] { return user_.KeepWaiting(secondsWaited, task); }, false);
    }
    // Posted calls may run after this object is gone; they reach the
    // window's side directly.
    void DraftStarting(std::int32_t index, std::int32_t count, const DraftRecord& draft) override {
        ui_.Post([&progress = progress_, index, count, draft] { progress.DraftStarting(index, count, draft); });
    }
    void DraftEnded(std::int32_t index, std::int32_t count, const DraftRecord& draft) override {
        ui_.Post([&progress = progress_, index, count, draft] { progress.DraftEnded(index, count, draft); });
    }

private:
    UiThreadCalls ui_;
    BatchUser& user_;
    BatchProgress& progress_;
};

}  // namespace

BatchThread::~BatchThread() {
    // The window waits for a running batch before it goes; this only joins
    // a thread that has already posted its end.
    if (thread_.joinable()) thread_.join();
}

void BatchThread::Start(DraftBatch& batch, BatchUser& user, BatchProgress& progress,
                        std::function<void(BatchResult)> finished) {
    if (thread_.joinable()) thread_.join();
    thread_ = std::thread([this, &batch, &user, &progress, finished = std::move(finished)] {
        BatchResult result;
        {
            // The look-up of a running CAD session needs COM here; the
            // server's own calls run on threads of their own.
            const ThreadApartment apartment(COINIT_MULTITHREADED);
            HandedOff handedOff(ui_, user, progress);
            result = batch.Run(handedOff, handedOff);
        }
        ui_.Post([this, finished, result = std::move(result)] {
            if (thread_.joinable()) thread_.join();
            finished(result);
        });
    });
}

}  // namespace kestrow::win32
