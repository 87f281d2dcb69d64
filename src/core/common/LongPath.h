#pragma once
#include <string>

namespace kestrow {

// `path` with the extended-length prefix ("\\?\", "\\?\UNC\") when it is
// too long for Windows' classic limit of MAX_PATH characters, unchanged
// otherwise: what the server is given for a draft in a deep folder, and what
// the enumeration of such a folder needs. Relative paths are left alone.
std::wstring ExtendedLengthPath(const std::wstring& path);

// The path as a user would type it: without the extended-length prefix.
std::wstring OrdinaryPath(const std::wstring& path);

// Paths as Windows compares them: the prefix left out, letters in any case.
std::wstring FoldedPath(const std::wstring& path);

}  // namespace kestrow
