#pragma once
// Which process serves a session Kestrow activates: the processes of the
// class's registered server image before and after the activation. Kestrow's
// own activations take turns (a named mutex, across every Kestrow of the
// desktop), so that none mistakes another's new server for its own.
#include <functional>
#include <optional>

#include "automation/ServerImage.h"
#include "batch/Automation.h"
#include "system/KernelHandle.h"

namespace kestrow::win32 {

enum class ServedBy {
    NewProcess,       // exactly one process of the image appeared: this session's
    ExistingProcess,  // none appeared: a process that ran before took the session
    Unknown,          // no registered image, or several appeared at once
};

struct ActivationOutcome {
    ServedBy by = ServedBy::Unknown;
    std::optional<OwnedProcess> process;  // with NewProcess
};

class ActivationWatch {
public:
    explicit ActivationWatch(const std::wstring& progId);
    ~ActivationWatch();
    ActivationWatch(const ActivationWatch&) = delete;
    ActivationWatch& operator=(const ActivationWatch&) = delete;
    // After the activation returned.
    ActivationOutcome Finish();

private:
    KernelHandle turn_;
    bool haveTurn_ = false;
    std::wstring image_;
    std::vector<ProcessIdentity> before_;
};

// Creates objects through `inner` and tells `found` which process serves
// each. An object served by a process that was running before is released
// at once and gets no call: it raises SharedServer when another session of
// the same batch has a server of its own running (a server registered for
// every client handed this activation to it), ForeignServer otherwise.
class IdentifyingFactory : public AutomationFactory {
public:
    IdentifyingFactory(AutomationFactory& inner, std::function<void(ActivationOutcome&&)> found,
                       std::function<bool()> otherSessionServes = {})
        : inner_(inner), found_(std::move(found)), otherSessionServes_(std::move(otherSessionServes)) {}
    AutomationRef CreateObject(const std::wstring& progId) override;

private:
    AutomationFactory& inner_;
    std::function<void(ActivationOutcome&&)> found_;
    std::function<bool()> otherSessionServes_;
};

}  // namespace kestrow::win32
