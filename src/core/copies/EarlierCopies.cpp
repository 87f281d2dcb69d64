#include "copies/EarlierCopies.h"

#include "common/LongPath.h"

namespace kestrow {

EarlierCopies::EarlierCopies(LeftoverCopies& leftovers,
                             const std::function<bool(const std::wstring& draftPath)>& ofThisBatch)
    : leftovers_(leftovers) {
    for (DraftCopy& copy : leftovers_.FromEndedRuns())
        if (ofThisBatch(copy.draftPath)) copies_.push_back(std::move(copy));
}

std::vector<DraftCopy> EarlierCopies::Settle(const DraftRecord& draft) {
    std::vector<DraftCopy> retired;
    const bool stored = draft.state == DraftState::Stored;
    const bool asItWas = draft.state == DraftState::Failed && !draft.keptCopy;
    if (!stored && !asItWas) return retired;
    const std::wstring path = FoldedPath(draft.path);
    for (auto copy = copies_.begin(); copy != copies_.end();) {
        const bool retire = copy->replacedPath.empty() && FoldedPath(copy->draftPath) == path &&
                            (stored || leftovers_.SameAsDraft(*copy));
        if (!retire) {
            ++copy;
            continue;
        }
        leftovers_.Retire(*copy);
        retired.push_back(std::move(*copy));
        copy = copies_.erase(copy);
    }
    return retired;
}

bool InFolder(const std::wstring& draftPath, const std::wstring& folder, bool subfolders) {
    const std::wstring path = FoldedPath(draftPath);
    const std::wstring within = FoldedPath(folder);
    if (path.size() <= within.size() || path.compare(0, within.size(), within) != 0) return false;
    return subfolders || path.find(L'\\', within.size()) == std::wstring::npos;
}

}  // namespace kestrow
