#pragma once
// The user's password for a night that runs whether the user is logged on
// or not, asked for by Windows' own credential prompt: Kestrow shows no
// password field of its own, keeps the password only for the one call that
// registers the task, and then wipes it.
#include <windows.h>

#include <memory>

#include "scheduler/KestrowTasks.h"

namespace kestrow::win32 {

// The user's account and password; null when the user cancelled.
std::unique_ptr<Credentials> AskForPassword(HWND owner);

}  // namespace kestrow::win32
