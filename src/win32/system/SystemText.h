#pragma once
// Text as the system hands it over: UTF-8 bytes to and from text, and the
// system's own wording for an error code.
#include <windows.h>

#include <string>

#include "common/RuntimeError.h"

namespace kestrow::win32 {

std::string Utf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& bytes);

// The system's text for an HRESULT or Win32 error code, "" when it has none.
std::wstring SystemMessage(HRESULT hr);
// The system's text for the calling thread's last error, or its number.
std::wstring LastErrorText();
// The calling thread's last error as the program's error: its HRESULT, and
// "<what>: <the system's text>".
RuntimeError LastErrorAs(const std::wstring& what);

}  // namespace kestrow::win32
