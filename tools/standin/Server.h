#pragma once
// The stand-in server's process-wide state: the journal of calls, the busy
// window a draft can ask for, and the settings read at start.
#include <windows.h>

#include <cstdio>
#include <string>

namespace standin {

class Server {
public:
    Server();
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // One line per call, flushed at once so a test can read it at any time.
    void Journal(const std::wstring& line);

    void BusyFor(DWORD milliseconds) { busyUntil_ = GetTickCount64() + milliseconds; }
    bool Busy() const { return GetTickCount64() < busyUntil_; }

    void NoteCall() { lastCall_ = GetTickCount64(); }
    ULONGLONG IdleMs() const { return GetTickCount64() - lastCall_; }
    DWORD IdleExitMs() const { return idleExitMs_; }

    void RequestQuit() { quitRequested_ = true; PostQuitMessage(0); }

    // Asks the message loop to withdraw the class object: each server
    // process serves one client, and no stale registration outlives it.
    static constexpr UINT kRevokeMessage = WM_APP + 1;
    void RequestRevoke() const { PostThreadMessageW(thread_, kRevokeMessage, 0, 0); }
    bool QuitRequested() const { return quitRequested_; }

private:
    FILE* journal_ = nullptr;
    ULONGLONG busyUntil_ = 0;
    ULONGLONG lastCall_ = 0;
    DWORD idleExitMs_ = 120000;
    bool quitRequested_ = false;
    DWORD thread_ = GetCurrentThreadId();
};

}  // namespace standin
