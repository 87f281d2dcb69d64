#include "settings/SettingsStore.h"

#include <windows.h>

#include "common/RuntimeError.h"
#include "settings/SettingSource.h"
#include "system/SystemText.h"

namespace kestrow::win32 {
namespace {

// The user's own key, open, closed when its owner goes. A name an
// administrator set is neither written nor removed there: the dialog shows
// the administrator's value greyed, which is not the user's to store, and
// the user's own comes back when the policy goes.
class RegistryKey {
public:
    RegistryKey() {
        const SettingKey own = UsersOwnSettings();
        const LSTATUS status = RegCreateKeyExW(own.root, own.path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key_, nullptr);
        if (status != ERROR_SUCCESS) Fail(status, L"HKEY_CURRENT_USER\\Software\\Kestrow cannot be opened");
    }
    ~RegistryKey() { RegCloseKey(key_); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    void SetDword(const wchar_t* name, std::uint32_t value) {
        const DWORD data = value;
        Set(name, REG_DWORD, &data, sizeof(data));
    }
    void SetText(const wchar_t* name, DWORD type, const std::wstring& text) {
        Set(name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    void Remove(const wchar_t* name) {
        if (SetByAdministrator(name)) return;
        const LSTATUS status = RegDeleteValueW(key_, name);
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) Fail(status, std::wstring(name) + L" cannot be removed");
    }

private:
    void Set(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        if (SetByAdministrator(name)) return;
        const LSTATUS status = RegSetValueExW(key_, name, 0, type, static_cast<const BYTE*>(data), size);
        if (status != ERROR_SUCCESS) Fail(status, std::wstring(name) + L" cannot be written");
    }
    [[noreturn]] static void Fail(LSTATUS status, const std::wstring& what) {
        throw RuntimeError(HRESULT_FROM_WIN32(status), kProgramSource,
                           what + L": " + SystemMessage(HRESULT_FROM_WIN32(status)));
    }
    HKEY key_ = nullptr;
};

std::optional<std::uint32_t> ReadDword(const wchar_t* name) { return ReadSettingDword(name); }

}  // namespace

StoredSettings ReadStoredSettings() {
    StoredSettings stored;
    stored.sessions = ReadDword(L"Sessions");
    stored.restartEvery = ReadDword(L"RestartEvery");
    stored.restartMemoryMB = ReadDword(L"RestartMemoryMB");
    stored.callSeconds = ReadDword(L"Timeout");
    stored.answers = ReadSettingLines(L"Answers");
    stored.exports = ReadSettingText(L"Export", RRF_RT_REG_SZ).value_or(L"").c_str();
    stored.queue = ReadSettingText(L"QueueConnection", RRF_RT_REG_SZ).value_or(L"").c_str();
    return stored;
}

void WriteStoredSettings(const StoredSettings& settings) {
    RegistryKey key;
    const auto dwordOrNone = [&](const wchar_t* name, const std::optional<std::uint32_t>& value) {
        if (value)
            key.SetDword(name, *value);
        else
            key.Remove(name);
    };
    dwordOrNone(L"Sessions", settings.sessions);
    dwordOrNone(L"RestartEvery", settings.restartEvery);
    dwordOrNone(L"RestartMemoryMB", settings.restartMemoryMB);
    dwordOrNone(L"Timeout", settings.callSeconds);
    std::wstring lines;
    for (const std::wstring& line : settings.answers) lines += line + L'\0';
    if (lines.empty())
        key.Remove(L"Answers");
    else
        key.SetText(L"Answers", REG_MULTI_SZ, lines);  // the terminating NUL ends the list
    if (settings.exports.empty())
        key.Remove(L"Export");
    else
        key.SetText(L"Export", REG_SZ, settings.exports);
    if (settings.queue.empty())
        key.Remove(L"QueueConnection");
    else
        key.SetText(L"QueueConnection", REG_SZ, settings.queue);
}

}  // namespace kestrow::win32
