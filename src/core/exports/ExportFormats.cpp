#include "exports/ExportFormats.h"

#include <algorithm>

#include "common/CaseFold.h"

namespace kestrow {
namespace {

std::wstring Trimmed(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) return std::wstring();
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

}  // namespace

std::wstring ExportFormatName(ExportFormat format) {
    switch (format) {
        case ExportFormat::Pdf: return L"pdf";
        case ExportFormat::Dwg: return L"dwg";
        case ExportFormat::Dxf: break;
    }
    return L"dxf";
}

std::optional<std::vector<ExportFormat>> ParseExportFormats(const std::wstring& text) {
    std::vector<ExportFormat> named;
    if (Trimmed(text).empty()) return named;
    size_t at = 0;
    for (;;) {
        const size_t comma = text.find(L',', at);
        const std::wstring name = Trimmed(text.substr(at, comma == std::wstring::npos ? std::wstring::npos : comma - at));
        const auto* found = std::find_if(std::begin(kExportFormats), std::end(kExportFormats),
                                         [&](ExportFormat format) { return SameIgnoringCase(name, ExportFormatName(format)); });
        if (found == std::end(kExportFormats)) return std::nullopt;
        named.push_back(*found);
        if (comma == std::wstring::npos) break;
        at = comma + 1;
    }
    std::vector<ExportFormat> formats;
    for (const ExportFormat format : kExportFormats)
        if (std::find(named.begin(), named.end(), format) != named.end()) formats.push_back(format);
    return formats;
}

std::vector<ExportFormat> KnownExportFormats(const std::wstring& text) {
    std::vector<ExportFormat> known;
    for (size_t at = 0;;) {
        const size_t comma = text.find(L',', at);
        const auto named = ParseExportFormats(text.substr(at, comma == std::wstring::npos ? comma : comma - at));
        if (named && named->size() == 1) known.push_back(named->front());
        if (comma == std::wstring::npos) break;
        at = comma + 1;
    }
    return *ParseExportFormats(ExportFormatsText(known));  // in their order, each once
}

std::wstring ExportFormatsText(const std::vector<ExportFormat>& formats) {
    std::wstring text;
    for (const ExportFormat format : formats) text += (text.empty() ? L"" : L",") + ExportFormatName(format);
    return text;
}

}  // namespace kestrow
