#include "BatchMessages.h"

namespace kestrow {
namespace {

// HRESULTs of a server that died, was disconnected or cannot be reached.
constexpr long kServerGoneCodes[] = {
    static_cast<long>(0x80010108L),  // RPC_E_DISCONNECTED
    static_cast<long>(0x800706BAL),  // RPC_S_SERVER_UNAVAILABLE
    static_cast<long>(0x800706BEL),  // RPC_S_CALL_FAILED
    static_cast<long>(0x800706BFL),  // RPC_S_CALL_FAILED_DNE
    static_cast<long>(0x80010007L),  // RPC_E_SERVER_DIED
    static_cast<long>(0x80010012L),  // RPC_E_SERVER_DIED_DNE
    static_cast<long>(0x800401FDL),  // CO_E_OBJNOTCONNECTED
};

long AsHresult(long number) { return static_cast<long>(static_cast<std::int32_t>(number)); }

}  // namespace

bool IsServerGone(const RuntimeError& error) {
    for (long code : kServerGoneCodes)
        if (AsHresult(code) == AsHresult(error.Number())) return true;
    return false;
}

std::wstring ServerStartFailureText(const RuntimeError& error) {
    return L"Kestrow could not start the CAD system's automation server (SolidEdge.Application).\n"
           L"Check that the CAD system is installed and can be started on this computer.\n\n" +
           DescribeError(error) + L"\n\nNo drawing was opened.";
}

std::wstring ServerSetupFailureText(const RuntimeError& error) {
    return L"The CAD system's automation server started but did not accept its settings.\n\n" +
           DescribeError(error) + L"\n\nNo drawing was opened.";
}

std::wstring FileFailureText(const std::wstring& filePath, const RuntimeError& error) {
    return L"This drawing could not be updated and stored:\n" + filePath + L"\n\n" + DescribeError(error) +
           L"\n\nCancel stops the batch, Try Again repeats this drawing, Continue goes on with the next one.";
}

std::wstring ServerGoneText(const std::wstring& filePath, const RuntimeError& error) {
    return L"The CAD system's automation server stopped while this drawing was being updated:\n" + filePath +
           L"\n\n" + DescribeError(error) +
           L"\n\nThe batch was stopped. This drawing was not stored; press Update to run the batch again.";
}

std::wstring TooManyViewsDescription(std::int32_t count) {
    return L"The drawing reports " + std::to_wstring(count) +
           L" views; at most 32767 views of one drawing can be updated.";
}

std::wstring UpdatedStatus(std::int32_t stored, std::int32_t listed) {
    if (stored == listed) return L"Updated " + std::to_wstring(listed) + L" files in : ";
    return L"Updated " + std::to_wstring(stored) + L" of " + std::to_wstring(listed) + L" files in : ";
}

}  // namespace kestrow
