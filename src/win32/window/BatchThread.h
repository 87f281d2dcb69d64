#pragma once
// Runs the window's batches on a thread of their own, so that the window
// answers at every moment of a batch. The batch's questions and progress
// are handed to the window's thread, where Form1 shows them.
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "form/Form1.h"
#include "ui/UiThreadCalls.h"

namespace kestrow::win32 {

class BatchThread : public BatchRunner {
public:
    explicit BatchThread(UiThreadCalls ui) : ui_(ui) {}
    ~BatchThread() override;
    BatchThread(const BatchThread&) = delete;
    BatchThread& operator=(const BatchThread&) = delete;

    void Start(DraftBatch& batch, BatchUser& user, BatchProgress& progress,
               std::function<void(BatchResult)> finished) override;
    bool Running() const { return thread_.joinable(); }

    // Hands progress to the window's thread in order. The window takes it at
    // most ten times a second, all that came meanwhile at once: drawings
    // that go by faster than anyone can read would otherwise have the window
    // repaint for each, slowing the batch down.
    void PostProgress(std::function<void()> event);
    // On the window's thread: runs every progress event still waiting, as
    // the batch's questions and its end must come after them.
    void FlushProgress();

private:
    static constexpr ULONGLONG kProgressIntervalMs = 100;
    static void CALLBACK OnProgressTimer(HWND window, UINT, UINT_PTR self, DWORD);
    void DeliverProgress();

    UiThreadCalls ui_;
    std::thread thread_;
    std::mutex progressMutex_;
    std::vector<std::function<void()>> progress_;
    bool deliveryPending_ = false;
    ULONGLONG lastDelivery_ = 0;  // window's thread only
};

}  // namespace kestrow::win32
