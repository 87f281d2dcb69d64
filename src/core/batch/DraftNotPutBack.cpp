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

}  // namespace kestrow
