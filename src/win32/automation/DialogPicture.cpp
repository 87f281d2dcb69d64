#include "automation/DialogPicture.h"

#include <string>

#include "common/CommandLineProgram.h"
#include "system/KernelHandle.h"
#include "system/WindowPicture.h"

namespace kestrow::win32 {
namespace {

// How long the window gets to draw itself before it is taken from the
// screen instead.
constexpr DWORD kDrawnWithinMs = 500;

// "d01 2026-12-07 02.14.09": the draft in hand (or the start) and the time.
std::wstring PictureName(const std::wstring& task) {
    std::wstring name = task.find(L'\\') == std::wstring::npos ? std::wstring(L"start") : FileNameOf(task);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos && dot > 0) name.resize(dot);
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t stamp[32];
    swprintf(stamp, 32, L" %04u-%02u-%02u %02u.%02u.%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
             now.wSecond);
    return name + stamp;
}

// Writes `bytes` to a file of the folder that did not exist before: the
// name, or the name with " (2)", " (3)", ...
std::wstring WriteNewFile(const std::wstring& folder, const std::wstring& name, const std::string& bytes) {
    for (int copy = 1; copy <= 100; ++copy) {
        const std::wstring path =
            folder + L"\\" + name + (copy == 1 ? std::wstring() : L" (" + std::to_wstring(copy) + L")") + L".png";
        const KernelHandle file = OwnHandle(
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            return std::wstring();
        }
        DWORD written = 0;
        const bool whole = WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                           written == bytes.size();
        if (whole) return path;
        DeleteFileW(path.c_str());
        return std::wstring();
    }
    return std::wstring();
}

}  // namespace

std::wstring KeepDialogPicture(HWND window, const std::wstring& folder, const std::wstring& task) {
    if (folder.empty()) return std::wstring();
    const std::string png = WindowPicturePng(window, kDrawnWithinMs);
    return png.empty() ? std::wstring() : WriteNewFile(folder, PictureName(task), png);
}

}  // namespace kestrow::win32
