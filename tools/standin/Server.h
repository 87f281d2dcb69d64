#pragma once
// The stand-in server's process-wide state: the journal of calls, the busy
// window a draft can ask for, the drafts it holds open, and the settings
// read at start.
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DraftFile.h"

namespace standin {

// A draft the server holds open, as the CAD system does, until it is
// closed or the server ends. Its file stays locked against writing.
struct OpenDraft {
    std::wstring path;
    std::wstring key;  // the full path in upper case: one entry per file
    Draft draft;
    HANDLE lock = INVALID_HANDLE_VALUE;
    bool hung = false;

    ~OpenDraft() { Unlock(); }
    void Unlock() {
        if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);
        lock = INVALID_HANDLE_VALUE;
    }
};

class Server {
public:
    Server();
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // One line per call, written at once so a test can read it at any time.
    // Several server processes may share one journal: they take turns.
    void Journal(const std::wstring& line);

    void BusyFor(DWORD milliseconds) { busyUntil_ = GetTickCount64() + milliseconds; }
    bool Busy() const { return GetTickCount64() < busyUntil_; }

    void NoteCall() { lastCall_ = GetTickCount64(); }
    // Ends the process once it has been idle long enough: soon when no
    // client holds an object, much later when one does (a client that
    // vanished without letting go), never in between, so that a question
    // left open for minutes in the client does not lose its server.
    bool IdleTooLong() const;
    void ObjectCreated() { ++liveObjects_; }
    void ObjectDestroyed() { --liveObjects_; }

    bool IsOpen(const std::wstring& key) const { return open_.count(key) != 0; }
    void Hold(const std::shared_ptr<OpenDraft>& draft) { open_[draft->key] = draft; }
    void Release(const std::wstring& key) { open_.erase(key); }

    // Quit: the process ends once its client has let go of its objects (the
    // last release ends it), or soon after if the client never does.
    void RequestQuit() {
        if (!quitRequested_) quitAt_ = GetTickCount64();
        quitRequested_ = true;
    }

    // Asks the message loop to withdraw the class object: each server
    // process serves one client, and no stale registration outlives it.
    static constexpr UINT kRevokeMessage = WM_APP + 1;
    void RequestRevoke() const { PostThreadMessageW(thread_, kRevokeMessage, 0, 0); }
    bool QuitRequested() const { return quitRequested_; }
    // One process serves every client, as a CAD system registered for
    // multiple use does: its class object stays offered after the first.
    bool MultipleUse() const { return multipleUse_; }
    // Memory taken (and touched) on each open and kept until the end, as a
    // CAD system that grows with every drawing.
    void GrowForOpen();
    // How long the process waits before it offers its class object, as a
    // CAD system that takes long to start.
    DWORD StartDelayMs() const { return startDelayMs_; }
    // How long the class factory takes to create the application once asked,
    // as a CAD system whose start hangs.
    DWORD CreateHangMs() const { return createHangMs_; }
    // How long the application takes to hand out its document collection,
    // as a CAD system that hangs before any draft is opened.
    DWORD DocumentsHangMs() const { return documentsHangMs_; }
    // Whether this activation is one of those a server that is stopping
    // refuses: RefuseCreates in the settings counts how many more are,
    // across the server processes that start meanwhile.
    bool RefusesCreate();
    // Runs as a user's own session of the CAD system (/UserSession).
    void ServeAsUserSession() { userSession_ = true; }
    bool UserSession() const { return userSession_; }
    // How long updating one view takes.
    DWORD ViewUpdateMs() const { return viewUpdateMs_; }
    // How long saving a draft as another format takes.
    DWORD ExportMs() const { return exportMs_; }
    // A CAD system without SaveAs: its documents do not know the name.
    bool KnowsSaveAs() const { return knowsSaveAs_; }

private:
    // The journal's handle (opened for appending only) and the lock its
    // writers take in turn: the C runtime's append mode seeks to the end
    // and then writes, so two processes writing at once overwrite each
    // other's lines.
    struct HandleClose {
        void operator()(HANDLE handle) const { CloseHandle(handle); }
    };
    using Handle = std::unique_ptr<void, HandleClose>;
    Handle journal_;
    Handle journalLock_;
    ULONGLONG busyUntil_ = 0;
    ULONGLONG lastCall_ = 0;
    DWORD idleExitMs_ = 120000;
    DWORD orphanExitMs_ = 3600000;
    DWORD startDelayMs_ = 0;
    DWORD documentsHangMs_ = 0;
    DWORD viewUpdateMs_ = 0;
    DWORD exportMs_ = 0;
    bool knowsSaveAs_ = true;
    DWORD createHangMs_ = 0;
    bool multipleUse_ = false;
    bool userSession_ = false;
    bool journalPids_ = false;  // each line begins with the process id
    bool journalTimes_ = false;  // and before that, with the tick count in ms
    DWORD growMbPerOpen_ = 0;
    std::vector<std::unique_ptr<char[]>> grown_;
    long liveObjects_ = 0;
    bool quitRequested_ = false;
    ULONGLONG quitAt_ = 0;
    DWORD thread_ = GetCurrentThreadId();
    std::map<std::wstring, std::shared_ptr<OpenDraft>> open_;
};

}  // namespace standin
