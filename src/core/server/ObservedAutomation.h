#pragma once
// Automation objects that tell an observer when each call to the server
// starts and ends. Releasing a remote object is a call to the server too,
// so releases are observed as well.
#include "server/Automation.h"

namespace kestrow {

// A call to the server that is no invocation.
enum class ObservedCallKind { Creation, Cast, LookUp, Release };

class CallObserver {
public:
    virtual ~CallObserver() = default;
    virtual void CallStarted() = 0;
    virtual void CallEnded() = 0;
    // Told just before the CallStarted of an invocation, for an observer
    // that tells the contract's calls apart.
    virtual void Invoking(std::int32_t dispatchId, InvokeKind kind, const std::vector<AutomationArg>& args) {
        (void)dispatchId;
        (void)kind;
        (void)args;
    }
    // Told just before the CallStarted of every other call.
    virtual void Other(ObservedCallKind kind) { (void)kind; }
};

class ObservedFactory : public AutomationFactory {
public:
    ObservedFactory(AutomationFactory& inner, CallObserver& observer) : inner_(inner), observer_(observer) {}
    AutomationRef CreateObject(const std::wstring& progId) override;

private:
    AutomationFactory& inner_;
    CallObserver& observer_;
};

}  // namespace kestrow
