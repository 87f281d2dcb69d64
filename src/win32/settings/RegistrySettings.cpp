#include "settings/RegistrySettings.h"

#include <windows.h>

#include <optional>

#include "form/WindowSettings.h"
#include "settings/SettingSource.h"

namespace kestrow::win32 {
namespace {

std::optional<DWORD> ReadDword(const wchar_t* name) { return ReadSettingDword(name); }

// The same ranges as the command line's switches.
std::int64_t InRange(std::optional<DWORD> value, DWORD high) {
    return value && *value >= 1 && *value <= high ? static_cast<std::int64_t>(*value) : 0;
}

// The rules of a REG_MULTI_SZ value, one "title=button" a line; lines that
// are no rule are passed over.
std::vector<AnswerRule> ReadAnswers(const wchar_t* name) {
    std::vector<AnswerRule> rules;
    for (const std::wstring& line : ReadSettingLines(name))
        if (const std::optional<AnswerRule> rule = ParseAnswerRule(line)) rules.push_back(*rule);
    return rules;
}

std::optional<std::wstring> ReadText(const wchar_t* name) {
    const std::optional<std::wstring> text = ReadSettingText(name, RRF_RT_REG_SZ);
    if (!text) return std::nullopt;
    return std::wstring(text->c_str());
}

}  // namespace

std::vector<ExportFormat> ReadExportFormats() {
    const std::optional<std::wstring> text = ReadText(L"Export");
    if (!text) return {};
    return KnownExportFormats(*text);
}

bool WriteExportFormats(const std::vector<ExportFormat>& formats) {
    // The administrator's formats are not the user's to change; the user's
    // own value stays for when the policy goes.
    if (SetByAdministrator(L"Export")) return true;
    const std::wstring text = ExportFormatsText(formats);
    const SettingKey own = UsersOwnSettings();
    return RegSetKeyValueW(own.root, own.path, L"Export", REG_SZ, text.c_str(),
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
