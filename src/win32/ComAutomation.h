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

class ComAutomationObject : public AutomationObject {
public:
    explicit ComAutomationObject(Microsoft::WRL::ComPtr<IDispatch> dispatch) : dispatch_(std::move(dispatch)) {}
    AutomationRef QueryInterface(const std::wstring& iid) override;
    AutomationResult Invoke(std::int32_t dispatchId, InvokeKind kind, std::vector<AutomationArg> args) override;

private:
    Microsoft::WRL::ComPtr<IDispatch> dispatch_;
};

class ComAutomationFactory : public AutomationFactory {
public:
    AutomationRef CreateObject(const std::wstring& progId) override;
};

}  // namespace kestrow::win32
