#include "batch/CallWatch.h"

namespace kestrow {

namespace {

std::wstring DialogKey(const CadDialog& dialog) { return dialog.title + L'\n' + dialog.text; }

}  // namespace

void CallWatch::Follow(Clock::time_point callStarted) {
    if (callStarted == dialogsOfCall_) return;
    dialogsOfCall_ = callStarted;
    answered_.clear();
    leftOpen_.reset();
    unansweredSince_.reset();
}

DialogAnswer CallWatch::AnswerDialog(const CadDialog& dialog, Clock::time_point callStarted) {
    Follow(callStarted);
    DialogAnswer answer = answered_[DialogKey(dialog)] >= kMostAnswersPerDialog
                              ? DialogAnswer{std::nullopt, L"answered " + std::to_wstring(kMostAnswersPerDialog) +
                                                               L" times during this call, it keeps coming back"}
                              : AnswerByRules(policy_.answers, dialog);
    // One whose button is greyed out only for now may yet be answered.
    if (!answer.button && !answer.buttonDisabled && !unansweredSince_) unansweredSince_ = now_();
    return answer;
}

void CallWatch::DialogHandled(const CadDialog& dialog, const std::wstring& action, bool pressed) {
    if (pressed) {
        ++answered_[DialogKey(dialog)];
        // Left open at first, while its button was greyed out: it stands
        // open no longer.
        if (leftOpen_ && DialogKey(*leftOpen_) == DialogKey(dialog)) leftOpen_.reset();
    } else {
        leftOpen_ = dialog;
    }
    if (reportDialog_) reportDialog_(dialog, action, pressed);
}

bool CallWatch::KeepWaiting(Clock::time_point callStarted) {
    Follow(callStarted);
    if (callStarted != watchedCall_) {
        watchedCall_ = callStarted;
        nextAsk_ = policy_.askEvery;
    }
    const Clock::duration pending = now_() - callStarted;
    gaveUpOnDialog_ = policy_.unansweredGrace.count() > 0 && unansweredSince_ &&
                      now_() - *unansweredSince_ >= policy_.unansweredGrace;
    if (gaveUpOnDialog_) return false;
    if (policy_.giveUpAfter.count() > 0 && pending >= policy_.giveUpAfter) return false;
    if (policy_.askEvery.count() <= 0 || !ask_ || pending < nextAsk_) return true;
    if (beforeAsking_) beforeAsking_();
    const bool keepWaiting = ask_(std::chrono::duration_cast<std::chrono::seconds>(pending).count(), task_);
    // The next question comes one interval after this one was answered,
    // however long the user took.
    if (keepWaiting) nextAsk_ = (now_() - callStarted) + policy_.askEvery;
    return keepWaiting;
}

}  // namespace kestrow
