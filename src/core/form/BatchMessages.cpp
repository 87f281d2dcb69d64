#include "form/BatchMessages.h"

#include <cwctype>

#include "server/AutomationContract.h"
#include "server/ServerOwnership.h"
#include "copies/CopyMessages.h"

namespace kestrow {
namespace {

constexpr const wchar_t* kChoices =
    L"Cancel stops the batch, Try Again repeats this drawing, Continue goes on with the next one.";
constexpr const wchar_t* kChoicesWithNewSession =
    L"Cancel stops the batch. Try Again starts Solid Edge again and repeats this drawing; Continue starts it "
    L"again and goes on with the next one.";

// The first line of a description, cut to a length that fits one row of a
// box.
std::wstring ShortDescription(const std::wstring& description) {
    constexpr size_t kLimit = 100;
    std::wstring text = description.substr(0, description.find_first_of(L"\r\n"));
    if (text.size() > kLimit) text = text.substr(0, kLimit - 3) + L"...";
    return text;
}

std::wstring ShortError(const RuntimeError& error) {
    return DescribeError(RuntimeError(error.Number(), L"", ShortDescription(error.Description())));
}

// The exports that failed, each named with its draft, which was stored, and
// with the whole of its error: the target's path and the system's reason
// both count, and would not fit the drafts' short form.
constexpr std::int32_t kSummaryExports = 10;
std::wstring FailedExportsSummary(const BatchResult& result) {
    const std::int32_t failed = result.CountExports(DraftExport::State::Failed);
    if (failed == 0) return std::wstring();
    std::wstring text = L"\n\n" +
                        (failed == 1 ? std::wstring(L"This export failed; its drawing was stored:\n")
                                     : L"These " + std::to_wstring(failed) +
                                           L" exports failed; their drawings were stored:\n");
    std::int32_t listed = 0;
    for (const DraftRecord& draft : result.drafts)
        for (const DraftExport& made : draft.exports) {
            if (made.state != DraftExport::State::Failed || listed++ >= kSummaryExports) continue;
            text += L"\n" + draft.name + L" as " + ExportFormatName(made.format) + L" - " +
                    (made.error ? DescribeError(*made.error) : std::wstring(L"failed"));
        }
    if (failed > kSummaryExports) text += L"\n... and " + std::to_wstring(failed - kSummaryExports) + L" more";
    return text;
}

}  // namespace

std::wstring CadAlreadyRunningText(SessionLetGo why, bool midBatch) {
    std::wstring mend = LetGoMend(why);
    mend[0] = static_cast<wchar_t>(std::towupper(mend[0]));
    return LetGoText(why) +
           L"\n\nKestrow updates drawings only in a session of its own, which it closes at the end, so that your "
           L"session, its settings and any unsaved work in it are never touched: it made no call to this one. " +
           mend + L", then press Update again.\n\n" +
           std::wstring(midBatch ? L"This was found while Kestrow started a fresh session during the batch: the batch "
                                   L"was stopped there, and no further drawing was opened."
                                 : L"Nothing was changed.");
}

std::wstring ServerStartFailureText(const RuntimeError& error, bool midBatch) {
    return std::wstring(L"Kestrow could not start Solid Edge (") + contract::kProgId +
           L").\nCheck that Solid Edge is installed and can be started on this computer.\n\n" +
           DescribeError(error) +
           (midBatch ? L"\n\nThe batch was stopped; no further drawing was opened." : L"\n\nNo drawing was opened.");
}

std::wstring ServerKeptFailingText(const RuntimeError& error) {
    return L"Solid Edge keeps failing: it stopped on " + std::to_wstring(DraftBatch::kServerLossesInARow) +
           L" drawings in a row, so the batch was stopped. The drawings themselves may well be fine.\n\n"
           L"Last error: " +
           DescribeError(error);
}

std::wstring KestrowFailedText(const std::wstring& failure) {
    return L"Kestrow itself failed, so the batch was stopped and Solid Edge was told to end its work.\n\n"
           L"What failed: " +
           failure;
}

std::wstring DraftFailureText(const std::wstring& filePath, const RuntimeError& error) {
    switch (error.Kind()) {
        case FailureKind::ServerGone:
            return L"Solid Edge stopped while this drawing was being updated:\n" + filePath + L"\n\n" +
                   DescribeError(error) + L"\n\nThis drawing was not stored. " + kChoicesWithNewSession;
        case FailureKind::ServerAbandoned:
            return L"Solid Edge stopped answering while this drawing was being updated:\n" + filePath +
                   L"\n\nKestrow gave up on that session and ended it.\n\nThis drawing was not stored. " +
                   kChoicesWithNewSession;
        case FailureKind::ServerAbandonedRunning:
            return L"Solid Edge stopped answering while this drawing was being updated:\n" + filePath +
                   L"\n\nKestrow gave up on that session but could not end it: it may still be running. If it does "
                   L"not end by itself, end it in Task Manager.\n\nThis drawing was not stored. " +
                   kChoicesWithNewSession;
        case FailureKind::Ordinary:
        case FailureKind::ServerBusy:
        case FailureKind::SharedServer:
        case FailureKind::ForeignServer:
        case FailureKind::LeaseLost: break;  // the window takes no shared night
    }
    return L"This drawing could not be updated and stored:\n" + filePath + L"\n\n" + DescribeError(error) + L"\n\n" +
           kChoices;
}

std::wstring HangQuestionText(std::int64_t secondsWaited, const std::wstring& task) {
    return L"Solid Edge has not answered for " + std::to_wstring(secondsWaited) + L" seconds while working on:\n" +
           task +
           L"\n\nKeep waiting if it is busy with a large drawing. Give up on this session ends that Solid Edge: the "
           L"drawing is not stored, and you can go on with a new session.";
}

std::wstring BatchSummaryText(const BatchResult& result) {
    const std::int32_t stored = result.Count(DraftState::Stored);
    const std::int32_t failed = result.Count(DraftState::Failed);
    const std::int32_t notReached = result.Count(DraftState::NotReached);
    std::wstring text = std::to_wstring(stored) + L" of " + std::to_wstring(result.drafts.size()) +
                        L" drawings were updated and stored.";
    if (failed > 0) {
        text += failed == 1 ? std::wstring(L" This one was not:\n")
                            : L" These " + std::to_wstring(failed) + L" were not:\n";
        std::int32_t listed = 0;
        for (const DraftRecord& draft : result.drafts) {
            if (draft.state != DraftState::Failed) continue;
            if (listed++ == kSummaryNames) break;
            text += L"\n" + draft.name + L" - " + (draft.error ? ShortError(*draft.error) : std::wstring(L"failed"));
        }
        if (failed > kSummaryNames) text += L"\n... and " + std::to_wstring(failed - kSummaryNames) + L" more";
    }
    text += KeptCopiesSummary(result);
    const std::int32_t exported = result.CountExports(DraftExport::State::Exported);
    const std::int32_t exports = exported + result.CountExports(DraftExport::State::Failed);
    if (exports > 0)
        text += L"\n\n" + std::to_wstring(exported) + L" of " + std::to_wstring(exports) +
                (exports == 1 ? L" export was saved." : L" exports were saved.");
    text += FailedExportsSummary(result);
    if (notReached > 0)
        text += L"\n\n" + std::to_wstring(notReached) +
                (notReached == 1 ? L" drawing was not reached." : L" drawings were not reached.");
    return text;
}

std::wstring NotAFolderOnDiskText(const std::wstring& displayName) {
    return L"\"" + displayName + L"\" is not a folder on disk. Choose a folder that holds draft files.";
}

std::wstring FolderUnreadableText(const std::wstring& folder, const RuntimeError& error) {
    return L"This folder could not be read:\n" + folder + L"\n\n" + DescribeError(error) +
           L"\n\nNo drawing was listed.";
}

std::wstring SubfoldersUnreadableText(const std::vector<UnreadableFolder>& folders, std::int32_t listed) {
    const auto count = static_cast<std::int32_t>(folders.size());
    std::wstring text = std::to_wstring(listed) + L" file(s) were listed, but " +
                        (count == 1 ? std::wstring(L"this folder")
                                    : L"these " + std::to_wstring(count) + L" folders") +
                        L" could not be read, and no drawing in " + (count == 1 ? L"it" : L"them") +
                        L" is in the list:\n";
    for (std::int32_t i = 0; i < count && i < kSummaryNames; ++i) {
        const UnreadableFolder& folder = folders[static_cast<size_t>(i)];
        text += L"\n" + folder.path + L" - " + ShortError(folder.error);
    }
    if (count > kSummaryNames) text += L"\n... and " + std::to_wstring(count - kSummaryNames) + L" more";
    return text;
}

std::wstring UpdatedStatus(std::int32_t stored, std::int32_t listed, std::int32_t exported,
                           std::int32_t exportsFailed) {
    const std::wstring files = stored == listed ? std::to_wstring(listed) + L" files"
                                                : std::to_wstring(stored) + L" of " + std::to_wstring(listed) + L" files";
    const std::int32_t asked = exported + exportsFailed;
    const std::wstring exports = asked == 0 ? std::wstring()
                                 : exportsFailed == 0
                                     ? L", " + std::to_wstring(exported) + L" exports"
                                     : L", " + std::to_wstring(exported) + L" of " + std::to_wstring(asked) + L" exports";
    return L"Updated " + files + exports + L" in : ";
}

std::wstring StoppedStatus(std::int32_t stored, std::int32_t notReached) {
    return L"Stopped: " + std::to_wstring(stored) + L" updated, " + std::to_wstring(notReached) + L" not reached, in : ";
}

std::wstring UpdatingStatus(std::int32_t index, std::int32_t count) {
    return L"Updating file " + std::to_wstring(index + 1) + L" of " + std::to_wstring(count) + L"...";
}

std::wstring RecordNotKeptText(const std::wstring& why) {
    return L"Kestrow could not keep a log of this batch, so it has no report: " + why;
}

std::wstring ReportNotShownText(const RuntimeError& error) {
    return L"The report of this batch could not be shown.\n\n" + DescribeError(error);
}

std::wstring DialogStatus(const CadDialog& dialog, const std::wstring& action) {
    return L"'" + dialog.title + L"': " + action;
}

std::wstring DialogLeftOpenNote(const CadDialog& dialog) {
    return L"\n\n" + DialogShownText(dialog) +
           L", which nobody answered. Settings... in the window's menu (a right-click on the window) answers a "
           L"dialog by its title: write the title, = and the button to press.";
}

}  // namespace kestrow
