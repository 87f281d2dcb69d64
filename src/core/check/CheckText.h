#pragma once
// The check as the console prints it and the window shows it: a line a
// finding, the verdict with each reason and how to mend it, and the
// switches for the night.
#include <string>
#include <vector>

#include "check/CheckFindings.h"

namespace kestrow {

// Said before the check begins.
std::wstring CheckIntroLine(const std::wstring& progId);

std::vector<std::wstring> CheckLines(const CheckFacts& facts, const CheckVerdict& verdict);

// "A night can run." or "A night cannot run:".
std::wstring VerdictLine(const CheckVerdict& verdict);
// "- <what was found>. <How to mend it>." for each problem.
std::vector<std::wstring> VerdictReasons(const CheckVerdict& verdict);
// Every suggested switch on one line, as the night's command takes them.
std::wstring SwitchesTogether(const CheckVerdict& verdict);
std::wstring MarkName(FindingMark mark);
// A finding whole, as the window shows the one selected: its mark, step and
// figure; its words; for a problem, what to do about it.
std::vector<std::wstring> FindingDetail(const Finding& finding);

}  // namespace kestrow
