#include "copies/CopyMessages.h"

#include "common/LongPath.h"

namespace kestrow {
namespace {

constexpr size_t kLeftoverNames = 20;

std::wstring Readable(const std::wstring& path) { return OrdinaryPath(path); }

}  // namespace

std::wstring KeptCopyNote(const std::wstring& copyPath) {
    return L"\n\nThis drawing may have been changed and could not be put back as it was before the batch. Its copy "
           L"from before is kept at:\n" +
           Readable(copyPath);
}

std::wstring KeptCopiesSummary(const BatchResult& result) {
    std::wstring lines, replaced;
    for (const DraftRecord& draft : result.drafts) {
        if (draft.state != DraftState::Failed) continue;
        if (draft.keptCopy) lines += L"\n" + draft.name + L" - copy kept at " + Readable(*draft.keptCopy);
        if (draft.replaced)
            replaced += L"\n" + draft.name + L" - the version put back over is kept at " +
                        Readable(draft.replaced->replacedPath);
    }
    std::wstring text;
    if (!lines.empty())
        text += L"\n\nThese may have been changed and could not be put back as they were before the batch; compare "
                L"each with its copy:" +
                lines;
    if (!replaced.empty())
        text += L"\n\nThese had changed on disk while Kestrow had them in hand (perhaps another program saved them); "
                L"they were put back as they were, and the version found is kept:" +
                replaced;
    return text;
}

std::wstring LeftoverCopiesQuestion(const std::vector<DraftCopy>& copies, const std::wstring& folder) {
    std::wstring text =
        L"An earlier run of Kestrow ended while these drawings were open, or could not put them back. Kestrow kept "
        L"a copy of each as it was before that run:\n";
    for (size_t i = 0; i < copies.size() && i < kLeftoverNames; ++i) text += L"\n" + Readable(copies[i].draftPath);
    if (copies.size() > kLeftoverNames)
        text += L"\n... and " + std::to_wstring(copies.size() - kLeftoverNames) + L" more";
    text += L"\n\nThe copies are in:\n" + Readable(folder) +
            L"\n(a .txt file beside each copy names its drawing and any version kept beside it). Kestrow restores "
            L"none of them. If a drawing no longer opens, copy its copy back over it. A copy is deleted once Kestrow "
            L"stores its drawing again; a version kept beside it stays until you delete it.\n\nUpdate the drawings "
            L"now anyway?";
    return text;
}

std::wstring LeftoverCopyLine(const DraftCopy& copy) {
    const std::wstring by = copy.leftBy.empty() ? std::wstring() : L" (left by " + copy.leftBy + L")";
    if (!copy.replacedPath.empty())
        return L"Kestrow: an earlier run put this draft back as it was over a version that had changed meanwhile: " +
               Readable(copy.draftPath) + L"; that version is kept at " + Readable(copy.replacedPath) +
               L", the copy put back at " + Readable(copy.copyPath) + by +
               L" (keep the one you want; Kestrow deletes neither).";
    return L"Kestrow: an earlier run ended while this draft was open, or could not put it back: " +
           Readable(copy.draftPath) + L"; its copy from before that run is kept at " + Readable(copy.copyPath) + by +
           L" (compare them; Kestrow restores nothing by itself).";
}

std::wstring RetiredCopyLine(const DraftCopy& copy) {
    return L"Kestrow: deleted the copy an earlier run kept of " + Readable(copy.draftPath) + L" (" +
           Readable(copy.copyPath) + L"): the draft is stored again, or as that copy.";
}

}  // namespace kestrow
