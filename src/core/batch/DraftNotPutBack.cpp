#include "batch/DraftNotPutBack.h"

namespace kestrow {

DraftNotPutBack::DraftNotPutBack(const RuntimeError& failure, std::wstring copyPath, const std::wstring& reason)
    : RuntimeError(failure.Number(), failure.Source(),
                   failure.Description() + L" The drawing may have been changed and could not be put back as it was "
                                           L"before the batch (" + reason + L"); its copy from before is kept at " +
                       copyPath,
                   failure.Kind()),
      copyPath_(std::move(copyPath)) {}

std::optional<std::wstring> KeptCopyOf(const RuntimeError& error) {
    if (const auto* notPutBack = dynamic_cast<const DraftNotPutBack*>(&error)) return notPutBack->CopyPath();
    return std::nullopt;
}

DraftPutBackOverChange::DraftPutBackOverChange(const RuntimeError& failure, ReplacedDraft versions)
    : RuntimeError(failure.Number(), failure.Source(),
                   failure.Description() + L" The drawing had changed on disk since its copy was taken (perhaps "
                                           L"another program saved it): that version is kept at " +
                       versions.replacedPath + L", and the drawing was put back as it was before, from its copy at " +
                       versions.copyPath,
                   failure.Kind()),
      versions_(std::move(versions)) {}

std::optional<ReplacedDraft> ReplacedDraftOf(const RuntimeError& error) {
    if (const auto* putBack = dynamic_cast<const DraftPutBackOverChange*>(&error)) return putBack->Versions();
    return std::nullopt;
}

}  // namespace kestrow
