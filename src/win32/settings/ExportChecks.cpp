#include "settings/ExportChecks.h"

#include <algorithm>

#include "resources/DialogIds.h"

namespace kestrow::win32 {
namespace {

int CheckBoxOf(ExportFormat format) {
    switch (format) {
        case ExportFormat::Pdf: return IDC_EXPORT_PDF;
        case ExportFormat::Dwg: return IDC_EXPORT_DWG;
        case ExportFormat::Dxf: break;
    }
    return IDC_EXPORT_DXF;
}

}  // namespace

std::vector<ExportFormat> ExportChecks(HWND dialog) {
    std::vector<ExportFormat> formats;
    for (const ExportFormat format : kExportFormats)
        if (IsDlgButtonChecked(dialog, CheckBoxOf(format)) == BST_CHECKED) formats.push_back(format);
    return formats;
}

void SetExportChecks(HWND dialog, const std::vector<ExportFormat>& formats) {
    for (const ExportFormat format : kExportFormats) {
        const bool chosen = std::find(formats.begin(), formats.end(), format) != formats.end();
        CheckDlgButton(dialog, CheckBoxOf(format), chosen ? BST_CHECKED : BST_UNCHECKED);
    }
}

}  // namespace kestrow::win32
