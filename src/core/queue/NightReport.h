#pragma once
// A shared night's rows read back from its database for the report: one
// source a computer, its runs over the night numbered in the order they
// began. Each draft counts once, with the computer that said the last of
// it: a draft that one computer had in hand when it stopped and another
// stored later is the other's.
#include <vector>

#include "queue/NightStore.h"
#include "report/NightSummary.h"

namespace kestrow {

std::vector<ReportSource> NightSources(const std::vector<SentRow>& rows);

}  // namespace kestrow
