#include "Objects.h"

#include <algorithm>

#include "ExportContent.h"
#include "MessageBoxes.h"
#include "server/AutomationContract.h"
#include "system/SystemText.h"

namespace standin {
namespace {

IID ParseIid(const wchar_t* text) {
    IID iid{};
    IIDFromString(text, &iid);
    return iid;
}

}  // namespace

const CLSID kStandInClsid = {0x5F0C2D41, 0x8A1B, 0x4E7C, {0x9B, 0x36, 0x2C, 0x4E, 0x1D, 0x7A, 0x9B, 0x10}};
const GUID kTypeLibraryId = {0x5F0C2D40, 0x8A1B, 0x4E7C, {0x9B, 0x36, 0x2C, 0x4E, 0x1D, 0x7A, 0x9B, 0x10}};
const IID kApplicationIid = ParseIid(kestrow::contract::kApplicationIid);
const IID kDocumentsIid = ParseIid(kestrow::contract::kDocumentsIid);
const IID kDocumentIid = ParseIid(kestrow::contract::kDocumentIid);
const IID kViewsIid = ParseIid(kestrow::contract::kViewsIid);
const IID kViewIid = ParseIid(kestrow::contract::kViewIid);

namespace contract = kestrow::contract;

namespace {

constexpr const wchar_t* kSource = L"Kestrow stand-in server";

std::wstring VarTypeName(VARTYPE vt) {
    std::wstring name;
    switch (vt & VT_TYPEMASK) {
        case VT_EMPTY: name = L"VT_EMPTY"; break;
        case VT_I2: name = L"VT_I2"; break;
        case VT_I4: name = L"VT_I4"; break;
        case VT_BOOL: name = L"VT_BOOL"; break;
        case VT_BSTR: name = L"VT_BSTR"; break;
        case VT_DISPATCH: name = L"VT_DISPATCH"; break;
        case VT_VARIANT: name = L"VT_VARIANT"; break;
        default: name = L"VT_" + std::to_wstring(vt & VT_TYPEMASK); break;
    }
    if (vt & VT_BYREF) name += L"|VT_BYREF";
    return name;
}

std::wstring ValueText(const VARIANT& v) {
    switch (v.vt) {
        case VT_I2: return std::to_wstring(v.iVal);
        case VT_I4: return std::to_wstring(v.lVal);
        case VT_BOOL: return v.boolVal == VARIANT_TRUE ? L"true" : v.boolVal == VARIANT_FALSE ? L"false" : L"invalid";
        case VT_BSTR: return v.bstrVal ? v.bstrVal : L"";
        case VT_BSTR | VT_BYREF: return (v.pbstrVal && *v.pbstrVal) ? *v.pbstrVal : L"";
        default: return L"?";
    }
}

std::wstring KindText(WORD flags) {
    if (flags == DISPATCH_PROPERTYPUT) return L"put";
    if (flags == (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) return L"get";
    if (flags == DISPATCH_PROPERTYGET) return L"get";
    if (flags == DISPATCH_METHOD) return L"call";
    return L"flags:" + std::to_wstring(flags);
}

[[noreturn]] void Fail(HRESULT scode, const std::wstring& description) { throw CallError{scode, description}; }

// The one argument of a call, of exactly the type the contract names.
const VARIANT& OnlyArgument(const DISPPARAMS& params, VARTYPE type) {
    if (params.cArgs != 1) Fail(DISP_E_BADPARAMCOUNT, L"This member takes exactly one argument");
    if (params.rgvarg[0].vt != type)
        Fail(DISP_E_TYPEMISMATCH, L"Argument of type " + VarTypeName(params.rgvarg[0].vt) + L" where " +
                                      VarTypeName(type) + L" is required");
    return params.rgvarg[0];
}

void NoArguments(const DISPPARAMS& params) {
    if (params.cArgs != 0) Fail(DISP_E_BADPARAMCOUNT, L"This member takes no arguments");
}


// Opens a draft for reading and keeps others from writing it while it is
// open, as the CAD system does with the drafts it holds.
HANDLE LockForReading(const std::wstring& path, DWORD& error) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    error = file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    return file;
}

std::string ReadAll(HANDLE file) {
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
    return bytes;
}

// Writes a file whole: a temporary file beside it first, then a rename over
// it, so that a server that dies while writing leaves the draft as it was.
DWORD WriteFileAtomically(const std::wstring& path, const std::string& bytes) {
    const std::wstring temporary = path + L".kestrow-" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size() && FlushFileBuffers(file);
    DWORD error = ok ? 0 : GetLastError();
    CloseHandle(file);
    if (!error && !MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error) DeleteFileW(temporary.c_str());
    return error;
}

// One entry per file however its path is spelled.
std::wstring KeyOf(const std::wstring& path) {
    std::wstring full(32768, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    full.resize(length > 0 && length < full.size() ? length : 0);
    if (full.empty()) full = path;
    CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
    return full;
}

std::wstring SystemText(DWORD error) {
    wchar_t buffer[512] = L"";
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, buffer, 512, nullptr);
    std::wstring text = buffer;
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    return text.empty() ? L"error " + std::to_wstring(error) : text;
}

}  // namespace

DispatchObject::DispatchObject(Server& server, const IID& iid, const wchar_t* name)
    : server_(server), iid_(iid), name_(name) {
    CoAddRefServerProcess();
    server_.ObjectCreated();
}

DispatchObject::~DispatchObject() {
    server_.ObjectDestroyed();
    // The last object gone ends the process, as a server started for one
    // client does once that client lets go.
    if (CoReleaseServerProcess() == 0) PostQuitMessage(0);
}

HRESULT STDMETHODCALLTYPE DispatchObject::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == iid_) {
        if (iid == iid_) server_.Journal(std::wstring(L"qi ") + name_);
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE DispatchObject::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

ULONG STDMETHODCALLTYPE DispatchObject::Release() {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE DispatchObject::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DispatchObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT STDMETHODCALLTYPE DispatchObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    // The members the contract gives no number, by the object that has them.
    struct NamedMember {
        const wchar_t* object;
        const wchar_t* name;
        DISPID id;
        bool (Server::*offered)() const;  // null: always
    };
    static const NamedMember kNamedMembers[] = {
        {L"document", L"SaveAs", kSaveAsId, &Server::KnowsSaveAs},
        {L"application", L"ProcessID", kProcessIdDispId, nullptr},
    };
    if (!names || !ids || count == 0) return E_INVALIDARG;
    server_.Journal(std::wstring(name_) + L" GetIDsOfNames " + (names[0] ? names[0] : L""));
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        for (const NamedMember& member : kNamedMembers)
            if (names[i] && lstrcmpW(member.object, name_) == 0 && lstrcmpiW(member.name, names[i]) == 0 &&
                (!member.offered || (server_.*member.offered)()))
                ids[i] = member.id;
        if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT STDMETHODCALLTYPE DispatchObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                                  VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    server_.NoteCall();
    DISPPARAMS none{};
    DISPPARAMS& p = params ? *params : none;

    std::wstring line = std::wstring(name_) + L" " + KindText(flags) + L" " + std::to_wstring(id);
    for (UINT i = 0; i < p.cNamedArgs; ++i) line += L" named:" + std::to_wstring(p.rgdispidNamedArgs[i]);
    for (UINT i = p.cArgs; i-- > 0;) line += L" " + VarTypeName(p.rgvarg[i].vt) + L":" + ValueText(p.rgvarg[i]);
    server_.Journal(line);

    try {
        Kind kind;
        if (flags == DISPATCH_PROPERTYPUT) {
            if (p.cNamedArgs != 1 || p.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
                Fail(DISP_E_PARAMNOTOPTIONAL, L"A property put needs the DISPID_PROPERTYPUT named argument");
            kind = Kind::Put;
        } else if (flags & DISPATCH_PROPERTYGET) {
            kind = Kind::Get;
        } else if (flags == DISPATCH_METHOD) {
            kind = Kind::Call;
        } else {
            Fail(DISP_E_MEMBERNOTFOUND, L"Unsupported kind of invocation");
        }
        if (kind != Kind::Put && p.cNamedArgs != 0) Fail(DISP_E_NONAMEDARGS, L"Named arguments are not supported");
        if (result) VariantInit(result);
        Dispatch(id, kind, p, result);
        return S_OK;
    } catch (const CallError& error) {
        server_.Journal(L"  error " + std::to_wstring(static_cast<unsigned long>(error.scode)) + L" " + error.description);
        if (argError) *argError = 0;
        if (exception) {
            *exception = EXCEPINFO{};
            exception->scode = error.scode;
            exception->bstrSource = SysAllocString(kSource);
            exception->bstrDescription = SysAllocString(error.description.c_str());
        }
        return DISP_E_EXCEPTION;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

void ReturnObject(VARIANT* result, DispatchObject* object) {
    if (!result) {
        object->Release();
        return;
    }
    result->vt = VT_DISPATCH;
    result->pdispVal = object;
}

Application::Application(Server& server) : DispatchObject(server, kApplicationIid, L"application") {}

void Application::Dispatch(DISPID id, Kind kind, DISPPARAMS& params, VARIANT* result) {
    if ((id == contract::kAppPut59 || id == contract::kAppPut18) && kind == Kind::Put) {
        OnlyArgument(params, VT_BOOL);
        return;
    }
    if (id == contract::kAppDocuments && kind == Kind::Get) {
        NoArguments(params);
        if (server_.DocumentsHangMs() > 0) Sleep(server_.DocumentsHangMs());
        ReturnObject(result, new Documents(server_));
        return;
    }
    if (id == contract::kAppQuit && kind == Kind::Call) {
        NoArguments(params);
        server_.RequestQuit();
        return;
    }
    if (id == kProcessIdDispId && kind == Kind::Get) {
        NoArguments(params);
        if (result) {
            result->vt = VT_I4;
            result->lVal = static_cast<LONG>(GetCurrentProcessId());
        }
        return;
    }
    Fail(DISP_E_MEMBERNOTFOUND, L"The application has no such member for this kind of call");
}

Documents::Documents(Server& server) : DispatchObject(server, kDocumentsIid, L"documents") {}

void Documents::Dispatch(DISPID id, Kind kind, DISPPARAMS& params, VARIANT* result) {
    if (id != contract::kDocumentsOpen || kind != Kind::Get)
        Fail(DISP_E_MEMBERNOTFOUND, L"The document collection has no such member");
    const VARIANT& pathArg = OnlyArgument(params, VT_BSTR | VT_BYREF);
    const std::wstring path = (pathArg.pbstrVal && *pathArg.pbstrVal) ? *pathArg.pbstrVal : L"";

    auto open = std::make_shared<OpenDraft>();
    open->path = path;
    open->key = KeyOf(path);
    if (server_.IsOpen(open->key)) Fail(E_FAIL, L"The document is already open: " + path);
    server_.GrowForOpen();
    DWORD error = 0;
    open->lock = LockForReading(path, error);
    if (error) Fail(HRESULT_FROM_WIN32(error), L"Cannot open " + path + L": " + SystemText(error));
    auto draft = ParseDraft(ReadAll(open->lock));
    if (!draft) Fail(E_FAIL, L"Not a draft file: " + path);
    if (draft->Has(FaultKind::Unlocked)) open->Unlock();
    if (draft->Has(FaultKind::Delay)) Sleep(draft->Milliseconds(FaultKind::Delay));
    if (const Fault* dialog = draft->Find(FaultKind::Dialog)) ShowDialogs(server_, *dialog);
    if (draft->Has(FaultKind::Open)) Fail(E_FAIL, L"Simulated failure to open " + path);
    if (draft->Has(FaultKind::Busy)) server_.BusyFor(draft->Milliseconds(FaultKind::Busy));

    open->draft = std::move(*draft);
    server_.Hold(open);
    ReturnObject(result, new Document(server_, std::move(open)));
}

Document::Document(Server& server, std::shared_ptr<OpenDraft> draft)
    : DispatchObject(server, kDocumentIid, L"document"), draft_(std::move(draft)) {}

void Document::Dispatch(DISPID id, Kind kind, DISPPARAMS& params, VARIANT* result) {
    if (!server_.IsOpen(draft_->key)) Fail(E_FAIL, L"The document was closed");
    if (id == contract::kDocumentViews && kind == Kind::Get) {
        NoArguments(params);
        ReturnObject(result, new Views(server_, draft_));
        return;
    }
    if (id == kSaveAsId && kind == Kind::Call && server_.KnowsSaveAs()) {
        const VARIANT& path = OnlyArgument(params, VT_BSTR);
        SaveAs(path.bstrVal ? path.bstrVal : L"");
        return;
    }
    if (id == contract::kDocumentClose && kind == Kind::Call) {
        // A draft that cannot be stored stays open, as it would in the CAD
        // system; closing without storing always lets it go.
        if (OnlyArgument(params, VT_BOOL).boolVal == VARIANT_TRUE) Store();
        server_.Release(draft_->key);
        draft_->Unlock();
        return;
    }
    Fail(DISP_E_MEMBERNOTFOUND, L"The document has no such member for this kind of call");
}

// A CAD system that dies while it writes a draft in place: the first half
// of the new content reaches the disk, then the process ends at once, its
// handle on the draft still open.
void Document::StoreTornAndEnd(const std::string& bytes) {
    server_.Journal(L"  tornstore");
    draft_->Unlock();
    HANDLE file = CreateFileW(draft_->path.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr);
    DWORD written = 0;
    if (file != INVALID_HANDLE_VALUE) {
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size() / 2), &written, nullptr);
        FlushFileBuffers(file);
    }
    TerminateProcess(GetCurrentProcess(), 3);
}

void Document::Store() {
    if (draft_->draft.Has(FaultKind::Store)) Fail(E_FAIL, L"Simulated failure to store " + draft_->path);
    Draft stored = draft_->draft;
    ++stored.stored;
    if (stored.Has(FaultKind::TornStore)) StoreTornAndEnd(FormatDraft(stored));
    // The server's own lock would keep the new file from taking the old
    // one's place; it is taken again if storing fails.
    draft_->Unlock();
    const DWORD error = WriteFileAtomically(draft_->path, FormatDraft(stored));
    if (error) {
        DWORD again = 0;
        draft_->lock = LockForReading(draft_->path, again);
        Fail(HRESULT_FROM_WIN32(error), L"Cannot store " + draft_->path + L": " + SystemText(error));
    }
    draft_->draft = std::move(stored);
}

// Writes the draft as the format its target's extension names, as a CAD
// system does: straight into the file it is given, which a failure may leave
// half written.
void Document::SaveAs(const std::wstring& path) {
    const size_t dot = path.find_last_of(L'.');
    const size_t slash = path.find_last_of(L'\\');
    const std::wstring extension = dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)
                                       ? std::wstring()
                                       : path.substr(dot + 1);
    const std::optional<std::string> bytes = ExportedFile(extension, draft_->path, draft_->draft);
    if (!bytes) Fail(E_INVALIDARG, L"Cannot save a drawing as ." + extension + L": " + path);
    if (draft_->draft.Has(FaultKind::Export)) Fail(E_FAIL, L"Simulated failure to save " + draft_->path + L" as " + path);
    if (server_.ExportMs() > 0) Sleep(server_.ExportMs());
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        Fail(HRESULT_FROM_WIN32(error), L"Cannot save " + path + L": " + SystemText(error));
    }
    const DWORD half = static_cast<DWORD>(bytes->size() / 2);
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes->data(), half, &written, nullptr) && FlushFileBuffers(file);
    if (draft_->draft.Has(FaultKind::ExportHalf)) {
        CloseHandle(file);
        Fail(E_FAIL, L"Simulated failure halfway through saving " + path);
    }
    if (draft_->draft.Has(FaultKind::ExportSlow)) {
        server_.Journal(L"  export half written");
        Sleep(draft_->draft.Milliseconds(FaultKind::ExportSlow));
    }
    ok = ok && WriteFile(file, bytes->data() + half, static_cast<DWORD>(bytes->size()) - half, &written, nullptr) &&
         FlushFileBuffers(file);
    const DWORD error = ok ? 0 : GetLastError();
    CloseHandle(file);
    if (error) Fail(HRESULT_FROM_WIN32(error), L"Cannot save " + path + L": " + SystemText(error));
}

Views::Views(Server& server, std::shared_ptr<OpenDraft> draft)
    : DispatchObject(server, kViewsIid, L"views"), draft_(std::move(draft)) {}

void Views::Dispatch(DISPID id, Kind kind, DISPPARAMS& params, VARIANT* result) {
    if (id == contract::kViewsCount && kind == Kind::Get) {
        NoArguments(params);
        if (result) {
            result->vt = VT_I4;
            result->lVal = static_cast<LONG>(draft_->draft.views.size());
        }
        return;
    }
    if (id == contract::kViewsItem && kind == Kind::Get) {
        const short number = OnlyArgument(params, VT_I2).iVal;
        if (number < 1 || static_cast<size_t>(number) > draft_->draft.views.size())
            Fail(DISP_E_BADINDEX, L"No view number " + std::to_wstring(number));
        ReturnObject(result, new ViewItem(server_, draft_, static_cast<size_t>(number - 1)));
        return;
    }
    Fail(DISP_E_MEMBERNOTFOUND, L"The view collection has no such member for this kind of call");
}

ViewItem::ViewItem(Server& server, std::shared_ptr<OpenDraft> draft, size_t index)
    : DispatchObject(server, kViewIid, L"view"), draft_(std::move(draft)), index_(index) {}

void ViewItem::Dispatch(DISPID id, Kind kind, DISPPARAMS& params, VARIANT*) {
    if (id != contract::kViewUpdate || kind != Kind::Call) Fail(DISP_E_MEMBERNOTFOUND, L"The view has no such member");
    NoArguments(params);
    if (draft_->draft.Has(FaultKind::Crash)) {
        server_.Journal(L"  crash");
        TerminateProcess(GetCurrentProcess(), 3);
    }
    if (draft_->draft.Has(FaultKind::Hang) && !draft_->hung) {
        draft_->hung = true;
        Sleep(draft_->draft.Milliseconds(FaultKind::Hang));
    }
    if (draft_->draft.Has(FaultKind::Update))
        Fail(E_FAIL, L"Simulated failure to update view " + std::to_wstring(index_ + 1) + L" of " + draft_->path);
    // A CAD system takes its time over a view, waiting on its models.
    if (server_.ViewUpdateMs() > 0) Sleep(server_.ViewUpdateMs());
    draft_->draft.views[index_].current = true;
}

HRESULT STDMETHODCALLTYPE Factory::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE Factory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    server_.Journal(L"create");
    if (!server_.MultipleUse()) server_.RequestRevoke();
    // Only a server COM started may be one that is stopping; a user's own
    // session answers.
    if (!server_.UserSession() && server_.RefusesCreate()) {
        server_.Journal(L"create refused");
        PostQuitMessage(0);
        return CO_E_SERVER_STOPPING;
    }
    if (server_.CreateHangMs() > 0) {
        server_.Journal(L"create hangs");
        Sleep(server_.CreateHangMs());
    }
    auto* application = new (std::nothrow) Application(server_);
    if (!application) return E_OUTOFMEMORY;
    const HRESULT hr = application->QueryInterface(iid, object);
    application->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE Factory::LockServer(BOOL lock) {
    if (lock) {
        CoAddRefServerProcess();
    } else if (CoReleaseServerProcess() == 0) {
        PostQuitMessage(0);
    }
    return S_OK;
}

}  // namespace standin
