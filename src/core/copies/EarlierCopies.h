#pragma once
// Copies that ended runs of Kestrow left of a batch's drafts (a run killed
// while a draft was open, a draft that could not be put back, or one put
// back over bytes that differed): named as the batch starts, and retired
// (deleted with their record) as soon as a draft's fate makes its copy
// pointless. A version that a put back replaced is never retired: it may be
// another program's work, kept nowhere else, until the user deletes it.
#include <functional>
#include <string>
#include <vector>

#include "batch/DraftBatch.h"
#include "copies/DraftCopies.h"

namespace kestrow {

class EarlierCopies {
public:
    // Those of `leftovers` whose draft `ofThisBatch` takes for the batch's.
    EarlierCopies(LeftoverCopies& leftovers, const std::function<bool(const std::wstring& draftPath)>& ofThisBatch);
    EarlierCopies(const EarlierCopies&) = delete;
    EarlierCopies& operator=(const EarlierCopies&) = delete;

    // Those not retired yet.
    const std::vector<DraftCopy>& Copies() const { return copies_; }

    // A draft's fate is settled. Stored, it retires its copies; failed but
    // as it was when the batch began (put back, or never changed), it
    // retires those it is byte for byte. Returns what it retired. Called for
    // one draft at a time.
    std::vector<DraftCopy> Settle(const DraftRecord& draft);

private:
    LeftoverCopies& leftovers_;
    std::vector<DraftCopy> copies_;
};

// Whether `draftPath` lies in `folder` (ending with "\"), or anywhere below
// it with `subfolders`: which leftovers an unattended run names.
bool InFolder(const std::wstring& draftPath, const std::wstring& folder, bool subfolders);

}  // namespace kestrow
