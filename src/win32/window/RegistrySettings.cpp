#include "window/RegistrySettings.h"

#include <windows.h>

#include <optional>

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

}  // namespace

BatchSettings ReadBatchSettings() {
    BatchSettings settings;
    settings.renewal.everyDrafts = InRange(ReadDword(L"RestartEvery"), 1000000);
    settings.renewal.memoryBytes =
        static_cast<std::uint64_t>(InRange(ReadDword(L"RestartMemoryMB"), 1048576)) * kBytesPerMegabyte;
    settings.sessions = static_cast<std::int32_t>(InRange(ReadDword(L"Sessions"), DraftBatch::kMaxSessions));
    if (settings.sessions == 0) settings.sessions = 1;
    return settings;
}

}  // namespace kestrow::win32
