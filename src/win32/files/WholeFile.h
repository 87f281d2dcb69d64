#pragma once
// Files written whole: a reader or a kill meets the old file or the new
// one, never half of either.
#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>

namespace kestrow::win32 {

// Writes all `size` bytes at the file's position.
bool WriteAll(HANDLE file, const void* bytes, DWORD size);

// Writes `bytes` as the file `path`: under a temporary name beside it,
// flushed, then moved in its place. false with the last error set, and the
// temporary file gone, when any step fails; the old file then stays.
bool WriteWhole(const std::wstring& path, const void* bytes, size_t size);

// The bytes of a small file (a picture, say), read whole; none when it
// cannot be read.
std::optional<std::string> ReadWhole(const std::wstring& path);

}  // namespace kestrow::win32
