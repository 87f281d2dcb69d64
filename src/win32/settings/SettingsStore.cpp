#include "settings/SettingsStore.h"

#include <windows.h>

#include "common/RuntimeError.h"
#include "system/SystemText.h"

namespace kestrow::win32 {
namespace {

constexpr const wchar_t* kKey = L"Software\\Kestrow";

// An open registry key, closed when its owner goes.
class RegistryKey {
public:
    RegistryKey() {
        const LSTATUS status =
            RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key_, nullptr);
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
        const LSTATUS status = RegDeleteValueW(key_, name);
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) Fail(status, std::wstring(name) + L" cannot be removed");
    }

private:
    void Set(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        const LSTATUS status = RegSetValueExW(key_, name, 0, type, static_cast<const BYTE*>(data), size);
        if (status != ERROR_SUCCESS) Fail(status, std::wstring(name) + L" cannot be written");
    }
    [[noreturn]] static void Fail(LSTATUS status, const std::wstring& what) {
        throw RuntimeError(HRESULT_FROM_WIN32(status), kProgramSource,
                           what + L": " + SystemMessage(HRESULT_FROM_WIN32(status)));
    }
    HKEY key_ = nullptr;
};

std::optional<std::uint32_t> ReadDword(const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

// A string value's text: one string, or a REG_MULTI_SZ's strings each
// ended by a NUL.
std::wstring ReadText(const wchar_t* name, DWORD types) {
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, kKey, name, types, nullptr, nullptr, &size) != ERROR_SUCCESS) return {};
    std::wstring text(size / sizeof(wchar_t) + 2, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CURRENT_USER, kKey, name, types, nullptr, text.data(), &size) != ERROR_SUCCESS) return {};
    text.resize(size / sizeof(wchar_t));
    return text;
}

}  // namespace

StoredSettings ReadStoredSettings() {
    StoredSettings stored;
    stored.sessions = ReadDword(L"Sessions");
    stored.restartEvery = ReadDword(L"RestartEvery");
    stored.restartMemoryMB = ReadDword(L"RestartMemoryMB");
    const std::wstring answers = ReadText(L"Answers", RRF_RT_REG_MULTI_SZ);
    for (const wchar_t* line = answers.c_str(); line < answers.c_str() + answers.size() && *line; line += wcslen(line) + 1)
        stored.answers.emplace_back(line);
    stored.exports = ReadText(L"Export", RRF_RT_REG_SZ).c_str();
    stored.queue = ReadText(L"QueueConnection", RRF_RT_REG_SZ).c_str();
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
