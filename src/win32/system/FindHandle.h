#pragma once
// An owner for a search of a folder's entries (FindFirstFileW and its
// kind), closed when the owner goes.
#include <windows.h>

#include <memory>

namespace kestrow::win32 {

struct FindHandleClose {
    void operator()(HANDLE handle) const { FindClose(handle); }
};
using FindHandle = std::unique_ptr<void, FindHandleClose>;

// Empty when the search found nothing or failed.
inline FindHandle OwnSearch(HANDLE handle) { return FindHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle); }

}  // namespace kestrow::win32
