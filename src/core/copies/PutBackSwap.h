#pragma once
// The last step of a put back: the copy, written whole beside the draft, is
// swapped in by one rename. The system, or a server that just ended, may
// hold the draft a moment longer, so the swap is tried again for a while;
// but so may another program that then writes the draft and lets go. Each
// try therefore comes only while the draft is still as Kestrow saw it, and
// a write made while the swap waits is kept as it is.
#include <functional>

namespace kestrow {

enum class SwapTry {
    Done,
    Held,    // the draft is held for the moment: a later try may go through
    Failed,  // for any other reason
};

enum class SwapOutcome { Swapped, WrittenMeanwhile, StillHeld, Failed };

struct PutBackSwap {
    std::function<bool()> unchanged;  // the draft is as it was when its bytes were kept
    std::function<SwapTry()> swap;    // one try of the rename
    // Waits before the next try; false once the time for tries is over.
    std::function<bool()> waitBeforeNextTry;
};

SwapOutcome SwapWhileUnchanged(const PutBackSwap& steps);

}  // namespace kestrow
