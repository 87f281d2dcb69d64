#pragma once
// The dialogs of a CAD session's own process while a call to it is pending.
// Each one not seen during the call is read (title, text, buttons), its
// picture kept as a PNG, answered as the watch decides (its button pressed
// as a user's click presses it: the dialog gets the button's command, and
// a disabled button is never pressed) or left, and told to the watch. One
// left only because the rule's button is greyed out is read again at each
// look and answered once the button is enabled; when every dialog left
// open has gone by itself, the watch is told. Only
// top-level windows of that one process are looked at, and nothing is sent
// to any other. The look runs on the thread that keeps /timeout: every
// message to the CAD system's windows waits a bounded time.
#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "batch/CallWatch.h"

namespace kestrow::win32 {

class DialogWatch {
public:
    // `pictureFolder` names the folder for the pictures, made when first
    // asked for; "" keeps none.
    explicit DialogWatch(std::function<std::wstring()> pictureFolder) : pictureFolder_(std::move(pictureFolder)) {}

    // Looks at the windows of process `processId` during the call that
    // started at `callStarted`.
    void Look(DWORD processId, CallWatch& watch, CallWatch::Clock::time_point callStarted);

private:
    std::function<std::wstring()> pictureFolder_;
    std::optional<CallWatch::Clock::time_point> call_;
    std::set<HWND> seen_;  // during the call in hand
    // Left open only because the rule's button was greyed out: looked at
    // again until it is pressed, the picture kept from the first look.
    std::map<HWND, std::wstring> waitingForButton_;
    // Left open, no rule answering them: the watch hears when all are gone.
    std::set<HWND> leftOpen_;
};

}  // namespace kestrow::win32
