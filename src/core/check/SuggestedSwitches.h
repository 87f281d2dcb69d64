#pragma once
// The switches a check suggests for the night, each from a figure it
// measured: /timeout ten times the slowest call and at least 60 s;
// /sessions by the session's memory against the computer's free memory and
// its cores (1 where one process serves every program); /restart-memory
// about twice what the session committed after the sample; /answer for the
// dialogs it saw.
#include <string>
#include <vector>

#include "check/CheckFacts.h"

namespace kestrow {

struct SuggestedSwitch {
    std::wstring words;  // "/timeout 60", "/answer \"Missing references=OK\""
    std::wstring why;
};

std::vector<SuggestedSwitch> SuggestSwitches(const CheckFacts& facts, const std::vector<AnswerRule>& answers);

// "0.31 s", "12.4 s", "85 s".
std::wstring SecondsFigure(double seconds);
// "12 MB", "1,530 MB".
std::wstring MegabytesFigure(std::uint64_t bytes);

}  // namespace kestrow
