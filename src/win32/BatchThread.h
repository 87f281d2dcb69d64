#pragma once
// Runs the window's batches on a thread of their own, so that the window
// answers at every moment of a batch. The batch's questions and progress
// are handed to the window's thread, where Form1 shows them.
#include <thread>

#include "Form1.h"
#include "UiThreadCalls.h"

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

private:
    UiThreadCalls ui_;
    std::thread thread_;
};

}  // namespace kestrow::win32
