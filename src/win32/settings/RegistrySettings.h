#pragma once
// The window's batch settings, from HKCU\Software\Kestrow or, where an
// administrator set them, from policy (settings/SettingSource.h): DWORD values
// RestartEvery (drafts per session), RestartMemoryMB (the server's memory
// that calls for a fresh session) and Sessions (how many at once, 1 to 8). A
// value that is missing, of another type or out of range leaves that setting
// as it is by default: no renewal, one session. The DWORD Timeout is how
// long a call may take, in seconds, before the window asks whether to keep
// waiting. The REG_MULTI_SZ value
// Answers holds the rules for the CAD system's dialogs, one
// "title=button" a line. The REG_SZ value Export names the formats each
// stored draft is also saved as ("pdf,dxf"); a name in it that is no format
// is passed over.
#include "batch/BatchSettings.h"

namespace kestrow::win32 {

BatchSettings ReadBatchSettings();
std::vector<ExportFormat> ReadExportFormats();
// False when the value could not be written.
bool WriteExportFormats(const std::vector<ExportFormat>& formats);

}  // namespace kestrow::win32
