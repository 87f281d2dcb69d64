#pragma once
// The stand-in server's five automation objects. Each answers
// QueryInterface for IUnknown, IDispatch and its own interface of the
// contract, takes calls only through Invoke by dispatch id, checks every
// argument type, and reports anything else as an exception with a filled
// EXCEPINFO.
#include <windows.h>
#include <oaidl.h>

#include <memory>
#include <string>
#include <vector>

#include "DraftFile.h"
#include "Server.h"

namespace standin {

// A failure to report to the caller through EXCEPINFO.
struct CallError {
    HRESULT scode;
    std::wstring description;
};

class DispatchObject : public IDispatch {
public:
    DispatchObject(Server& server, const IID& iid, const wchar_t* name);
    virtual ~DispatchObject();
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argError) override;

protected:
    enum class Kind { Put, Get, Call };
    // Carries out a call whose shape was already checked; throws CallError.
    virtual void Dispatch(DISPID id, Kind kind, DISPPARAMS& params, VARIANT* result) = 0;
    Server& server_;

private:
    LONG references_ = 1;
    IID iid_;
    const wchar_t* name_;
};

// Drops the initial reference of a new object into a VARIANT result.
void ReturnObject(VARIANT* result, DispatchObject* object);

class Application : public DispatchObject {
public:
    explicit Application(Server& server);

private:
    void Dispatch(DISPID id, Kind kind, DISPPARAMS& params, VARIANT* result) override;
};

class Documents : public DispatchObject {
public:
    explicit Documents(Server& server);

private:
    void Dispatch(DISPID id, Kind kind, DISPPARAMS& params, VARIANT* result) override;
};

class Document : public DispatchObject {
public:
    Document(Server& server, std::shared_ptr<OpenDraft> draft);

private:
    void Dispatch(DISPID id, Kind kind, DISPPARAMS& params, VARIANT* result) override;
    void Store();
    void StoreTornAndEnd(const std::string& bytes);
    void SaveAs(const std::wstring& path);
    std::shared_ptr<OpenDraft> draft_;
};

class Views : public DispatchObject {
public:
    Views(Server& server, std::shared_ptr<OpenDraft> draft);

private:
    void Dispatch(DISPID id, Kind kind, DISPPARAMS& params, VARIANT* result) override;
    std::shared_ptr<OpenDraft> draft_;
};

class ViewItem : public DispatchObject {
public:
    ViewItem(Server& server, std::shared_ptr<OpenDraft> draft, size_t index);

private:
    void Dispatch(DISPID id, Kind kind, DISPPARAMS& params, VARIANT* result) override;
    std::shared_ptr<OpenDraft> draft_;
    size_t index_;
};

// The class factory that the server registers for its CLSID.
class Factory : public IClassFactory {
public:
    explicit Factory(Server& server) : server_(server) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    Server& server_;
};

// The application's process id, a member looked up by name.
constexpr DISPID kProcessIdDispId = 1001;

// The document's SaveAs, which the contract gives no number: clients look
// it up by name.
constexpr DISPID kSaveAsId = 10001;

extern const CLSID kStandInClsid;
extern const GUID kTypeLibraryId;
// The contract's interface identifiers, read from the header Kestrow is
// built from.
extern const IID kApplicationIid, kDocumentsIid, kDocumentIid, kViewsIid, kViewIid;

}  // namespace standin
