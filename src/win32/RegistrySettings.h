#pragma once
// The window's batch settings, from HKCU\Software\Kestrow: DWORD values
// RestartEvery (drafts per session) and RestartMemoryMB (the server's memory
// that calls for a fresh session). A value that is missing, of another type
// or out of range leaves that setting off.
#include "BatchSettings.h"

namespace kestrow::win32 {

BatchSettings ReadBatchSettings();

}  // namespace kestrow::win32
