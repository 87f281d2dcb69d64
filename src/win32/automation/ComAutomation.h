#pragma once
// The core's automation objects over COM: every call goes through the
// IDispatch::Invoke of the interface the object was cast to, by dispatch id.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include "server/Automation.h"
#include "common/RuntimeError.h"

namespace kestrow::win32 {

// What an HRESULT means for a batch: a server that is gone, a busy one, or
// an ordinary failure of the call.
FailureKind ClassifyFailure(HRESULT hr);

// An HRESULT failure as the program's error: the object's IErrorInfo when
// it left one, otherwise the system's text for the code.
RuntimeError ErrorFromHresult(HRESULT hr, const std::wstring& what);

// Whether an object of the ProgID's class is registered in the running
// object table, as a program started by its user registers itself. Looks
// the class up without contacting the object, so a hung program cannot hold
// the caller up. Needs COM on the calling thread.
bool ActiveObjectExists(const std::wstring& progId);

// A DISP_E_EXCEPTION as the program's error, from its EXCEPINFO; frees
// every string in it.
RuntimeError ErrorFromException(EXCEPINFO& info);

// Waits between two tries at a server. The caller's thread is a
// single-threaded apartment, so its messages keep being dispatched.
void WaitPumping(DWORD milliseconds);

// How long a call that a busy server rejects is tried again: the program's
// one busy-retry mechanism. (Wine never consults a message filter's
// RetryRejectedCall; retrying here works the same on Windows and Wine.)
struct BusyRetry {
    DWORD limitMs = 30000;
    DWORD intervalMs = 250;
};

class ComAutomationObject : public AutomationObject {
public:
    ComAutomationObject(Microsoft::WRL::ComPtr<IDispatch> dispatch, BusyRetry retry)
        : dispatch_(std::move(dispatch)), retry_(retry) {}
    AutomationRef QueryInterface(const std::wstring& iid) override;
    AutomationResult Invoke(std::int32_t dispatchId, InvokeKind kind, std::vector<AutomationArg> args) override;
    std::optional<std::int32_t> DispatchIdOf(const std::wstring& name) override;

private:
    Microsoft::WRL::ComPtr<IDispatch> dispatch_;
    BusyRetry retry_;
};

class ComAutomationFactory : public AutomationFactory {
public:
    explicit ComAutomationFactory(BusyRetry retry = {}) : retry_(retry) {}
    AutomationRef CreateObject(const std::wstring& progId) override;

private:
    BusyRetry retry_;
};

}  // namespace kestrow::win32
