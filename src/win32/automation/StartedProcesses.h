#pragma once
// The processes of the CAD system's program around one start: those that
// ran when it began, those that appeared while it held its turn, and what
// each one's command line says of who started it, from the start's
// beginning until its activation was looked at again. Only gathers the
// facts; server/ServerOwnership decides what they mean.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "server/ServerOwnership.h"
#include "system/Process.h"
#include "system/WindowsSessions.h"

namespace kestrow::win32 {

class StartedProcesses {
public:
    // `image`: the file name of the server's program; "" when none is
    // registered, and then nothing can be told. `everyLogon`: the server
    // runs as a set user, so processes of other logons count too.
    explicit StartedProcesses(std::wstring image = std::wstring(), bool everyLogon = false)
        : image_(std::move(image)), everyLogon_(everyLogon) {}
    // Those of the program registered as the local server of `progId`; none
    // when the ProgID names no class (then its start fails by itself).
    static std::optional<StartedProcesses> OfRegisteredServer(const std::wstring& progId);

    // The start begins: whatever runs now was there before it.
    void StartBegins();
    // A try of its activation begins again: what runs now ran before this
    // try. A process seen without the launch switch stays known: the start
    // began before it.
    void TryBegins();
    // Notes the processes that appeared since, and reads the command lines
    // not read yet.
    void Look();
    // The start gave its turn back: a process that appears from now on is
    // another start's, never a candidate (one without the switch still
    // counts against the start).
    void Freeze() { frozen_ = true; }
    bool Frozen() const { return frozen_; }
    // Whether a process that appeared has a command line not read yet.
    bool Unread() const;

    StartFacts Facts() const;
    // The process of that id among those seen and opened; null when none.
    const OwnedProcess* Find(DWORD id) const;

private:
    struct Seen {
        DWORD id = 0;
        std::optional<OwnedProcess> process;  // open to be looked at; none when it could not be opened
        bool appeared = false;
        std::optional<bool> launchedByCom;  // none until its command line is read
        bool otherLogon = false;
        bool listed = true;  // in the last look's list of processes
        bool Running() const { return process ? process->Running() : listed; }
    };
    void ReadCommandLine(Seen& seen);

    std::wstring image_;
    bool everyLogon_ = false;
    std::shared_ptr<WindowsSessions> sessions_ = std::make_shared<WindowsSessions>();
    std::vector<Seen> seen_;
    bool frozen_ = false;
};

}  // namespace kestrow::win32
