#include "console/ConsoleOutput.h"

#include <shellapi.h>

#include "system/SystemText.h"
#include "unattended/CommandLine.h"

namespace kestrow::win32 {

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

void ConsoleOutput::Lines(const std::vector<std::wstring>& lines) {
    constexpr size_t kLinesAWrite = 256;
    std::wstring text;
    for (size_t i = 0; i < lines.size(); ++i) {
        text += lines[i];
        if ((i + 1) % kLinesAWrite == 0 || i + 1 == lines.size()) {
            Line(text);
            text.clear();
        } else {
            text += L'\n';
        }
    }
}

std::wstring HelpHint() {
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    const std::wstring typed = words && count > 0 ? words[0] : L"";
    if (words) LocalFree(words);
    return HelpHintText(typed);
}

}  // namespace kestrow::win32
