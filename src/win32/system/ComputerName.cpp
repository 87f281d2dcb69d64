#include "system/ComputerName.h"

#include <windows.h>

namespace kestrow::win32 {

std::wstring ThisComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &length) ? std::wstring(name, length) : std::wstring(L"this computer");
}

}  // namespace kestrow::win32
