#include "exports/ExportTemporary.h"

#include <algorithm>
#include <cwchar>

#include "common/CaseFold.h"
#include "exports/ExportFormats.h"

namespace kestrow {
namespace {

constexpr const wchar_t* kMark = L".kestrow-";
constexpr size_t kLongestFileName = 255;

std::wstring Hex16(std::uint64_t value) {
    wchar_t text[17];
    std::swprintf(text, 17, L"%016llX", static_cast<unsigned long long>(value));
    return text;
}

bool AllOf(const std::wstring& text, bool (*wanted)(wchar_t)) {
    return !text.empty() && std::all_of(text.begin(), text.end(), wanted);
}
bool Decimal(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool UpperHex(wchar_t c) { return Decimal(c) || (c >= L'A' && c <= L'F'); }

}  // namespace

std::wstring TemporaryExportPath(const std::wstring& target, const ExportRun& run, std::uint64_t attempt) {
    const size_t slash = target.find_last_of(L'\\');
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : target.substr(0, slash + 1);
    const std::wstring name = target.substr(folder.size());
    const size_t dot = name.find_last_of(L'.');
    const std::wstring extension = dot == std::wstring::npos ? std::wstring() : name.substr(dot);
    std::wstring stem = name.substr(0, dot);
    const std::wstring suffix = kMark + std::to_wstring(run.process) + L"-" + Hex16(run.started) + L"-" +
                                std::to_wstring(attempt) + extension;
    if (stem.size() + suffix.size() > kLongestFileName) stem.resize(kLongestFileName - suffix.size());
    return folder + stem + suffix;
}

std::optional<ExportRun> TemporaryExportOwner(const std::wstring& fileName) {
    const size_t mark = fileName.rfind(kMark);
    const size_t dot = fileName.find_last_of(L'.');
    if (mark == std::wstring::npos || dot <= mark) return std::nullopt;
    const std::wstring extension = fileName.substr(dot + 1);
    if (std::none_of(std::begin(kExportFormats), std::end(kExportFormats),
                     [&](ExportFormat format) { return SameIgnoringCase(extension, ExportFormatName(format)); }))
        return std::nullopt;
    // "<process>-<start>-<attempt>", each part as TemporaryExportPath writes it.
    const std::wstring parts = fileName.substr(mark + std::wcslen(kMark), dot - mark - std::wcslen(kMark));
    const size_t first = parts.find(L'-');
    const size_t second = first == std::wstring::npos ? std::wstring::npos : parts.find(L'-', first + 1);
    if (second == std::wstring::npos) return std::nullopt;
    const std::wstring process = parts.substr(0, first), started = parts.substr(first + 1, second - first - 1),
                       attempt = parts.substr(second + 1);
    if (!AllOf(process, Decimal) || process.size() > 10 || started.size() != 16 || !AllOf(started, UpperHex) ||
        !AllOf(attempt, Decimal) || attempt.size() > 20)
        return std::nullopt;
    const unsigned long long id = std::wcstoull(process.c_str(), nullptr, 10);
    if (id > UINT32_MAX) return std::nullopt;
    return ExportRun{static_cast<std::uint32_t>(id), std::wcstoull(started.c_str(), nullptr, 16)};
}

}  // namespace kestrow
