#pragma once
// Where a setting is read. Each setting is a named registry value, and an
// administrator may set it for every computer or user through policy (Group
// Policy, a management profile, a .reg file): a value under
// HKLM\Software\Policies\Kestrow, else under HKCU\Software\Policies\Kestrow
// (keys only administrators may write), takes precedence over the value of
// the same name under HKCU\Software\Kestrow, the user's own, which the
// Settings dialog writes. A name is the administrator's as soon as a policy
// key holds a value of that name, whatever it holds: a value of another type
// or out of range then counts as not set, as the user's own would, and the
// user's own value of that name is neither read nor written meanwhile.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace kestrow::win32 {

struct SettingKey {
    HKEY root;
    const wchar_t* path;
    bool byAdministrator;
};

// The first policy key that holds a value named `name`, else the user's own.
SettingKey KeyOfSetting(const wchar_t* name);
inline bool SetByAdministrator(const wchar_t* name) { return KeyOfSetting(name).byAdministrator; }
// The user's own key, which the Settings dialog writes.
SettingKey UsersOwnSettings();

// A setting's value in the key KeyOfSetting names: a DWORD, or the text of a
// string value of `types` (a REG_MULTI_SZ's strings each ended by a NUL).
// None when it is missing or of another type.
std::optional<DWORD> ReadSettingDword(const wchar_t* name);
std::optional<std::wstring> ReadSettingText(const wchar_t* name, DWORD types);
// The strings of a REG_MULTI_SZ setting, in order.
std::vector<std::wstring> ReadSettingLines(const wchar_t* name);

}  // namespace kestrow::win32
