#include "automation/ComAutomation.h"

#include <oleauto.h>

#include <cstdint>
#include <memory>

#include "system/ComValues.h"
#include "system/SystemText.h"

namespace kestrow::win32 {
namespace {

using Microsoft::WRL::ComPtr;

struct ExcepInfo : EXCEPINFO {
    ExcepInfo() : EXCEPINFO{} {}
    ~ExcepInfo() {
        SysFreeString(bstrSource);
        SysFreeString(bstrDescription);
        SysFreeString(bstrHelpFile);
    }
    ExcepInfo(const ExcepInfo&) = delete;
    ExcepInfo& operator=(const ExcepInfo&) = delete;
};

bool Rejected(HRESULT hr) { return hr == RPC_E_CALL_REJECTED || hr == RPC_E_SERVERCALL_RETRYLATER; }

// Makes a call, and makes it again while a busy server rejects it, up to
// the limit counted from the first try.
template <typename Call>
HRESULT WithBusyRetry(const BusyRetry& retry, Call call) {
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        const HRESULT hr = call();
        if (!Rejected(hr) || GetTickCount64() - start >= retry.limitMs) return hr;
        WaitPumping(retry.intervalMs);
    }
}

}  // namespace

void WaitPumping(DWORD milliseconds) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
}

FailureKind ClassifyFailure(HRESULT hr) {
    switch (static_cast<std::uint32_t>(hr)) {
        case 0x80010108u:  // RPC_E_DISCONNECTED
        case 0x800706BAu:  // RPC_S_SERVER_UNAVAILABLE
        case 0x800706BEu:  // RPC_S_CALL_FAILED
        case 0x800706BFu:  // RPC_S_CALL_FAILED_DNE
        case 0x80010007u:  // RPC_E_SERVER_DIED
        case 0x80010012u:  // RPC_E_SERVER_DIED_DNE
        case 0x800401FDu:  // CO_E_OBJNOTCONNECTED
            return FailureKind::ServerGone;
        default: break;
    }
    return Rejected(hr) ? FailureKind::ServerBusy : FailureKind::Ordinary;
}

RuntimeError ErrorFromHresult(HRESULT hr, const std::wstring& what) {
    const FailureKind kind = ClassifyFailure(hr);
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) == S_OK && info) {
        BSTR source = nullptr, description = nullptr;
        info->GetSource(&source);
        info->GetDescription(&description);
        const Bstr sourceOwner(source), descriptionOwner(description);
        if (description && SysStringLen(description) > 0)
            return RuntimeError(hr, source && SysStringLen(source) ? FromBstr(source) : std::wstring(kProgramSource),
                                FromBstr(description), kind);
    }
    std::wstring text = SystemMessage(hr);
    if (Rejected(hr)) text = L"Solid Edge stayed busy and did not accept the call";
    if (text.empty()) text = L"The automation call failed";
    return RuntimeError(hr, kProgramSource, what.empty() ? text : what + L": " + text, kind);
}

RuntimeError ErrorFromException(EXCEPINFO& info) {
    if (info.pfnDeferredFillIn) {
        info.pfnDeferredFillIn(&info);
        info.pfnDeferredFillIn = nullptr;
    }
    const long number = info.scode != 0 ? static_cast<long>(info.scode) : static_cast<long>(info.wCode);
    std::wstring source = FromBstr(info.bstrSource);
    std::wstring description = FromBstr(info.bstrDescription);
    return RuntimeError(number, source, description.empty() ? std::wstring(L"Automation error") : description);
}

AutomationRef ComAutomationObject::QueryInterface(const std::wstring& iid) {
    IID wanted{};
    if (FAILED(IIDFromString(iid.c_str(), &wanted)))
        throw RuntimeError(ErrorNumber::InvalidProcedureCall, kProgramSource, L"Malformed interface identifier " + iid);
    // The interfaces of the contract all derive from IDispatch, so the
    // pointer the query returns is called through IDispatch's slots.
    ComPtr<IDispatch> cast;
    const HRESULT hr = WithBusyRetry(retry_, [&] {
        cast.Reset();
        return dispatch_->QueryInterface(wanted, reinterpret_cast<void**>(cast.GetAddressOf()));
    });
    if (FAILED(hr)) throw ErrorFromHresult(hr, L"Interface " + iid);
    if (!cast) throw RuntimeError(static_cast<long>(E_NOINTERFACE), kProgramSource, L"Interface " + iid + L" is null");
    return std::make_unique<ComAutomationObject>(std::move(cast), retry_);
}

AutomationResult ComAutomationObject::Invoke(std::int32_t dispatchId, InvokeKind kind,
                                             std::vector<AutomationArg> args) {
    // Arguments go right to left; by-reference strings live in BSTRs that
    // are read back after the call.
    const size_t count = args.size();
    std::unique_ptr<VARIANTARG[]> values(new VARIANTARG[count ? count : 1]);
    std::unique_ptr<BSTR[]> strings(new BSTR[count ? count : 1]());
    struct StringsFree {
        BSTR* list;
        size_t count;
        ~StringsFree() {
            for (size_t i = 0; i < count; ++i) SysFreeString(list[i]);
        }
    } stringsFree{strings.get(), count};

    for (size_t i = 0; i < count; ++i) {
        const AutomationArg& arg = args[count - 1 - i];
        VARIANTARG& value = values[i];
        VariantInit(&value);
        switch (arg.type) {
            case AutomationArg::Type::Boolean:
                value.vt = VT_BOOL;
                value.boolVal = arg.boolean ? VARIANT_TRUE : VARIANT_FALSE;
                break;
            case AutomationArg::Type::Int16:
                value.vt = VT_I2;
                value.iVal = arg.int16;
                break;
            case AutomationArg::Type::StringByRef:
                strings[i] = SysAllocStringLen(arg.text->data(), static_cast<UINT>(arg.text->size()));
                if (!strings[i]) throw RuntimeError(ErrorNumber::OutOfMemory, kProgramSource, L"Out of memory");
                value.vt = VT_BSTR | VT_BYREF;
                value.pbstrVal = &strings[i];
                break;
            case AutomationArg::Type::String:
                strings[i] = SysAllocStringLen(arg.value.data(), static_cast<UINT>(arg.value.size()));
                if (!strings[i]) throw RuntimeError(ErrorNumber::OutOfMemory, kProgramSource, L"Out of memory");
                value.vt = VT_BSTR;
                value.bstrVal = strings[i];
                break;
        }
    }

    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{values.get(), nullptr, static_cast<UINT>(count), 0};
    WORD flags = DISPATCH_METHOD;
    if (kind == InvokeKind::Put) {
        flags = DISPATCH_PROPERTYPUT;
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    } else if (kind == InvokeKind::Get) {
        flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
    }

    Variant result;
    ExcepInfo exception;
    UINT argError = 0;
    SetErrorInfo(0, nullptr);
    const HRESULT hr = WithBusyRetry(retry_, [&] {
        return dispatch_->Invoke(dispatchId, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                 kind == InvokeKind::Get ? &result : nullptr, &exception, &argError);
    });
    if (hr == DISP_E_EXCEPTION) throw ErrorFromException(exception);
    if (FAILED(hr)) throw ErrorFromHresult(hr, L"Dispatch call " + std::to_wstring(dispatchId));

    for (size_t i = 0; i < count; ++i) {
        const AutomationArg& arg = args[count - 1 - i];
        if (arg.type == AutomationArg::Type::StringByRef) *arg.text = FromBstr(strings[i]);
    }

    AutomationResult out;
    if (kind != InvokeKind::Get) return out;
    if (result.vt == VT_DISPATCH || result.vt == VT_UNKNOWN) {
        if (!result.punkVal) return out;
        ComPtr<IDispatch> object;
        const HRESULT qi = result.punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(object.GetAddressOf()));
        if (FAILED(qi)) throw ErrorFromHresult(qi, L"Returned object");
        out.object = std::make_unique<ComAutomationObject>(std::move(object), retry_);
    } else if (result.vt != VT_EMPTY && result.vt != VT_NULL) {
        Variant number;
        const HRESULT converted = VariantChangeType(&number, &result, 0, VT_I4);
        if (converted == DISP_E_OVERFLOW) throw OverflowError();
        if (FAILED(converted)) throw ErrorFromHresult(converted, L"Returned value");
        out.number = number.lVal;
    }
    return out;
}

std::optional<std::int32_t> ComAutomationObject::DispatchIdOf(const std::wstring& name) {
    std::wstring copy = name;
    LPOLESTR names[1] = {copy.data()};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT hr = WithBusyRetry(retry_, [&] {
        return dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    });
    if (hr == DISP_E_UNKNOWNNAME || hr == DISP_E_MEMBERNOTFOUND || hr == E_NOTIMPL) return std::nullopt;
    if (FAILED(hr)) throw ErrorFromHresult(hr, L"The name " + name);
    return static_cast<std::int32_t>(id);
}

AutomationRef ComAutomationFactory::CreateObject(const std::wstring& progId) {
    // The number the user sees is Windows' own, so that it can be looked up.
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(progId.c_str(), &clsid);
    if (FAILED(hr)) {
        const std::wstring reason = SystemMessage(hr);
        throw RuntimeError(hr, kProgramSource,
                           L"ActiveX component can't create object: " + progId + L" is not registered" +
                               (reason.empty() ? std::wstring() : L" (" + reason + L")"));
    }
    ComPtr<IDispatch> created;
    hr = WithBusyRetry(retry_, [&] {
        created.Reset();
        return CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(created.GetAddressOf()));
    });
    if (FAILED(hr)) {
        const RuntimeError cause = ErrorFromHresult(hr, L"");
        throw RuntimeError(hr, kProgramSource,
                           L"ActiveX component can't create object " + progId + L": " + cause.Description(),
                           cause.Kind());
    }
    return std::make_unique<ComAutomationObject>(std::move(created), retry_);
}

bool ActiveObjectExists(const std::wstring& progId) {
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(progId.c_str(), &clsid))) return false;
    wchar_t clsidText[64];
    if (!StringFromGUID2(clsid, clsidText, 64)) return false;
    // The moniker GetActiveObject looks up, without unmarshalling the object.
    ComPtr<IRunningObjectTable> table;
    ComPtr<IMoniker> moniker;
    if (FAILED(GetRunningObjectTable(0, &table)) || FAILED(CreateItemMoniker(L"!", clsidText, &moniker))) return false;
    return table->IsRunning(moniker.Get()) == S_OK;
}

}  // namespace kestrow::win32
