#pragma once
// The PDF, DWG and DXF check boxes of a dialog, read and set as a list of
// formats.
#include <windows.h>

#include <vector>

#include "exports/ExportFormats.h"

namespace kestrow::win32 {

std::vector<ExportFormat> ExportChecks(HWND dialog);
void SetExportChecks(HWND dialog, const std::vector<ExportFormat>& formats);

}  // namespace kestrow::win32
