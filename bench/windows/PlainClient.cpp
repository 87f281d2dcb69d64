// The floor for the batch: one thread, no watch, no copies, no log, making
// the same calls as a batch session in the same order with the same
// argument types and the same releases, over every draft of a folder.
// kestrow_bench times it beside Kestrow.exe /update. With /export <ext> it
// is a night of exports alone instead: each draft opened, saved as <ext>
// beside itself with SaveAs (looked up by name) and let go unstored.
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "server/AutomationContract.h"

using Microsoft::WRL::ComPtr;
namespace contract = kestrow::contract;

namespace {

struct Failed {
    HRESULT hr;
    const char* what;
};

void Check(HRESULT hr, const char* what) {
    if (FAILED(hr)) throw Failed{hr, what};
}

IID Iid(const wchar_t* text) {
    IID iid{};
    Check(IIDFromString(text, &iid), "IIDFromString");
    return iid;
}

// The object behind a returned VARIANT, asked for IDispatch as the batch
// asks (answered by the proxy itself), then cast to `iid`.
ComPtr<IDispatch> CastTo(VARIANT& result, const IID& iid) {
    if ((result.vt != VT_DISPATCH && result.vt != VT_UNKNOWN) || !result.punkVal) throw Failed{E_POINTER, "no object"};
    ComPtr<IDispatch> object, cast;
    Check(result.punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(object.GetAddressOf())), "IDispatch");
    VariantClear(&result);
    Check(object->QueryInterface(iid, reinterpret_cast<void**>(cast.GetAddressOf())), "QueryInterface");
    return cast;
}

void Call(IDispatch* object, DISPID id, WORD flags, VARIANTARG* args, UINT count, VARIANT* result,
          const char* what) {
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{args, nullptr, count, 0};
    if (flags == DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    EXCEPINFO exception{};
    UINT argError = 0;
    const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception, &argError);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    Check(hr, what);
}

constexpr WORD kGet = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

VARIANTARG Boolean(bool value) {
    VARIANTARG arg;
    VariantInit(&arg);
    arg.vt = VT_BOOL;
    arg.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return arg;
}

ComPtr<IDispatch> Get(IDispatch* object, DISPID id, VARIANTARG* args, UINT count, const IID& iid, const char* what) {
    VARIANT result;
    VariantInit(&result);
    Call(object, id, kGet, args, count, &result, what);
    return CastTo(result, iid);
}

// The document collection asked to open `path`, passed by reference.
ComPtr<IDispatch> OpenDraft(IDispatch* application, const std::wstring& path, const IID& documentsIid,
                            const IID& documentIid) {
    ComPtr<IDispatch> documents = Get(application, contract::kAppDocuments, nullptr, 0, documentsIid, "get 21");
    BSTR text = SysAllocStringLen(path.data(), static_cast<UINT>(path.size()));
    VARIANTARG byRef;
    VariantInit(&byRef);
    byRef.vt = VT_BSTR | VT_BYREF;
    byRef.pbstrVal = &text;
    ComPtr<IDispatch> document;
    try {
        document = Get(documents.Get(), contract::kDocumentsOpen, &byRef, 1, documentIid, "get 6");
    } catch (...) {
        SysFreeString(text);
        throw;
    }
    SysFreeString(text);
    return document;
}

void UpdateDraft(IDispatch* application, const std::wstring& path, const IID& documentsIid, const IID& documentIid,
                 const IID& viewsIid, const IID& viewIid) {
    ComPtr<IDispatch> document = OpenDraft(application, path, documentsIid, documentIid);
    ComPtr<IDispatch> views = Get(document.Get(), contract::kDocumentViews, nullptr, 0, viewsIid, "get 24677");
    VARIANT count;
    VariantInit(&count);
    Call(views.Get(), contract::kViewsCount, kGet, nullptr, 0, &count, "get 2");
    Check(VariantChangeType(&count, &count, 0, VT_I4), "count");
    for (LONG i = 1; i <= count.lVal; ++i) {
        VARIANTARG index;
        VariantInit(&index);
        index.vt = VT_I2;
        index.iVal = static_cast<SHORT>(i);
        ComPtr<IDispatch> view = Get(views.Get(), contract::kViewsItem, &index, 1, viewIid, "get 0");
        Call(view.Get(), contract::kViewUpdate, DISPATCH_METHOD, nullptr, 0, nullptr, "call 107");
    }
    views.Reset();
    VARIANTARG store = Boolean(true);
    Call(document.Get(), contract::kDocumentClose, DISPATCH_METHOD, &store, 1, nullptr, "call 6");
}

// Opens the draft, has it saved as `extension` beside itself, lets it go;
// returns how long SaveAs took.
double ExportDraft(IDispatch* application, const std::wstring& path, const std::wstring& extension,
                   const IID& documentsIid, const IID& documentIid) {
    ComPtr<IDispatch> document = OpenDraft(application, path, documentsIid, documentIid);
    static DISPID saveAs = DISPID_UNKNOWN;
    wchar_t name[] = L"SaveAs";
    LPOLESTR names[] = {name};
    if (saveAs == DISPID_UNKNOWN)
        Check(document->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &saveAs), "GetIDsOfNames");
    const std::wstring target = path.substr(0, path.find_last_of(L'.') + 1) + extension;
    VARIANTARG targetArg;
    VariantInit(&targetArg);
    targetArg.vt = VT_BSTR;
    targetArg.bstrVal = SysAllocString(target.c_str());
    const auto started = std::chrono::steady_clock::now();
    Call(document.Get(), saveAs, DISPATCH_METHOD, &targetArg, 1, nullptr, "SaveAs");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    VariantClear(&targetArg);
    VARIANTARG letGo = Boolean(false);
    Call(document.Get(), contract::kDocumentClose, DISPATCH_METHOD, &letGo, 1, nullptr, "call 6");
    return seconds;
}

std::vector<std::wstring> DraftsIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*.dft").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

int Run(const std::wstring& folder, const std::wstring& exportAs) {
    const IID applicationIid = Iid(contract::kApplicationIid), documentsIid = Iid(contract::kDocumentsIid),
              documentIid = Iid(contract::kDocumentIid), viewsIid = Iid(contract::kViewsIid),
              viewIid = Iid(contract::kViewIid);
    const std::vector<std::wstring> names = DraftsIn(folder);
    CLSID clsid{};
    Check(CLSIDFromProgID(contract::kProgId, &clsid), "CLSIDFromProgID");
    ComPtr<IDispatch> created, application;
    Check(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER, IID_IDispatch,
                           reinterpret_cast<void**>(created.GetAddressOf())),
          "CoCreateInstance");
    Check(created->QueryInterface(applicationIid, reinterpret_cast<void**>(application.GetAddressOf())), "application");
    created.Reset();
    VARIANTARG off = Boolean(false);
    Call(application.Get(), contract::kAppPut59, DISPATCH_PROPERTYPUT, &off, 1, nullptr, "put 59");
    Call(application.Get(), contract::kAppPut18, DISPATCH_PROPERTYPUT, &off, 1, nullptr, "put 18");
    double saveAs = 0;
    for (const auto& name : names) {
        if (exportAs.empty())
            UpdateDraft(application.Get(), folder + L"\\" + name, documentsIid, documentIid, viewsIid, viewIid);
        else
            saveAs += ExportDraft(application.Get(), folder + L"\\" + name, exportAs, documentsIid, documentIid);
    }
    Call(application.Get(), contract::kAppQuit, DISPATCH_METHOD, nullptr, 0, nullptr, "call 40");
    if (exportAs.empty())
        std::printf("%zu drafts stored\n", names.size());
    else
        std::printf("%zu drafts exported; SaveAs took %.1f ms each\n", names.size(),
                    names.empty() ? 0.0 : saveAs * 1000 / static_cast<double>(names.size()));
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const bool exporting = argc == 4 && std::wstring(argv[2]) == L"/export";
    if (argc != 2 && !exporting) {
        std::printf("usage: kestrow_bench_plain_client <folder of drafts> [/export <extension>]\n");
        return 2;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    int code = 1;
    try {
        code = Run(argv[1], exporting ? argv[3] : L"");
    } catch (const Failed& failure) {
        std::printf("%s failed: 0x%08lx\n", failure.what, static_cast<unsigned long>(failure.hr));
    }
    CoUninitialize();
    return code;
}
