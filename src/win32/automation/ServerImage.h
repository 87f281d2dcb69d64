#pragma once
// The program registered as the local server of a ProgID's class, and the
// processes that run it: how Kestrow tells which process serves a session.
#include <string>
#include <vector>

#include "system/Process.h"

namespace kestrow::win32 {

// How a ProgID's class is registered to run as a local server.
struct LocalServerRegistration {
    std::wstring classId;      // "{...}"; "" when the ProgID names no class
    std::wstring commandLine;  // LocalServer32 as registered (quoted or not); "" when none
    // The program the system starts from it (variables expanded), read as
    // the system reads it; "" when no program of it is found.
    std::wstring program;
};
LocalServerRegistration ReadLocalServerRegistration(const std::wstring& progId);

// The file name (no folder) of the image registered as the local server of
// `progId`'s class; "" when there is none.
std::wstring LocalServerImage(const std::wstring& progId);

// Whether a program of that name can be started: a path names a file (not
// a folder); a bare name is looked for where the system looks.
bool ProgramFileExists(const std::wstring& path);

// The running processes whose image is `fileName`, each open.
std::vector<OwnedProcess> ProcessesOfImage(const std::wstring& fileName);

}  // namespace kestrow::win32
