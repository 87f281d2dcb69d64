#include "window/BatchThread.h"

#include "system/ComApartment.h"

namespace kestrow::win32 {
namespace {

// The batch's side of the hand-off: questions wait for the window's answer,
// progress is posted and the batch goes on at once. Questions and progress
// reach the window in the order they were raised.
class WindowThreadHandOff : public BatchUser, public BatchProgress {
public:
    WindowThreadHandOff(UiThreadCalls ui, BatchThread& thread, BatchUser& user, BatchProgress& progress)
        : ui_(ui), thread_(thread), user_(user), progress_(progress) {}

    FailureDecision DraftFailed(const DraftRecord& draft, const RuntimeError& error) override {
        return ui_.Send<FailureDecision>(
            [&] {
                thread_.FlushProgress();
                return user_.DraftFailed(draft, error);
            },
            FailureDecision{});
    }
    bool KeepWaiting(std::int64_t secondsWaited, const std::wstring& task) override {
        return ui_.Send<bool>(
            [&] {
                thread_.FlushProgress();
                return user_.KeepWaiting(secondsWaited, task);
            },
            false);
    }
    // Posted calls may run after this object is gone; they reach the
    // window's side directly.
    void DraftStarting(std::int32_t index, std::int32_t count, const DraftRecord& draft) override {
        thread_.PostProgress([&progress = progress_, index, count, draft] { progress.DraftStarting(index, count, draft); });
    }
    void DraftEnded(std::int32_t index, std::int32_t count, const DraftRecord& draft) override {
        thread_.PostProgress([&progress = progress_, index, count, draft] { progress.DraftEnded(index, count, draft); });
    }
    // The window's estimate of the time left counts the sessions at work.
    void SessionsReduced(std::int32_t running, const std::wstring& why) override {
        thread_.PostProgress([&progress = progress_, running, why] { progress.SessionsReduced(running, why); });
    }
    void DialogShown(const DraftRecord& draft, const CadDialog& dialog, const std::wstring& action) override {
        thread_.PostProgress([&progress = progress_, draft, dialog, action] { progress.DialogShown(draft, dialog, action); });
    }

private:
    UiThreadCalls ui_;
    BatchThread& thread_;
    BatchUser& user_;
    BatchProgress& progress_;
};

}  // namespace

BatchThread::~BatchThread() {
    // The window waits for a running batch before it goes; this only joins
    // a thread that has already posted its end.
    if (thread_.joinable()) thread_.join();
    KillTimer(ui_.Window(), reinterpret_cast<UINT_PTR>(this));
}

void BatchThread::PostProgress(std::function<void()> event) {
    std::lock_guard<std::mutex> lock(progressMutex_);
    progress_.push_back(std::move(event));
    if (deliveryPending_) return;
    deliveryPending_ = true;
    ui_.Post([this] { DeliverProgress(); });
}

// Delivers now, or once a tenth of a second has passed since the last time;
// meanwhile the batch posts nothing more.
void BatchThread::DeliverProgress() {
    const ULONGLONG sinceLast = GetTickCount64() - lastDelivery_;
    if (sinceLast < kProgressIntervalMs &&
        SetTimer(ui_.Window(), reinterpret_cast<UINT_PTR>(this), static_cast<UINT>(kProgressIntervalMs - sinceLast),
                 &BatchThread::OnProgressTimer))
        return;
    FlushProgress();
}

void CALLBACK BatchThread::OnProgressTimer(HWND window, UINT, UINT_PTR self, DWORD) {
    KillTimer(window, self);
    reinterpret_cast<BatchThread*>(self)->FlushProgress();
}

void BatchThread::FlushProgress() {
    std::vector<std::function<void()>> events;
    {
        std::lock_guard<std::mutex> lock(progressMutex_);
        events.swap(progress_);
        deliveryPending_ = false;
    }
    lastDelivery_ = GetTickCount64();
    for (const auto& event : events) event();
}

void BatchThread::Start(DraftBatch& batch, BatchUser& user, BatchProgress& progress,
                        std::function<void(BatchResult)> finished) {
    if (thread_.joinable()) thread_.join();
    thread_ = std::thread([this, &batch, &user, &progress, finished = std::move(finished)] {
        BatchResult result;
        try {
            // The look-up of a running CAD session needs COM here; the
            // server's own calls run on threads of their own.
            const ThreadApartment apartment(COINIT_MULTITHREADED);
            WindowThreadHandOff handOff(ui_, *this, user, progress);
            result = batch.Run(handOff, handOff);
        } catch (...) {
            // The batch reports its own failures; this is one before or
            // after it, which would otherwise end the process.
            result.end = BatchEnd::KestrowFailed;
            result.kestrowFailure = L"the batch's thread could not run the batch";
        }
        ui_.Post([this, finished, result = std::move(result)] {
            if (thread_.joinable()) thread_.join();
            FlushProgress();
            finished(result);
        });
    });
}

}  // namespace kestrow::win32
