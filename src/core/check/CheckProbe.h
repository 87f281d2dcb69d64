#pragma once
// The check itself, step by step, as a night would take them: the
// registration, whether the user's own session runs (then nothing else is
// started or called), a start of Kestrow's own, a second start beside it,
// a copy of the sample draft through the session, and its end. It gathers
// facts and decides nothing about them; it stops early only where a night
// would.
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "batch/DraftBatch.h"
#include "check/CallTimes.h"
#include "check/CheckFacts.h"
#include "exports/DraftExports.h"

namespace kestrow {

// A dialog no rule answers decides the verdict as it appears: the check
// gives it this long to close by itself, then gives the call up, rather
// than wait out the call limit.
constexpr std::chrono::seconds kUnansweredDialogGrace{10};

struct CheckRequest {
    std::wstring sample;  // the user's draft, full; "" for none
    std::vector<ExportFormat> exports;
    std::vector<AnswerRule> answers;
    std::chrono::seconds timeout{120};
};

// What a check needs of the platform besides a night's sessions.
class CheckPlatform {
public:
    virtual ~CheckPlatform() = default;
    virtual RegistrationFacts Registration() = 0;
    virtual MachineFacts Machine() = 0;
    // A copy of the draft in a folder of the check's own, which goes with
    // everything in it once the check is done; its full path. Raises
    // RuntimeError with the system's reason when it cannot be made.
    virtual std::wstring CopySample(const std::wstring& draft) = 0;
    // The bytes of a dialog's picture; "" when it cannot be read.
    virtual std::string PictureBytes(const std::wstring& path) = 0;
};

struct CheckPorts {
    CheckPlatform& platform;
    ServerLauncher& launcher;  // the same sessions a night starts, timed by `times`
    CallTimes& times;
    ExportFiles& exportFiles;
};

CheckFacts ProbeCadSystem(const CheckRequest& request, CheckPorts ports,
                          const std::shared_ptr<const std::atomic<bool>>& stop);

}  // namespace kestrow
