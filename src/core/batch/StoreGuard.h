#pragma once
// Whether a draft in hand may still be written. A draft of a fixed list
// always may; one taken from a night that several computers share may only
// while this computer's lease on it holds: once it lapsed, another computer
// may have the draft, and the draft is closed without storing.
#include <string>

#include "common/RuntimeError.h"

namespace kestrow {

class StoreGuard {
public:
    virtual ~StoreGuard() = default;
    // Asked from the session's thread before each view, each export and
    // the store; cheap, and never waits.
    virtual bool MayStore() const = 0;
    // Why it may not, for the draft's row: the lease and what became of it.
    virtual std::wstring WhyNot() const = 0;
};

// Raised by a session that found the guard closed: the draft was closed
// without storing, and is not this run's to write any more.
RuntimeError LeaseLostError(const StoreGuard& guard);

}  // namespace kestrow
