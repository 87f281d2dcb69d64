#pragma once
// A FILETIME as one number of 100-nanosecond ticks, and back: how process
// start times and file times are compared and recorded.
#include <windows.h>

#include <cstdint>

namespace kestrow::win32 {

inline std::uint64_t FileTimeNumber(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

inline FILETIME FileTimeOf(std::uint64_t ticks) {
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

}  // namespace kestrow::win32
