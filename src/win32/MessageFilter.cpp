#include "MessageFilter.h"

namespace kestrow::win32 {

MessageFilter::MessageFilter(MessageFilterPolicy policy, std::function<bool(DWORD)> askKeepWaiting,
                             std::function<void()> giveUp)
    : policy_(policy),
      askKeepWaiting_(std::move(askKeepWaiting)),
      giveUp_(std::move(giveUp)),
      nextPromptMs_(policy.hangPromptMs) {}

HRESULT STDMETHODCALLTYPE MessageFilter::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IMessageFilter) {
        *object = static_cast<IMessageFilter*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

DWORD STDMETHODCALLTYPE MessageFilter::HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) {
    return SERVERCALL_ISHANDLED;
}

DWORD STDMETHODCALLTYPE MessageFilter::RetryRejectedCall(HTASK, DWORD tickCount, DWORD rejectType) {
    if (abandoned_) return static_cast<DWORD>(-1);
    if ((rejectType == SERVERCALL_RETRYLATER || rejectType == SERVERCALL_REJECTED) && tickCount < policy_.busyRetryMs)
        return policy_.retryIntervalMs;
    return static_cast<DWORD>(-1);
}

DWORD STDMETHODCALLTYPE MessageFilter::MessagePending(HTASK, DWORD tickCount, DWORD) {
    if (abandoned_) return PENDINGMSG_CANCELCALL;
    // Each new call starts its count again.
    if (tickCount < policy_.hangPromptMs) nextPromptMs_ = policy_.hangPromptMs;
    if (tickCount >= nextPromptMs_ && !asking_) {
        asking_ = true;
        const bool keepWaiting = askKeepWaiting_(tickCount / 1000);
        asking_ = false;
        if (!keepWaiting) {
            abandoned_ = true;
            giveUp_();
            return PENDINGMSG_CANCELCALL;
        }
        nextPromptMs_ = tickCount + policy_.hangPromptMs;
    }
    return PENDINGMSG_WAITDEFPROCESS;
}

MessageFilterRegistration::MessageFilterRegistration(IMessageFilter* filter) {
    registered_ = SUCCEEDED(CoRegisterMessageFilter(filter, &previous_));
}

MessageFilterRegistration::~MessageFilterRegistration() {
    if (!registered_) return;
    IMessageFilter* ours = nullptr;
    CoRegisterMessageFilter(previous_, &ours);
    if (previous_) previous_->Release();
}

}  // namespace kestrow::win32
