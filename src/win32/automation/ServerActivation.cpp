#include "automation/ServerActivation.h"

#include <algorithm>

#include "common/RuntimeError.h"

namespace kestrow::win32 {
namespace {

constexpr const wchar_t* kTurnName = L"Local\\Kestrow.ServerActivation";
// A turn held longer than this belongs to an activation left behind; the
// activation goes ahead without it rather than wait for ever.
constexpr DWORD kTurnWaitMs = 15000;

}  // namespace

ActivationWatch::ActivationWatch(const std::wstring& progId) : turn_(CreateMutexW(nullptr, FALSE, kTurnName)) {
    if (turn_) {
        const DWORD waited = WaitForSingleObject(turn_.get(), kTurnWaitMs);
        haveTurn_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    }
    image_ = LocalServerImage(progId);
    for (const OwnedProcess& process : ProcessesOfImage(image_)) before_.push_back(process.Identity());
}

ActivationWatch::~ActivationWatch() {
    if (haveTurn_) ReleaseMutex(turn_.get());
}

ActivationOutcome ActivationWatch::Finish() {
    ActivationOutcome outcome;
    if (image_.empty()) return outcome;
    std::vector<OwnedProcess> appeared;
    for (OwnedProcess& process : ProcessesOfImage(image_))
        if (std::find(before_.begin(), before_.end(), process.Identity()) == before_.end())
            appeared.push_back(std::move(process));
    if (appeared.empty()) {
        outcome.by = ServedBy::ExistingProcess;
    } else if (appeared.size() == 1) {
        outcome.by = ServedBy::NewProcess;
        outcome.process = std::move(appeared.front());
    }
    return outcome;
}

AutomationRef IdentifyingFactory::CreateObject(const std::wstring& progId) {
    ActivationWatch watch(progId);
    AutomationRef created;
    try {
        created = inner_.CreateObject(progId);
    } catch (const RuntimeError&) {
        // A server that started and then failed is still this run's to end.
        ActivationOutcome outcome = watch.Finish();
        if (outcome.by == ServedBy::NewProcess) found_(std::move(outcome));
        throw;
    }
    ActivationOutcome outcome = watch.Finish();
    if (outcome.by == ServedBy::ExistingProcess) {
        created.reset();
        if (otherSessionServes_ && otherSessionServes_())
            throw RuntimeError(ErrorNumber::CannotCreateObject, kProgramSource,
                               L"The CAD system served this session from the process of another session",
                               FailureKind::SharedServer);
        throw RuntimeError(ErrorNumber::CannotCreateObject, kProgramSource,
                           L"The CAD system's session was served by a process Kestrow did not start",
                           FailureKind::ForeignServer);
    }
    found_(std::move(outcome));
    return created;
}

}  // namespace kestrow::win32
