#pragma once
// What /check /queue's facts about the night's database mean: a finding a
// line, as the CAD system's are judged.
#include <vector>

#include "check/CheckFindings.h"
#include "check/DatabaseFacts.h"

namespace kestrow {

std::vector<Finding> DatabaseFindings(const DatabaseFacts& facts);

}  // namespace kestrow
