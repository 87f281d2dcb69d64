#pragma once
// The program registered as the local server of a ProgID's class, and the
// processes that run it: how Kestrow tells which process serves a session.
#include <string>
#include <vector>

#include "system/Process.h"

namespace kestrow::win32 {

// The file name (no folder) of the image registered as the local server of
// `progId`'s class; "" when there is none.
std::wstring LocalServerImage(const std::wstring& progId);

// The running processes whose image is `fileName`, each open.
std::vector<OwnedProcess> ProcessesOfImage(const std::wstring& fileName);

}  // namespace kestrow::win32
