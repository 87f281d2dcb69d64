#include "copies/CopyMessages.h"

namespace kestrow {
namespace {

constexpr size_t kLeftoverNames = 20;

// The path as a user would type it, without the extended-length prefix.
std::wstring Readable(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
    if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
    return path;
}

}  // namespace

std::wstring KeptCopyNote(const std::wstring& copyPath) {
    return L"\n\nThis drawing may have been changed and could not be put back as it was before the batch. Its copy "
           L"from before is kept at:\n" +
           Readable(copyPath);
}

std::wstring KeptCopiesSummary(const BatchResult& result) {
    std::wstring lines;
    for (const DraftRecord& draft : result.drafts)
        if (draft.state == DraftState::Failed && draft.keptCopy)
            lines += L"\n" + draft.name + L" - copy kept at " + Readable(*draft.keptCopy);
    if (lines.empty()) return lines;
    return L"\n\nThese may have been changed and could not be put back as they were before the batch; compare each "
           L"with its copy:" +
           lines;
}

std::wstring LeftoverCopiesQuestion(const std::vector<DraftCopy>& copies, const std::wstring& folder) {
    std::wstring text =
        L"An earlier run of Kestrow ended while these drawings were open, or could not put them back. Kestrow kept "
        L"a copy of each as it was before that run:\n";
    for (size_t i = 0; i < copies.size() && i < kLeftoverNames; ++i) text += L"\n" + Readable(copies[i].draftPath);
    if (copies.size() > kLeftoverNames)
        text += L"\n... and " + std::to_wstring(copies.size() - kLeftoverNames) + L" more";
    text += L"\n\nThe copies are in:\n" + Readable(folder) +
            L"\n(a .txt file beside each copy names its drawing). Kestrow changes none of them. If a drawing no longer "
            L"opens, copy its copy back over it; then delete that run's folder.\n\nUpdate the drawings now anyway?";
    return text;
}

std::wstring LeftoverCopyLine(const DraftCopy& copy) {
    return L"Kestrow: an earlier run ended while this draft was open: " + Readable(copy.draftPath) +
           L"; its copy from before that run is kept at " + Readable(copy.copyPath) +
           L" (compare them; Kestrow restores nothing by itself).";
}

}  // namespace kestrow
