#include "settings/SettingSource.h"

namespace kestrow::win32 {
namespace {

constexpr const wchar_t* kPolicyKey = L"Software\\Policies\\Kestrow";

}  // namespace

SettingKey UsersOwnSettings() { return {HKEY_CURRENT_USER, L"Software\\Kestrow", false}; }

SettingKey KeyOfSetting(const wchar_t* name) {
    // The computer's policy wins over the user's, as Windows' own policies do.
    for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
        if (RegGetValueW(root, kPolicyKey, name, RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
            return {root, kPolicyKey, true};
    return UsersOwnSettings();
}

std::optional<DWORD> ReadSettingDword(const wchar_t* name) {
    const SettingKey key = KeyOfSetting(name);
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegGetValueW(key.root, key.path, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

std::optional<std::wstring> ReadSettingText(const wchar_t* name, DWORD types) {
    const SettingKey key = KeyOfSetting(name);
    DWORD size = 0;
    if (RegGetValueW(key.root, key.path, name, types, nullptr, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    // Room for the NULs RegGetValueW adds to a value stored without them.
    std::wstring text(size / sizeof(wchar_t) + 2, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegGetValueW(key.root, key.path, name, types, nullptr, text.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    text.resize(size / sizeof(wchar_t));
    return text;
}

std::vector<std::wstring> ReadSettingLines(const wchar_t* name) {
    const std::wstring text = ReadSettingText(name, RRF_RT_REG_MULTI_SZ).value_or(L"");
    std::vector<std::wstring> lines;
    for (const wchar_t* line = text.c_str(); line < text.c_str() + text.size() && *line; line += wcslen(line) + 1)
        lines.emplace_back(line);
    return lines;
}

}  // namespace kestrow::win32
