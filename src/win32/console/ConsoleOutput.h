#pragma once
// Lines for a standard stream: the one Kestrow was given (a console, a file
// or a pipe), or else the console of the program that started it, as a GUI
// program started from cmd has none of its own.
#include <windows.h>

#include <string>
#include <vector>

#include "system/KernelHandle.h"

namespace kestrow::win32 {

class ConsoleOutput {
public:
    explicit ConsoleOutput(DWORD stream);  // STD_OUTPUT_HANDLE or STD_ERROR_HANDLE

    // One line, or several separated by "\n".
    void Line(const std::wstring& text);
    // Many lines, written a few hundred at a time: far fewer writes than a
    // line each, and no write so large that an older console refuses it.
    void Lines(const std::vector<std::wstring>& lines);

private:
    HANDLE handle_ = nullptr;
    KernelHandle parentConsole_;  // the parent's console, opened here
    bool console_ = false;
};

// The hint after a command line Kestrow refused, naming the program as the
// user typed it (Kestrow.com hands that on to Kestrow.exe).
std::wstring HelpHint();

}  // namespace kestrow::win32
