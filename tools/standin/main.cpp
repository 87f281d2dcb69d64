// The stand-in for the CAD system's automation server, for development and
// tests only. Run with /RegServer to register it (only inside the project's
// private Wine prefix), /UnregServer to remove it; COM starts it with
// -Embedding. /UserSession runs it as a user's own interactive session:
// registered as running, serving no new clients.
#include <windows.h>
#include <objbase.h>

#include <string>

#include "Objects.h"
#include "Registration.h"
#include "Server.h"

namespace {

// While a draft asked for it, incoming calls are turned away as a busy
// server does; the caller's message filter decides whether to retry.
class BusyFilter : public IMessageFilter {
public:
    explicit BusyFilter(standin::Server& server) : server_(server) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IMessageFilter) {
            *object = static_cast<IMessageFilter*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    // Only calls on the automation objects are turned away; COM's own
    // housekeeping (reference counts, interface queries) goes through, as
    // it does on Windows.
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO info) override {
        if (!server_.Busy() || !info) return SERVERCALL_ISHANDLED;
        const IID& iid = info->iid;
        const bool automation = iid == IID_IDispatch || iid == standin::kApplicationIid ||
                                iid == standin::kDocumentsIid || iid == standin::kDocumentIid ||
                                iid == standin::kViewsIid || iid == standin::kViewIid;
        return automation ? SERVERCALL_REJECTED : SERVERCALL_ISHANDLED;
    }
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override { return static_cast<DWORD>(-1); }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override { return PENDINGMSG_WAITDEFPROCESS; }

private:
    standin::Server& server_;
};

std::wstring ExePath() {
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    return path;
}

bool HasSwitch(const wchar_t* commandLine, const wchar_t* name) {
    std::wstring line = commandLine;
    for (auto& c : line) c = static_cast<wchar_t>(towlower(c));
    std::wstring wanted = name;
    for (auto& c : wanted) c = static_cast<wchar_t>(towlower(c));
    return line.find(L"/" + wanted) != std::wstring::npos || line.find(L"-" + wanted) != std::wstring::npos;
}

// Runs the message loop until the server is told to end, its last object
// is gone, or it has been idle too long.
void RunMessageLoop(standin::Server& server, DWORD& cookie) {
    const UINT_PTR idleTimer = SetTimer(nullptr, 0, 1000, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && message.hwnd == nullptr && server.IdleTooLong()) break;
        if (message.message == standin::Server::kRevokeMessage && message.hwnd == nullptr && cookie) {
            CoRevokeClassObject(cookie);
            cookie = 0;
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    KillTimer(nullptr, idleTimer);
}

int Serve() {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    int exitCode = 0;
    {
        standin::Server server;
        BusyFilter filter(server);
        IMessageFilter* previous = nullptr;
        CoRegisterMessageFilter(&filter, &previous);
        Sleep(server.StartDelayMs());
        standin::Factory factory(server);
        DWORD cookie = 0;
        if (FAILED(CoRegisterClassObject(standin::kStandInClsid, &factory, CLSCTX_LOCAL_SERVER,
                                         server.MultipleUse() ? REGCLS_MULTIPLEUSE : REGCLS_SINGLEUSE, &cookie))) {
            exitCode = 1;
        } else {
            RunMessageLoop(server, cookie);
            if (cookie) CoRevokeClassObject(cookie);
        }
        CoRegisterMessageFilter(previous, nullptr);
    }
    CoUninitialize();
    return exitCode;
}

// A session the user started: its application object is in the running
// object table, where a client looking for a running CAD system finds it.
// Registered for multiple use, it also serves every new client, as a CAD
// system that registers that way does. Slow to start (StartDelayMs), it is
// in neither place until then, as a CAD system still starting.
int ServeAsUserSession() {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    int exitCode = 0;
    {
        standin::Server server;
        Sleep(server.StartDelayMs());
        server.ServeAsUserSession();
        server.Journal(L"user session");
        auto* application = new standin::Application(server);
        DWORD registration = 0;
        if (FAILED(RegisterActiveObject(application, standin::kStandInClsid, ACTIVEOBJECT_STRONG, &registration))) {
            exitCode = 1;
        } else {
            standin::Factory factory(server);
            DWORD cookie = 0;
            if (server.MultipleUse())
                CoRegisterClassObject(standin::kStandInClsid, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie);
            RunMessageLoop(server, cookie);
            if (cookie) CoRevokeClassObject(cookie);
            RevokeActiveObject(registration, nullptr);
        }
        application->Release();
    }
    CoUninitialize();
    return exitCode;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (HasSwitch(commandLine, L"RegServer") || HasSwitch(commandLine, L"UnregServer")) {
        if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
        const auto result = HasSwitch(commandLine, L"UnregServer")
                                ? standin::Unregister(ExePath())
                                : standin::Register(ExePath(), !HasSwitch(commandLine, L"Unquoted"));
        CoUninitialize();
        return static_cast<int>(result);
    }
    if (HasSwitch(commandLine, L"UserSession")) return ServeAsUserSession();
    return Serve();
}
