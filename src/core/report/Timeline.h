#pragma once
// The night on one time axis as an SVG drawing: a lane per log, or per
// session where the log names sessions; each draft a mark from its start
// to its end (failures red, drafts left in hand orange), each dialog of
// the CAD system a mark above its lane. However many drafts a lane holds,
// it is drawn as so many runs of equal pixels: a page of 100,000 drafts
// stays small, and a failure among them still shows.
#include <string>
#include <vector>

#include "report/NightSummary.h"

namespace kestrow {

struct TimelineLayout {
    int labelWidth = 190;  // pixels left of the axis for the lanes' names
    int plotWidth = 880;
    int laneHeight = 16;
    int laneGap = 8;
    // Marks that carry a tooltip each (failures, dialogs); beyond, they
    // show only as coloured pixels.
    size_t titledMarks = 1000;
};

std::wstring TimelineSvg(const std::vector<ReportSource>& sources, const TimelineLayout& layout = {});

}  // namespace kestrow
