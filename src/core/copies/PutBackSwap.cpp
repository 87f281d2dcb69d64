#include "copies/PutBackSwap.h"

namespace kestrow {

SwapOutcome SwapWhileUnchanged(const PutBackSwap& steps) {
    for (;;) {
        if (!steps.unchanged()) return SwapOutcome::WrittenMeanwhile;
        switch (steps.swap()) {
            case SwapTry::Done: return SwapOutcome::Swapped;
            case SwapTry::Failed: return SwapOutcome::Failed;
            case SwapTry::Held: break;
        }
        if (!steps.waitBeforeNextTry()) return SwapOutcome::StillHeld;
    }
}

}  // namespace kestrow
