#pragma once
// The texts the batch update shows.
#include <cstdint>
#include <string>

#include "RuntimeError.h"

namespace kestrow {

// True for the failures that mean the server process is gone or cut off, so
// that no further call to it can succeed.
bool IsServerGone(const RuntimeError& error);

std::wstring ServerStartFailureText(const RuntimeError& error);
std::wstring ServerSetupFailureText(const RuntimeError& error);
std::wstring FileFailureText(const std::wstring& filePath, const RuntimeError& error);
std::wstring ServerGoneText(const std::wstring& filePath, const RuntimeError& error);
std::wstring TooManyViewsDescription(std::int32_t count);

// "Updated <n> files in : " when every listed file was stored, otherwise
// "Updated <k> of <n> files in : ".
std::wstring UpdatedStatus(std::int32_t stored, std::int32_t listed);

}  // namespace kestrow
