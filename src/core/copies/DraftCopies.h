#pragma once
// Copies of drafts as they were before Kestrow opened them, so that a draft
// the CAD system did not store whole can be put back exactly as it was. The
// store itself lives on the platform; the core decides when to keep, compare,
// put back and discard.
#include <optional>
#include <string>
#include <vector>

#include "batch/DraftNotPutBack.h"

namespace kestrow {

// One kept copy: the draft it was taken from and where it lives.
struct DraftCopy {
    std::wstring draftPath;
    std::wstring copyPath;
};

class DraftCopyStore {
public:
    virtual ~DraftCopyStore() = default;
    // Copies the draft with its timestamps and attributes. Raises an
    // Ordinary RuntimeError that names the reason when it cannot.
    virtual DraftCopy Keep(const std::wstring& draftPath) = 0;
    // The draft on disk is byte for byte its copy, with the same last write
    // time and attributes. Raises when the draft cannot be read.
    virtual bool Unchanged(const DraftCopy& copy) = 0;
    // Replaces the draft with its copy in one step, timestamps and
    // attributes included. Raises when it cannot; the draft is then left as
    // the step found it.
    virtual void PutBack(const DraftCopy& copy) = 0;
    virtual void Discard(const DraftCopy& copy) noexcept = 0;
};

// Copies whose run of Kestrow ended without removing them: it ended
// abruptly while their drafts were open, or could not put them back.
class LeftoverCopies {
public:
    virtual ~LeftoverCopies() = default;
    virtual std::vector<DraftCopy> FromEndedRuns() = 0;
    // The folder that holds every run's copies, as the user is told.
    virtual std::wstring Folder() = 0;
};

}  // namespace kestrow
