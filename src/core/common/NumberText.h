#pragma once
// Numbers as Kestrow's English texts write them.
#include <cstdint>
#include <string>

namespace kestrow {

// "12,400": thousands grouped.
std::wstring GroupedNumber(std::int64_t number);

}  // namespace kestrow
