#pragma once
// Checked narrowing conversions: a value out of range raises the runtime's
// overflow error instead of wrapping.
#include <utility>

#include "common/RuntimeError.h"

namespace kestrow {

template <typename To, typename From>
To CheckedNarrow(From value) {
    if (!std::in_range<To>(value)) throw OverflowError();
    return static_cast<To>(value);
}

}  // namespace kestrow
