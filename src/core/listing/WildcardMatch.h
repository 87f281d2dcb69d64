#pragma once
#include <string_view>

namespace kestrow {

// Matches a name against a pattern of '*' and '?' the way a user reads it,
// ignoring case as FoldToUpper does. Unlike the file system's enumeration it
// never consults 8.3 short names, so "*.dft" does not match "x.dftold".
bool WildcardMatch(std::wstring_view pattern, std::wstring_view name);

}  // namespace kestrow
