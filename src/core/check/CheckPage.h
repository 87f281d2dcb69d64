#pragma once
// The check as one self-contained page that a CAD manager can send to
// whoever supports the CAD system: its style and the dialogs' pictures are
// inline, nothing is loaded from elsewhere, and every text is escaped.
#include <string>

#include "check/CheckFindings.h"

namespace kestrow {

// `madeAt`: the local time the check ended, as a log writes times.
std::wstring CheckPage(const CheckFacts& facts, const CheckVerdict& verdict, const std::wstring& madeAt);

}  // namespace kestrow
