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
#include "form/WindowSettings.h"

namespace kestrow {

struct SuggestedSwitch {
    enum class Kind { Timeout, Sessions, RestartMemory, Answer };
    std::wstring words;  // "/timeout 60", "/answer \"Missing references=OK\""
    std::wstring why;
    Kind kind = Kind::Timeout;
    std::int64_t number = 0;  // the figure of all but an answer
    AnswerRule answer{};      // an answer's rule
};

std::vector<SuggestedSwitch> SuggestSwitches(const CheckFacts& facts, const std::vector<AnswerRule>& answers);

// The window's settings with a check's suggestions taken in: its call
// limit, sessions and renewal by memory; its rules, in place of any rule
// for the same title; and, of `formats` (the formats it checked), those
// the check did not see fail. What it suggests nothing for stays as stored.
StoredSettings SettingsWithSuggestions(StoredSettings stored, const std::vector<SuggestedSwitch>& switches,
                                       const std::vector<ExportFormat>& formats,
                                       const std::vector<DraftExport>& checked);

// "0.31 s", "12.4 s", "85 s".
std::wstring SecondsFigure(double seconds);
// "12 MB", "1,530 MB".
std::wstring MegabytesFigure(std::uint64_t bytes);

}  // namespace kestrow
