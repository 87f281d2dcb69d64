#include "common/RuntimeError.h"

#include <cstdio>

namespace kestrow {

RuntimeError OverflowError() {
    return RuntimeError(ErrorNumber::Overflow, kProgramSource, L"Overflow");
}

RuntimeError InvalidCallError() {
    return RuntimeError(ErrorNumber::InvalidProcedureCall, kProgramSource,
                        L"Invalid procedure call or argument");
}

std::wstring DescribeError(const RuntimeError& error) {
    std::wstring text = L"Error " + std::to_wstring(error.Number());
    // COM failures are negative 32-bit codes; their hexadecimal form is the
    // one users can look up.
    if (error.Number() < 0) {
        wchar_t hex[16];
        std::swprintf(hex, 16, L"%08lX", static_cast<unsigned long>(error.Number()) & 0xFFFFFFFFUL);
        text += L" (0x" + std::wstring(hex) + L")";
    }
    if (!error.Source().empty()) text += L" in " + error.Source();
    text += L": " + (error.Description().empty() ? std::wstring(L"no description") : error.Description());
    return text;
}

std::wstring FormatHandlerErrorReport(const RuntimeError& error) {
    return L"Kestrow could not finish this action.\n\n" + DescribeError(error) +
           L"\n\nThe program keeps running; nothing else was changed.";
}

}  // namespace kestrow
