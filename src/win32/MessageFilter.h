#pragma once
// The user-interface thread's OLE message filter. It retries calls that a
// busy server rejects for a bounded time, keeps the windows painted while a
// call is pending, and asks the user what to do when a call takes too long.
#include <windows.h>
#include <objidl.h>

#include <functional>
#include <string>

namespace kestrow::win32 {

struct MessageFilterPolicy {
    DWORD busyRetryMs = 30000;    // how long a "busy, retry later" server is retried
    DWORD retryIntervalMs = 250;  // pause between two retries
    DWORD hangPromptMs = 60000;   // how long a pending call runs before the user is asked
};

class MessageFilter : public IMessageFilter {
public:
    // `askKeepWaiting` is asked after the bound with the seconds waited so
    // far; false gives up the call. `giveUp` runs when it does.
    MessageFilter(MessageFilterPolicy policy, std::function<bool(DWORD secondsWaited)> askKeepWaiting,
                  std::function<void()> giveUp);
    MessageFilter(const MessageFilter&) = delete;
    MessageFilter& operator=(const MessageFilter&) = delete;

    // Cancels every further pending call at once: the server was given up.
    void SetAbandoned(bool abandoned) { abandoned_ = abandoned; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }   // lives as long as its registration
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override;
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD tickCount, DWORD rejectType) override;
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD tickCount, DWORD pendingType) override;

private:
    MessageFilterPolicy policy_;
    std::function<bool(DWORD)> askKeepWaiting_;
    std::function<void()> giveUp_;
    DWORD nextPromptMs_;
    bool asking_ = false;
    bool abandoned_ = false;
};

// Registers a filter with the thread's apartment for as long as it lives,
// and puts the previous one back afterwards.
class MessageFilterRegistration {
public:
    explicit MessageFilterRegistration(IMessageFilter* filter);
    ~MessageFilterRegistration();
    MessageFilterRegistration(const MessageFilterRegistration&) = delete;
    MessageFilterRegistration& operator=(const MessageFilterRegistration&) = delete;

private:
    IMessageFilter* previous_ = nullptr;
    bool registered_ = false;
};

}  // namespace kestrow::win32
