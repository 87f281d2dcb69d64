#pragma once
// Kestrow's version, as its program files and the rows of its log give it.
// The resource script reads this file too, hence the macros.
#define KESTROW_VERSION_TEXT "1.00"
#define KESTROW_VERSION_NUMBERS 1, 0, 0, 0

#ifndef RC_INVOKED
namespace kestrow {
inline constexpr const wchar_t* kKestrowVersion = L"" KESTROW_VERSION_TEXT;
}  // namespace kestrow
#endif
