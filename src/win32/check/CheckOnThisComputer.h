#pragma once
// The check on this computer: the facts only Windows knows (the ProgID's
// registration and the program's version resource, free memory and cores,
// the sample's copy in a folder of the check's own, the dialogs' pictures),
// with sessions of the CAD system started, watched and ended as a night's.
#include <atomic>
#include <memory>

#include "check/CheckProbe.h"

namespace kestrow::win32 {

// Sets up COM for itself: call it from a thread that has none, or the
// process's multithreaded apartment. Nothing of the check is left once it
// returns: no session, no file.
CheckFacts CheckThisComputer(const CheckRequest& request, const std::shared_ptr<const std::atomic<bool>>& stop);

}  // namespace kestrow::win32
