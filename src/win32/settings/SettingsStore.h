#pragma once
// The window's settings in HKCU\Software\Kestrow, read as they are stored
// (written by the settings dialog or by hand with reg add) and written by
// the settings dialog: DWORDs Sessions, RestartEvery, RestartMemoryMB and
// Timeout (seconds), REG_MULTI_SZ Answers, REG_SZ Export and QueueConnection
// (the shared nights' database, never with a password). A value that is not
// set is removed. Where an administrator set a value
// (settings/SettingSource.h), theirs is read, and the user's own is neither
// written nor removed.
#include "form/WindowSettings.h"

namespace kestrow::win32 {

StoredSettings ReadStoredSettings();
// Throws a RuntimeError with the system's reason when a value cannot be written.
void WriteStoredSettings(const StoredSettings& settings);

}  // namespace kestrow::win32
