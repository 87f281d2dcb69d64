#pragma once
// An owner for a kernel object's handle (event, file, console buffer),
// closed when the owner goes. Functions that report failure with
// INVALID_HANDLE_VALUE rather than null go through OwnHandle.
#include <windows.h>

#include <memory>

namespace kestrow::win32 {

struct KernelHandleClose {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using KernelHandle = std::unique_ptr<void, KernelHandleClose>;

// Takes ownership of what CreateFileW and its kind return: empty on failure.
inline KernelHandle OwnHandle(HANDLE handle) {
    return KernelHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

}  // namespace kestrow::win32
