#pragma once
// The window's settings in HKCU\Software\Kestrow, read as they are stored
// (written by the settings dialog or by hand with reg add) and written by
// the settings dialog: DWORDs Sessions, RestartEvery and RestartMemoryMB,
// REG_MULTI_SZ Answers, REG_SZ Export and QueueConnection (the shared nights'
// database, never with a password). A value that is not set is removed.
#include "form/WindowSettings.h"

namespace kestrow::win32 {

StoredSettings ReadStoredSettings();
// Throws a RuntimeError with the system's reason when a value cannot be written.
void WriteStoredSettings(const StoredSettings& settings);

}  // namespace kestrow::win32
