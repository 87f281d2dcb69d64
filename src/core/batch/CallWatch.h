#pragma once
// What to do about a call to the server that has been pending for a long
// time: ask the user at intervals (the window), or give up past a deadline
// (an unattended run); and about the dialogs the server shows meanwhile.
// Consulted repeatedly while the call is pending.
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "batch/CadDialog.h"

namespace kestrow {

class CallWatch {
public:
    using Clock = std::chrono::steady_clock;
    using Asker = std::function<bool(std::int64_t secondsWaited, const std::wstring& task)>;
    struct Policy {
        std::chrono::milliseconds askEvery{0};     // 0: never ask
        std::chrono::milliseconds giveUpAfter{0};  // 0: never give up unasked
        std::vector<AnswerRule> answers{};         // how the server's dialogs are answered
        // How long a dialog that no rule answers may stand before the call is
        // given up; 0: it is waited out as any call is.
        std::chrono::milliseconds unansweredGrace{0};
    };
    // A dialog answered so often during one call is left from then on: it
    // keeps coming back, and pressing its button again would never end.
    static constexpr int kMostAnswersPerDialog = 10;
    // `pressed`: its button was pressed; otherwise it was left open.
    using DialogReporter = std::function<void(const CadDialog& dialog, const std::wstring& action, bool pressed)>;

    CallWatch(Policy policy, Asker ask, std::function<Clock::time_point()> now = &Clock::now)
        : policy_(policy), ask_(std::move(ask)), now_(std::move(now)) {}

    // What the server is doing, for the question: a drawing's path, or the
    // start of a session.
    void SetTask(std::wstring task) { task_ = std::move(task); }
    const std::wstring& Task() const { return task_; }

    // Whether to go on waiting for the call that started at `callStarted`.
    // False means give the server up.
    bool KeepWaiting(Clock::time_point callStarted);

    // A dialog the server shows during the call that started at
    // `callStarted`, not seen before: what to do about it.
    DialogAnswer AnswerDialog(const CadDialog& dialog, Clock::time_point callStarted);
    // What was done about it, `pressed` its button or left it: `action`
    // says so to the reporter.
    void DialogHandled(const CadDialog& dialog, const std::wstring& action, bool pressed);
    // Every dialog left open during the call in hand has gone by itself.
    void LeftDialogsClosed() { unansweredSince_.reset(); }
    // The last call given up was given up for a dialog no rule answers,
    // after the policy's grace.
    bool GaveUpOnDialog() const { return gaveUpOnDialog_; }
    // The last dialog left open during the call in hand: a call given up
    // is named by it.
    const std::optional<CadDialog>& DialogLeftOpen() const { return leftOpen_; }
    void SetDialogReporter(DialogReporter reporter) { reportDialog_ = std::move(reporter); }
    // Runs each time, just before the user is asked whether to keep waiting.
    void SetBeforeAsking(std::function<void()> beforeAsking) { beforeAsking_ = std::move(beforeAsking); }

private:
    // A new call forgets what the last one's dialogs were.
    void Follow(Clock::time_point callStarted);

    Policy policy_;
    Asker ask_;
    std::function<Clock::time_point()> now_;
    std::optional<Clock::time_point> watchedCall_;
    Clock::duration nextAsk_{};
    std::wstring task_;
    std::optional<Clock::time_point> dialogsOfCall_;
    std::map<std::wstring, int> answered_;  // by title and text, during the call in hand
    std::optional<CadDialog> leftOpen_;
    std::optional<Clock::time_point> unansweredSince_;  // a dialog no rule answers stands open
    bool gaveUpOnDialog_ = false;
    DialogReporter reportDialog_;
    std::function<void()> beforeAsking_;
};

}  // namespace kestrow
