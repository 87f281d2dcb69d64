#pragma once
// A gate in front of a server's contract calls. The batch closes it while it
// asks the user whether to keep waiting for a server, so that a server that
// wakes up meanwhile gets no further call until the answer: on Yes the gate
// opens again, on No it is shut for good and every later call raises
// ServerAbandoned instead of reaching the server. Releases of references
// are not contract calls and pass regardless.
#include <condition_variable>
#include <mutex>

#include "server/Automation.h"

namespace kestrow {

class CallGate {
public:
    void Close();
    void Open();
    void ShutForGood();
    bool Shut() const;
    // Waits while the gate is closed; raises once it is shut for good.
    void Pass();

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool closed_ = false;
    bool shut_ = false;
};

// Objects whose every call passes `gate` first.
class GatedFactory : public AutomationFactory {
public:
    GatedFactory(AutomationFactory& inner, CallGate& gate) : inner_(inner), gate_(gate) {}
    AutomationRef CreateObject(const std::wstring& progId) override;

private:
    AutomationFactory& inner_;
    CallGate& gate_;
};

}  // namespace kestrow
