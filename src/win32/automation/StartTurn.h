#pragma once
// The turn that starts of the CAD system take: one at a time within a run,
// and with every other Kestrow of the computer (a scheduled run and the
// user's window, any desktop session, elevated or not), so that each start
// sees its own server's process appear and no other Kestrow's.
#include <windows.h>

#include <chrono>
#include <functional>
#include <thread>

#include "system/KernelHandle.h"

namespace kestrow::win32 {

// The named mutex the turn is. Made so that every user of the computer,
// elevated or not, may take it; where no computer-wide one can be had (one
// that somebody made and refuses to others), the turn is this desktop
// session's, or else this run's only.
class StartTurns {
public:
    StartTurns();
    HANDLE Mutex() const { return mutex_.get(); }
    // Taken with every Kestrow of the computer.
    bool ComputerWide() const { return computerWide_; }

private:
    KernelHandle mutex_;
    bool computerWide_ = false;
};

enum class TurnTaken {
    Yes,
    Stopped,        // the wait was called off
    WaitedTooLong,  // another start held it past the bound: going ahead without it
};

// One start's turn. A mutex belongs to the thread that took it, and the
// thread that activates the server may be left behind in an activation that
// never returns; so the turn is taken and held by a thread of its own, and
// given back from any thread. A turn a killed Kestrow held counts as free.
class StartTurn {
public:
    explicit StartTurn(HANDLE mutex);
    ~StartTurn();
    StartTurn(const StartTurn&) = delete;
    StartTurn& operator=(const StartTurn&) = delete;
    // Waits for the turn while `keepWaiting` says so (asked every 50 ms),
    // for `longest` at most.
    TurnTaken Take(const std::function<bool()>& keepWaiting, std::chrono::milliseconds longest);
    // Idempotent; a wait still under way ends without the turn.
    void GiveBack();

private:
    HANDLE mutex_;
    KernelHandle taken_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    KernelHandle done_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::thread holder_;
};

}  // namespace kestrow::win32
