#pragma once
// The program registered as the local server of a ProgID's class, and the
// processes that run it: how Kestrow tells which process serves a session.
#include <optional>
#include <string>
#include <vector>

#include "system/Process.h"
#include "system/WindowsSessions.h"

namespace kestrow::win32 {

// How a ProgID's class is registered to run as a local server.
struct LocalServerRegistration {
    std::wstring classId;      // "{...}"; "" when the ProgID names no class
    std::wstring commandLine;  // LocalServer32 as registered (quoted or not); "" when none
    // The program the system starts from it (variables expanded), read as
    // the system reads it; "" when no program of it is found.
    std::wstring program;
    // Its AppID sets a user to run it as (RunAs): it may serve activations
    // of any logon.
    bool runsAsSetUser = false;
};
LocalServerRegistration ReadLocalServerRegistration(const std::wstring& progId);

// Whether a program of that name can be started: a path names a file (not
// a folder); a bare name is looked for where the system looks.
bool ProgramFileExists(const std::wstring& path);

// A running process of the server's program.
struct ImageProcess {
    DWORD id = 0;
    std::optional<OwnedProcess> process;  // none when it cannot be opened (another user's)
    bool otherLogon = false;              // runs in another Windows session
};

// The running processes whose image is `fileName`, each opened only to be
// looked at; `sessions` refreshed to tell their logons.
std::vector<ImageProcess> ProcessesOfImage(const std::wstring& fileName, WindowsSessions& sessions);

}  // namespace kestrow::win32
