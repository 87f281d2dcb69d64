#pragma once
// What a program file says of itself in its version resource.
#include <string>

namespace kestrow::win32 {

struct ProgramVersion {
    std::wstring fileVersion;  // "219.0.0.104"; "" when it has no version resource
    std::wstring productName;  // "" when it names none
};

ProgramVersion ReadProgramVersion(const std::wstring& path);

}  // namespace kestrow::win32
