#pragma once
// Kestrow's version, as its program files, the rows of its log and its
// installer give it: the one place it is written. The resource script and
// scripts/release.sh read this file too, hence the macros. A build may be
// given another version (cmake -DKESTROW_VERSION=1.01), which then defines
// both numbers; the text shows the minor number in two digits ("1.00").
#ifndef KESTROW_VERSION_MAJOR
#define KESTROW_VERSION_MAJOR 1
#define KESTROW_VERSION_MINOR 0
#endif

#define KESTROW_VERSION_STRING_OF(x) #x
#define KESTROW_VERSION_STRING(x) KESTROW_VERSION_STRING_OF(x)
#if KESTROW_VERSION_MINOR < 10
#define KESTROW_VERSION_TEXT \
    KESTROW_VERSION_STRING(KESTROW_VERSION_MAJOR) ".0" KESTROW_VERSION_STRING(KESTROW_VERSION_MINOR)
#else
#define KESTROW_VERSION_TEXT \
    KESTROW_VERSION_STRING(KESTROW_VERSION_MAJOR) "." KESTROW_VERSION_STRING(KESTROW_VERSION_MINOR)
#endif
#define KESTROW_VERSION_NUMBERS KESTROW_VERSION_MAJOR, KESTROW_VERSION_MINOR, 0, 0

#ifndef RC_INVOKED
namespace kestrow {
inline constexpr const wchar_t* kKestrowVersion = L"" KESTROW_VERSION_TEXT;
}  // namespace kestrow
#endif
