#include "batch/CallWatch.h"

namespace kestrow {

bool CallWatch::KeepWaiting(Clock::time_point callStarted) {
    if (callStarted != watchedCall_) {
        watchedCall_ = callStarted;
        nextAsk_ = policy_.askEvery;
    }
    const Clock::duration pending = now_() - callStarted;
    if (policy_.giveUpAfter.count() > 0 && pending >= policy_.giveUpAfter) return false;
    if (policy_.askEvery.count() <= 0 || !ask_ || pending < nextAsk_) return true;
    const bool keepWaiting = ask_(std::chrono::duration_cast<std::chrono::seconds>(pending).count(), task_);
    // The next question comes one interval after this one was answered,
    // however long the user took.
    if (keepWaiting) nextAsk_ = (now_() - callStarted) + policy_.askEvery;
    return keepWaiting;
}

}  // namespace kestrow
