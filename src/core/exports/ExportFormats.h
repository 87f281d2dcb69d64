#pragma once
// The formats a draft can be saved as besides itself, as the command line
// (`/export pdf,dxf`) and the window's registry value `Export` name them: a
// comma list of pdf, dwg and dxf in any case. The CAD system picks the
// format from the target's extension.
#include <optional>
#include <string>
#include <vector>

namespace kestrow {

enum class ExportFormat { Pdf, Dwg, Dxf };

// Every format, in the order they are listed and done.
inline constexpr ExportFormat kExportFormats[] = {ExportFormat::Pdf, ExportFormat::Dwg, ExportFormat::Dxf};

// "pdf", as lists and rows write it; the target's extension is "." and this.
std::wstring ExportFormatName(ExportFormat format);

// "pdf,DXF" -> {Pdf, Dxf}, in the order of kExportFormats, each once. Blanks
// around a name do not count; "" is the empty list. None when a name is no
// format, or an entry is empty ("pdf,,dxf").
std::optional<std::vector<ExportFormat>> ParseExportFormats(const std::wstring& text);

// The formats a value written by hand names, as every reader of the
// registry's Export takes them: "pdf,step" -> {Pdf}. A name that is no
// format is passed over, so that it disables no other.
std::vector<ExportFormat> KnownExportFormats(const std::wstring& text);

// {Pdf, Dxf} -> "pdf,dxf".
std::wstring ExportFormatsText(const std::vector<ExportFormat>& formats);

}  // namespace kestrow
