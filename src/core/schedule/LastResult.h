#pragma once
// How a night's last run ended, in words, as the list of nights says it.
#include <cstdint>
#include <string>

namespace kestrow {

// A task's last result (Kestrow's exit code, or the Task Scheduler's own
// code) in words. `systemText` is the system's wording for a code that is
// neither, "" when it has none.
std::wstring LastResultText(std::int64_t code, const std::wstring& systemText);

}  // namespace kestrow
