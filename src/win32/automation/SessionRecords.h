#pragma once
// Records of the CAD sessions Kestrow started, one file each under
// KestrowDataFolder(L"Sessions"): the server's process and the Kestrow that
// owns it, each by id and creation time. A record outlives a Kestrow that
// was ended abruptly, so that the next run can end the session it left.
#include "system/Process.h"

namespace kestrow::win32 {

// This Kestrow owns `server`.
void RecordSession(const ProcessIdentity& server);
// `server` is gone; its record goes too.
void ForgetSession(const ProcessIdentity& server);

// Ends the server of every recorded session whose Kestrow no longer runs,
// and removes records of servers already gone. Sessions of a Kestrow that
// still runs are left alone. Returns how many servers it ended.
int EndLeftoverSessions();

}  // namespace kestrow::win32
