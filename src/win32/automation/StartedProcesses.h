#pragma once
// The processes of the CAD system's program around one start: those that
// ran when its activation began, those that appeared while the start held
// its turn, and what each one's command line says of who started it. Only
// gathers the facts; batch/ServerOwnership decides what they mean.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "batch/ServerOwnership.h"
#include "system/Process.h"

namespace kestrow::win32 {

class StartedProcesses {
public:
    // `image`: the file name of the server's program; "" when none is
    // registered, and then nothing can be told.
    explicit StartedProcesses(std::wstring image = std::wstring()) : image_(std::move(image)) {}

    // The activation begins (again): whatever runs now was there before it.
    void Begin();
    // Notes the processes that appeared since, and reads the command lines
    // not read yet.
    void Look();
    // The start gave its turn back: a process that appears from now on is
    // another start's, never a candidate.
    void Freeze() { frozen_ = true; }
    bool Frozen() const { return frozen_; }
    // Whether a process that appeared has a command line not read yet.
    bool Unread() const;

    StartFacts Facts() const;
    // The process of that id among those seen, still open; null when none.
    const OwnedProcess* Find(DWORD id) const;

private:
    struct Seen {
        OwnedProcess process;
        bool appeared = false;
        std::optional<bool> launchedByCom;  // none until its command line is read
    };
    void ReadCommandLine(Seen& seen);

    std::wstring image_;
    std::vector<Seen> seen_;
    bool frozen_ = false;
};

}  // namespace kestrow::win32
