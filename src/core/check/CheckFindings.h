#pragma once
// What a check's facts mean for a night: one finding a line, each marked
// ok, problem or note with its figure; the verdict (a night can run when no
// finding is a problem); and the switches to give the night, from what was
// measured.
#include <optional>
#include <string>
#include <vector>

#include "check/CheckFacts.h"
#include "check/CheckProbe.h"
#include "check/SuggestedSwitches.h"

namespace kestrow {

enum class FindingMark { Ok, Problem, Note };

struct Finding {
    FindingMark mark = FindingMark::Ok;
    std::wstring topic;   // "start", "save as pdf"
    std::wstring figure;  // "1.31 s", "12 MB"; "" when it has none
    std::wstring text;
    std::wstring mend;    // a problem's: what to do about it
    std::optional<size_t> dialog;  // the dialog it is about, in the facts' list
};

struct CheckVerdict {
    std::vector<Finding> findings;
    std::vector<SuggestedSwitch> switches;
    bool NightCanRun() const;
};

CheckVerdict JudgeCheck(const CheckFacts& facts, const CheckRequest& request);

}  // namespace kestrow
