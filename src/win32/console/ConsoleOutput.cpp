#include "console/ConsoleOutput.h"

namespace kestrow::win32 {

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
}

std::wstring FromUtf8(const std::string& bytes) {
    if (bytes.empty()) return std::wstring();
    const int size = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
    return text;
}

ConsoleOutput::ConsoleOutput(DWORD stream) {
    handle_ = GetStdHandle(stream);
    if (!handle_ || handle_ == INVALID_HANDLE_VALUE || GetFileType(handle_) == FILE_TYPE_UNKNOWN) {
        handle_ = nullptr;
        // Attached once per process; a second stream finds it attached.
        if (AttachConsole(ATTACH_PARENT_PROCESS) || GetLastError() == ERROR_ACCESS_DENIED) {
            parentConsole_ = OwnHandle(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                                   nullptr));
            handle_ = parentConsole_.get();
        }
    }
    DWORD mode = 0;
    console_ = handle_ && GetConsoleMode(handle_, &mode);
}

void ConsoleOutput::Line(const std::wstring& text) {
    if (!handle_) return;
    std::wstring line;
    for (wchar_t c : text) {
        if (c == L'\n') line += L'\r';
        line += c;
    }
    line += L"\r\n";
    DWORD written = 0;
    if (console_) {
        // A console shows every letter; its code page may not.
        WriteConsoleW(handle_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        return;
    }
    const std::string bytes = Utf8(line);
    WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace kestrow::win32
