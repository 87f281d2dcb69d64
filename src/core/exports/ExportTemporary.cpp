#include "exports/ExportTemporary.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include "common/CaseFold.h"
#include "exports/ExportFormats.h"

namespace kestrow {
namespace {

constexpr const wchar_t* kMark = L".kestrow-";
constexpr size_t kLongestFileName = 255;

std::wstring Hex(std::uint64_t value, int digits) {
    wchar_t text[17];
    std::swprintf(text, 17, L"%0*llX", digits, static_cast<unsigned long long>(value));
    return text;
}

std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> parts;
    for (size_t start = 0;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::wstring::npos) return parts;
        start = end + 1;
    }
}

bool AllOf(const std::wstring& text, bool (*wanted)(wchar_t)) {
    return !text.empty() && std::all_of(text.begin(), text.end(), wanted);
}
bool Decimal(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool UpperHex(wchar_t c) { return Decimal(c) || (c >= L'A' && c <= L'F'); }

}  // namespace

std::uint32_t ComputerMark(std::wstring_view computerName) {
    // FNV-1a over the folded characters: short, and stable across versions.
    std::uint32_t hash = 2166136261u;
    for (const wchar_t c : computerName) {
        const char32_t folded = FoldToUpper(static_cast<char32_t>(c));
        for (int shift = 0; shift < 32; shift += 8) hash = (hash ^ ((folded >> shift) & 0xFF)) * 16777619u;
    }
    return hash;
}

std::wstring TemporaryExportPath(const std::wstring& target, const ExportRun& run, std::uint64_t attempt) {
    const size_t slash = target.find_last_of(L'\\');
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : target.substr(0, slash + 1);
    const std::wstring name = target.substr(folder.size());
    const size_t dot = name.find_last_of(L'.');
    const std::wstring extension = dot == std::wstring::npos ? std::wstring() : name.substr(dot);
    std::wstring stem = name.substr(0, dot);
    const std::wstring computer = run.computer ? Hex(*run.computer, 8) + L"-" : std::wstring();
    const std::wstring suffix = kMark + computer + std::to_wstring(run.process) + L"-" + Hex(run.started, 16) +
                                L"-" + std::to_wstring(attempt) + extension;
    if (stem.size() + suffix.size() > kLongestFileName) stem.resize(kLongestFileName - suffix.size());
    return folder + stem + suffix;
}

std::optional<ExportRun> TemporaryExportOwner(const std::wstring& fileName) {
    const size_t mark = fileName.rfind(kMark);
    const size_t dot = fileName.find_last_of(L'.');
    if (mark == std::wstring::npos || dot <= mark) return std::nullopt;
    const std::wstring extension = fileName.substr(dot + 1);
    if (!SameIgnoringCase(extension, L"dft") &&
        std::none_of(std::begin(kExportFormats), std::end(kExportFormats),
                     [&](ExportFormat format) { return SameIgnoringCase(extension, ExportFormatName(format)); }))
        return std::nullopt;
    // "[<computer>-]<process>-<start>-<attempt>", each part as
    // TemporaryExportPath writes it (an earlier version wrote no computer).
    std::vector<std::wstring> parts =
        Split(fileName.substr(mark + std::wcslen(kMark), dot - mark - std::wcslen(kMark)), L'-');
    std::optional<std::uint32_t> computer;
    if (parts.size() == 4) {
        if (parts[0].size() != 8 || !AllOf(parts[0], UpperHex)) return std::nullopt;
        computer = static_cast<std::uint32_t>(std::wcstoul(parts[0].c_str(), nullptr, 16));
        parts.erase(parts.begin());
    }
    if (parts.size() != 3) return std::nullopt;
    const std::wstring &process = parts[0], &started = parts[1], &attempt = parts[2];
    if (!AllOf(process, Decimal) || process.size() > 10 || started.size() != 16 || !AllOf(started, UpperHex) ||
        !AllOf(attempt, Decimal) || attempt.size() > 20)
        return std::nullopt;
    const unsigned long long id = std::wcstoull(process.c_str(), nullptr, 10);
    if (id > UINT32_MAX) return std::nullopt;
    return ExportRun{computer, static_cast<std::uint32_t>(id), std::wcstoull(started.c_str(), nullptr, 16)};
}

bool IsLeftOverExport(const ExportRun& owner, const ExportRun& self, std::chrono::seconds sinceLastWrite,
                      const std::function<bool(const ExportRun&)>& runs) {
    if (owner == self) return false;
    // An earlier version's name says no computer: it may be another's.
    if (owner.computer && owner.computer == self.computer) return !runs(owner);
    return sinceLastWrite >= kOtherComputersLeftoverAge;
}

}  // namespace kestrow
