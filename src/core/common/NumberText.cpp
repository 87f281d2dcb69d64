#include "common/NumberText.h"

namespace kestrow {

std::wstring GroupedNumber(std::int64_t number) {
    const bool negative = number < 0;
    // The magnitude as unsigned: the most negative number has no positive twin.
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(number) : static_cast<std::uint64_t>(number);
    std::wstring digits = std::to_wstring(magnitude);
    for (std::ptrdiff_t at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<size_t>(at), 1, L',');
    return negative ? L"-" + digits : digits;
}

}  // namespace kestrow
