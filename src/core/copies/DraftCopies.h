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
    // The draft's bytes that a put back replaced, kept beside the copy and
    // named in its record; "" when none were.
    std::wstring replacedPath;
    // The run of Kestrow that kept it, as the user is told; "" for a copy of
    // this run.
    std::wstring leftBy;
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
    // Replaces the draft with its copy, timestamps and attributes included,
    // having kept the draft's bytes as they were beside the copy, named in
    // its record: whoever wrote them, nothing is lost. Returns where they
    // are kept. Raises when it cannot; the draft is then left as the step
    // found it, and nothing more is kept.
    virtual std::wstring PutBack(const DraftCopy& copy) = 0;
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
    // The draft on disk is byte for byte the copy, with the same last write
    // time and attributes; false also when that cannot be told.
    virtual bool SameAsDraft(const DraftCopy& copy) = 0;
    // Deletes the copy with its record (and its run's folder once empty).
    virtual void Retire(const DraftCopy& copy) noexcept = 0;
};

}  // namespace kestrow
