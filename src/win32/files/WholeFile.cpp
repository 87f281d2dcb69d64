#include "files/WholeFile.h"

#include <algorithm>

#include "common/LongPath.h"
#include "system/KernelHandle.h"

namespace kestrow::win32 {

bool WriteAll(HANDLE file, const void* bytes, DWORD size) {
    DWORD written = 0;
    return WriteFile(file, bytes, size, &written, nullptr) && written == size;
}

bool WriteWhole(const std::wstring& path, const void* bytes, size_t size) {
    const std::wstring temporary = ExtendedLengthPath(path + L".kestrow-new");
    const bool written = [&] {
        const KernelHandle file = OwnHandle(
            CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
        const auto* next = static_cast<const char*>(bytes);
        for (size_t left = size; left > 0;) {
            const DWORD part = static_cast<DWORD>(std::min<size_t>(left, 1u << 30));
            if (!WriteAll(file.get(), next, part)) return false;
            next += part;
            left -= part;
        }
        return FlushFileBuffers(file.get()) != FALSE;
    }();
    if (written && MoveFileExW(temporary.c_str(), ExtendedLengthPath(path).c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    const DWORD error = GetLastError();
    DeleteFileW(temporary.c_str());
    SetLastError(error);
    return false;
}

std::optional<std::string> ReadWhole(const std::wstring& path) {
    const KernelHandle file = OwnHandle(CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > (1 << 30)) return std::nullopt;
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size()))
        return std::nullopt;
    return bytes;
}

}  // namespace kestrow::win32
