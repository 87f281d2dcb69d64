#include "settings/RegistrySettings.h"

#include <windows.h>

#include <optional>

#include "form/WindowSettings.h"

namespace kestrow::win32 {
namespace {

constexpr const wchar_t* kKey = L"Software\\Kestrow";

std::optional<DWORD> ReadDword(const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

// The same ranges as the command line's switches.
std::int64_t InRange(std::optional<DWORD> value, DWORD high) {
    return value && *value >= 1 && *value <= high ? static_cast<std::int64_t>(*value) : 0;
}

// The rules of a REG_MULTI_SZ value, one "title=button" a line; lines that
// are no rule are passed over.
std::vector<AnswerRule> ReadAnswers(const wchar_t* name) {
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_REG_MULTI_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return {};
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 2, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_REG_MULTI_SZ, nullptr, text.data(), &size) != ERROR_SUCCESS)
        return {};
    std::vector<AnswerRule> rules;
    for (const wchar_t* line = text.data(); *line; line += wcslen(line) + 1)
        if (const std::optional<AnswerRule> rule = ParseAnswerRule(line)) rules.push_back(*rule);
    return rules;
}

std::optional<std::wstring> ReadText(const wchar_t* name) {
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_REG_SZ, nullptr, text.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    text.resize(wcslen(text.c_str()));
    return text;
}

}  // namespace

std::vector<ExportFormat> ReadExportFormats() {
    const std::optional<std::wstring> text = ReadText(L"Export");
    if (!text) return {};
    return KnownExportFormats(*text);
}

bool WriteExportFormats(const std::vector<ExportFormat>& formats) {
    const std::wstring text = ExportFormatsText(formats);
    return RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"Export", REG_SZ, text.c_str(),
                           static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

BatchSettings ReadBatchSettings() {
    BatchSettings settings;
    settings.renewal.everyDrafts = InRange(ReadDword(L"RestartEvery"), 1000000);
    settings.renewal.memoryBytes =
        static_cast<std::uint64_t>(InRange(ReadDword(L"RestartMemoryMB"), 1048576)) * kBytesPerMegabyte;
    settings.sessions = static_cast<std::int32_t>(InRange(ReadDword(L"Sessions"), DraftBatch::kMaxSessions));
    if (settings.sessions == 0) settings.sessions = 1;
    settings.callSeconds = InRange(ReadDword(L"Timeout"), static_cast<DWORD>(kLongestCallSeconds));
    settings.answers = ReadAnswers(L"Answers");
    settings.exports = ReadExportFormats();
    return settings;
}

}  // namespace kestrow::win32
