#include "AutomationSession.h"

#include "AutomationContract.h"

namespace kestrow {

void AutomationSession::End() noexcept {
    if (ended_) return;
    ended_ = true;
    try {
        if (application_ && !abandoned_()) application_->Invoke(contract::kAppQuit, InvokeKind::Call, {});
    } catch (...) {
        // A server that cannot take the last call has already gone or hung;
        // there is nobody left to report it to but the references below.
    }
    document_.reset();
    application_.reset();
}

}  // namespace kestrow
