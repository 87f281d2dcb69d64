#pragma once
// The settings a batch in the window takes from the user's settings store
// (the command line gives its own): when sessions are renewed, how many
// work at once, how dialogs are answered and what drafts are exported to.
#include "batch/DraftBatch.h"

namespace kestrow {

struct BatchSettings {
    RenewalPolicy renewal;
    std::int32_t sessions = 1;
    std::vector<AnswerRule> answers;  // for the CAD system's dialogs
    std::vector<ExportFormat> exports;  // each stored draft is also saved as these, beside it
    // How long a call may take before the user is asked whether to keep
    // waiting; 0: the window's own.
    std::int64_t callSeconds = 0;
};

constexpr std::uint64_t kBytesPerMegabyte = 1024 * 1024;

}  // namespace kestrow
