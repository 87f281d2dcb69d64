#pragma once
// What the window and the unattended run say about drafts that could not be
// put back as they were, and about copies an earlier run left behind.
#include <string>
#include <vector>

#include "batch/DraftBatch.h"
#include "copies/DraftCopies.h"

namespace kestrow {

// Added to the failure box of a draft whose copy is kept.
std::wstring KeptCopyNote(const std::wstring& copyPath);
// The lines of the end-of-batch summary that name such drafts; "" if none.
std::wstring KeptCopiesSummary(const BatchResult& result);
// The question asked before a batch when earlier runs left copies: Yes
// goes on with the batch.
std::wstring LeftoverCopiesQuestion(const std::vector<DraftCopy>& copies, const std::wstring& folder);
// One line per such draft for an unattended run.
std::wstring LeftoverCopyLine(const DraftCopy& copy);
// One line per such copy that a run retired.
std::wstring RetiredCopyLine(const DraftCopy& copy);

}  // namespace kestrow
