#pragma once
// What the console's control events do to a run: Ctrl+C or Ctrl+Break stop
// the batch after the draft in hand; closing the console, logging off or
// shutting down do the same and settle the log's rows at once, within the
// time Windows allows.
#include <windows.h>

#include <string>
#include <vector>

#include "batch/DraftBatch.h"
#include "console/ConsoleAndLog.h"
#include "system/KernelHandle.h"

namespace kestrow::win32 {

// The run, as a console control handler reaches it.
struct RunningBatch {
    DraftBatch* batch = nullptr;
    ConsoleAndLog* output = nullptr;
    std::vector<std::wstring> paths;
    KernelHandle ended{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

// The run reached by the handler from the start of the batch to its end on
// every path, an exception's too: the run's objects outlive it.
class ConsoleControlRegistration {
public:
    explicit ConsoleControlRegistration(RunningBatch& running);
    ~ConsoleControlRegistration();
    ConsoleControlRegistration(const ConsoleControlRegistration&) = delete;
    ConsoleControlRegistration& operator=(const ConsoleControlRegistration&) = delete;

private:
    RunningBatch& running_;
};

}  // namespace kestrow::win32
