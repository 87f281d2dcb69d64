#pragma once
// Runs a window handler and reports any error it raises in a modal box, so
// that the program keeps running instead of ending.
#include <windows.h>

#include <exception>
#include <new>

#include "common/RuntimeError.h"

namespace kestrow::win32 {

void ReportHandlerError(HWND owner, const wchar_t* title, const RuntimeError& error) noexcept;

template <typename Handler>
void RunHandler(HWND owner, const wchar_t* title, Handler&& handler) noexcept {
    try {
        handler();
    } catch (const RuntimeError& error) {
        ReportHandlerError(owner, title, error);
    } catch (const std::bad_alloc&) {
        ReportHandlerError(owner, title, RuntimeError(ErrorNumber::OutOfMemory, kProgramSource, L"Out of memory"));
    } catch (const std::exception&) {
        ReportHandlerError(owner, title, RuntimeError(ErrorNumber::InvalidProcedureCall, kProgramSource,
                                                      L"An unexpected internal error occurred"));
    }
}

}  // namespace kestrow::win32
