#pragma once
// A draft that a failure may have left changed, and where its copy from
// before is kept: the batch records it with the draft's fate, whoever kept
// the copy.
#include <optional>
#include <string>

#include "common/RuntimeError.h"

namespace kestrow {

// A draft that was not stored and may differ from how it was before the
// batch: it could not be put back, or a process that may still hold it
// kept it from being tried. Its number, source and kind are the failure's.
class DraftNotPutBack : public RuntimeError {
public:
    DraftNotPutBack(const RuntimeError& failure, std::wstring copyPath, const std::wstring& reason);
    const std::wstring& CopyPath() const noexcept { return copyPath_; }

private:
    std::wstring copyPath_;
};

// Where the copy of a draft that `error` left changed is kept, if it did.
std::optional<std::wstring> KeptCopyOf(const RuntimeError& error);

// A draft that was put back from its copy over bytes that differed from it:
// the CAD system's half-written store, or another program's (a colleague's
// save, another Kestrow). Both versions are kept, for the user to choose.
struct ReplacedDraft {
    std::wstring copyPath;      // how the draft was before the attempt, now on disk again
    std::wstring replacedPath;  // the bytes the put back replaced
};

// A failure after which the draft was put back over such bytes. Its
// number, source and kind are the failure's.
class DraftPutBackOverChange : public RuntimeError {
public:
    DraftPutBackOverChange(const RuntimeError& failure, ReplacedDraft versions);
    const ReplacedDraft& Versions() const noexcept { return versions_; }

private:
    ReplacedDraft versions_;
};

std::optional<ReplacedDraft> ReplacedDraftOf(const RuntimeError& error);

}  // namespace kestrow
