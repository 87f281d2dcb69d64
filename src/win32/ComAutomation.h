#pragma once
// The core's automation objects over COM: every call goes through the
// IDispatch::Invoke of the interface the object was cast to, by dispatch id.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include "Automation.h"
#include "RuntimeError.h"

namespace kestrow::win32 {

// An HRESULT failure as the program's error: the object's IErrorInfo when
// it left one, otherwise the system's text for the code.
RuntimeError ErrorFromHresult(HRESULT hr, const std::wstring& what);

// A DISP_E_EXCEPTION as the program's error, from its EXCEPINFO; frees
// every string in it.
RuntimeError ErrorFromException(EXCEPINFO& info);

// How long a call that a busy server rejects is tried again. The message
// filter retries first where COM supports it; this covers the rest.
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
