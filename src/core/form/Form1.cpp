#include "form/Form1.h"

#include <algorithm>
#include <unordered_set>

#include "common/CheckedInt.h"
#include "common/LongPath.h"
#include "common/RuntimeError.h"
#include "copies/CopyMessages.h"
#include "form/BatchMessages.h"
#include "listing/GCP.h"

namespace kestrow {
namespace {

// Sets a flag for as long as it lives.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
};

// Ends a bulk addition to a list box on every way out.
class BulkAddScope {
public:
    BulkAddScope(ListBox& list, std::int32_t rows) : list_(list) { list_.BeginBulkAdd(rows); }
    ~BulkAddScope() { list_.EndBulkAdd(); }
    BulkAddScope(const BulkAddScope&) = delete;
    BulkAddScope& operator=(const BulkAddScope&) = delete;

private:
    ListBox& list_;
};

}  // namespace

void Form1::cmdBrowse_Click() {
    Browse([this]() -> std::optional<std::wstring> {
        const FolderChoice choice = s_.folders.ChooseFolder({BrowsePrompt, lastFolder_, includeSubfolders_});
        switch (choice.outcome) {
            case FolderChoice::Outcome::Cancelled:
                folderPath.clear();
                EndBrowseWithMessage(L"No folder selected", MessageIcon::Exclamation);
                return std::nullopt;
            case FolderChoice::Outcome::NotOnDisk:
                folderPath.clear();
                EndBrowseWithMessage(NotAFolderOnDiskText(choice.displayName), MessageIcon::Exclamation);
                return std::nullopt;
            case FolderChoice::Outcome::Folder: break;
        }
        includeSubfolders_ = choice.includeSubfolders;
        return choice.path;
    });
}

void Form1::BrowseDroppedFolder(const std::wstring& folder) {
    Browse([&folder] { return std::optional<std::wstring>(folder); });
}

void Form1::Browse(const std::function<std::optional<std::wstring>()>& chooseFolder) {
    // The dialog is modal to this window; a second Browse from inside it, or
    // one during a batch, would mix two folders in one list.
    if (browsing_ || batchRunning_) return;
    FlagScope browsing(browsing_);
    c_.List1.Clear();
    listedNames_.clear();
    listedFiles_.clear();
    c_.Label1.SetCaption(L"");
    c_.cmdUpdate.SetEnabled(false);
    const std::optional<std::wstring> folder = chooseFolder();
    if (!folder) return;
    lastFolder_ = *folder;
    ListFolder(*folder);
}

void Form1::ListFolder(const std::wstring& folder) {
    folderPath = folder;
    DraftListing listing;
    try {
        listing = ListDrafts(folderPath, includeSubfolders_, s_.directory);
    } catch (const RuntimeError& error) {
        EndBrowseWithMessage(FolderUnreadableText(folderPath, error), MessageIcon::Error);
        return;
    }
    fileList = JoinNames(listing.names, ListSeparator);
    fileCount = CheckedNarrow<std::int32_t>(listing.names.size());
    if (fileCount > 0) {
        BulkAddScope bulk(c_.List1, fileCount);
        for (listIndex = 1; listIndex <= fileCount; ++listIndex) {
            fileName = listing.names[static_cast<size_t>(listIndex - 1)];
            c_.List1.AddItem(fileName);
        }
        listedNames_ = std::move(listing.names);
        listedFiles_ = std::move(listing.files);
        c_.List1.SetListIndex(0);
        c_.Label1.SetCaption(FoundStatus());
        c_.Text1.SetText(folderPath);
        c_.cmdUpdate.SetEnabled(true);
    }
    // Said once the list stands behind it, with what it holds.
    if (!listing.unreadableFolders.empty())
        s_.messages.Show(SubfoldersUnreadableText(listing.unreadableFolders, fileCount), MessageButtons::Ok,
                         MessageIcon::Exclamation, Caption);
    if (fileCount == 0) EndBrowseWithMessage(L"No Draft file(s) in selected folder", MessageIcon::Information);
}

std::wstring Form1::FoundStatus() const { return std::to_wstring(fileCount) + L" file(s) found in :"; }

void Form1::EndBrowseWithMessage(const std::wstring& text, MessageIcon icon) {
    s_.messages.Show(text, MessageButtons::Ok, icon, Caption);
    c_.Label1.SetCaption(L"");
    c_.Text1.SetText(L"");
    c_.cmdUpdate.SetEnabled(false);
}

void Form1::cmdUpdate_Click() {
    if (batchRunning_) {
        // The second click of a double-click on Update is no Stop.
        if (clicks_.now() - batchStartedAt_ >= clicks_.doubleClickTime) RequestStop();
        return;
    }
    UpdateDraftFiles();
}

void Form1::UpdateDraftFiles() {
    if (batchRunning_ || listedNames_.empty()) return;
    if (!GoOnDespiteLeftoverCopies()) return;
    const BatchSettings settings = settings_ ? settings_() : BatchSettings{};
    const std::chrono::milliseconds askAfter =
        settings.callSeconds > 0 ? std::chrono::seconds(settings.callSeconds) : hangPrompt_;
    // The batch walks a copy of the listing taken now, never the controls.
    batch_ = std::make_unique<DraftBatch>(folderPath, listedNames_, s_.servers,
                                          CallWatch::Policy{askAfter, std::chrono::milliseconds(0)});
    std::int32_t sessions = 1;
    batch_->SetFiles(listedFiles_);
    if (settings_) {
        batch_->SetRenewal(settings.renewal);
        batch_->SetSessions(settings.sessions);
        sessions = settings.sessions;
        batch_->SetAnswers(settings.answers);
        if (s_.exportFiles) batch_->SetExports(ExportRequest{settings.exports, L""}, *s_.exportFiles);
    }
    recording_ = nullptr;
    recordTrouble_.clear();
    if (s_.record) {
        recordTrouble_ = s_.record->Begin(folderPath);
        if (recordTrouble_.empty()) recording_ = s_.record;
    }
    batchRunning_ = true;
    batchStartedAt_ = clicks_.now();
    closing_ = false;
    draftSkipped_ = false;
    progressDone_ = 0;
    progressStarted_ = 0;
    progressTotal_ = static_cast<std::int32_t>(listedNames_.size());
    c_.Text1.SetEnabled(false);
    c_.cmdBrowse.SetEnabled(false);
    c_.cmdUpdate.SetCaption(StopCaption);
    s_.taskbar.Show(0, progressTotal_, TaskbarProgress::State::Normal);
    timeLeft_.Start(now_(), progressTotal_, sessions);
    dialogNoteUntil_ = {};
    s_.runner.Start(*batch_, *this, *this, [this](const BatchResult& result) { OnBatchFinished(result); });
}

// Copies that an earlier run left of this batch's drafts are named before
// the batch, once for a given set of them: nothing is put back without the
// user, and a copy goes once the batch stores its draft.
bool Form1::GoOnDespiteLeftoverCopies() {
    earlier_.reset();
    if (!s_.leftovers) return true;
    std::unordered_set<std::wstring> listed;
    earlier_ = std::make_unique<EarlierCopies>(*s_.leftovers, [&](const std::wstring& draftPath) {
        if (listed.empty())
            for (const std::wstring& name : listedNames_) listed.insert(FoldedPath(folderPath + name));
        return listed.count(FoldedPath(draftPath)) > 0;
    });
    const std::vector<DraftCopy>& copies = earlier_->Copies();
    if (copies.empty()) return true;
    std::vector<std::wstring> set;
    for (const DraftCopy& copy : copies) set.push_back(FoldedPath(copy.copyPath));
    std::sort(set.begin(), set.end());
    if (set == leftoversAskedAbout_) return true;
    leftoversAskedAbout_ = std::move(set);
    const std::wstring folder = s_.leftovers->Folder();
    return s_.messages.AskYesNoOpeningFolder(LeftoverCopiesQuestion(copies, folder), MessageIcon::Exclamation, Caption,
                                             folder) == MessageAnswer::Yes;
}

void Form1::RequestStop() {
    if (!batchRunning_ || batch_->StopRequested()) return;
    batch_->RequestStop();
    c_.Label1.SetCaption(kStoppingStatus);
}

void Form1::RequestStopForClosing() {
    closing_ = true;
    RequestStop();
}

// With several sessions, drafts start and end out of step: the status line
// counts the drafts started, the task bar those ended.
void Form1::DraftStarting(std::int32_t index, std::int32_t count, const DraftRecord& draft) {
    updateIndex = index;
    filePath = draft.path;
    progressStarted_ = std::max(progressStarted_, index + 1);
    c_.List1.SetListIndex(index);
    const auto now = now_();
    const std::optional<std::chrono::seconds> left = timeLeft_.Left(now);
    // What was answered stays readable a while, though other sessions start
    // drafts meanwhile.
    if (batch_->StopRequested())
        c_.Label1.SetCaption(kStoppingStatus);
    else if (now >= dialogNoteUntil_)
        c_.Label1.SetCaption(UpdatingStatus(progressStarted_ - 1, count) +
                             (left ? L" " + TimeLeftText(*left) : std::wstring()));
    c_.Text1.SetText(draft.name);
    s_.taskbar.Show(progressDone_, progressTotal_, WorkingState());
    if (recording_) recording_->Progress().DraftStarting(index, count, draft);
}

void Form1::DraftEnded(std::int32_t index, std::int32_t count, const DraftRecord& draft) {
    if (recording_) recording_->Progress().DraftEnded(index, count, draft);
    draftSkipped_ = draftSkipped_ || draft.state == DraftState::Failed;
    if (earlier_) earlier_->Settle(draft);
    ++progressDone_;
    if (draft.state != DraftState::NotReached) timeLeft_.DraftDone();
    s_.taskbar.Show(progressDone_, progressTotal_, WorkingState());
}

void Form1::SessionsReduced(std::int32_t running, const std::wstring&) { timeLeft_.SessionsAtWork(now_(), running); }
void Form1::StartNoticed(std::int32_t session, StartNotice notice) {
    if (recording_) recording_->Progress().StartNoticed(session, notice);
}

void Form1::DialogShown(const DraftRecord& draft, const CadDialog& dialog, const std::wstring& action) {
    if (recording_) recording_->Progress().DialogShown(draft, dialog, action);
    // "Stopping after this drawing..." stays until the batch has stopped.
    if (batch_->StopRequested()) return;
    c_.Label1.SetCaption(DialogStatus(dialog, action));
    dialogNoteUntil_ = now_() + kDialogNoteShown;
}

TaskbarProgress::State Form1::WorkingState() const {
    return draftSkipped_ ? TaskbarProgress::State::Error : TaskbarProgress::State::Normal;
}

FailureDecision Form1::DraftFailed(const DraftRecord& draft, const RuntimeError& error) {
    s_.taskbar.Show(progressDone_, progressTotal_, TaskbarProgress::State::Paused);
    const CheckedAnswer answer = s_.messages.AskCancelTryContinue(
        DraftFailureText(draft.path, error) +
            (draft.dialogLeftOpen ? DialogLeftOpenNote(*draft.dialogLeftOpen) : std::wstring()) +
            (draft.keptCopy ? KeptCopyNote(*draft.keptCopy) : std::wstring()),
        MessageIcon::Exclamation, Caption, kSameForRemainingText);
    s_.taskbar.Show(progressDone_, progressTotal_, WorkingState());
    FailureDecision decision;
    decision.sameForRemaining = answer.checked;
    switch (answer.answer) {
        case MessageAnswer::TryAgain: decision.choice = FailureDecision::Choice::TryAgain; break;
        case MessageAnswer::Continue: decision.choice = FailureDecision::Choice::Continue; break;
        default: decision.choice = FailureDecision::Choice::Cancel; break;
    }
    return decision;
}

bool Form1::KeepWaiting(std::int64_t secondsWaited, const std::wstring& task) {
    s_.taskbar.Show(progressDone_, progressTotal_, TaskbarProgress::State::Paused);
    const bool keepWaiting = s_.messages.Show(HangQuestionText(secondsWaited, task),
                                              MessageButtons::KeepWaitingOrGiveUp, MessageIcon::Exclamation,
                                              Caption) == MessageAnswer::Yes;
    s_.taskbar.Show(progressDone_, progressTotal_, WorkingState());
    return keepWaiting;
}

void Form1::OnBatchFinished(const BatchResult& result) {
    batchRunning_ = false;
    c_.Text1.SetEnabled(true);
    const bool nothingTried = (result.end == BatchEnd::CadAlreadyRunning || result.end == BatchEnd::ServerCouldNotStart) &&
                              result.Count(DraftState::NotReached) == static_cast<std::int32_t>(result.drafts.size());
    const std::int32_t notReached = result.Count(DraftState::NotReached);
    const bool stopped = (result.end == BatchEnd::Stopped || result.end == BatchEnd::Cancelled) && notReached > 0;
    c_.Label1.SetCaption(nothingTried ? FoundStatus()
                         : stopped    ? StoppedStatus(result.Count(DraftState::Stored), notReached)
                                      : UpdatedStatus(result.Count(DraftState::Stored), fileCount,
                                                      result.CountExports(DraftExport::State::Exported),
                                                      result.CountExports(DraftExport::State::Failed)));
    c_.Text1.SetText(folderPath);
    c_.cmdUpdate.SetCaption(UpdateCaption);
    c_.cmdBrowse.SetEnabled(true);
    s_.taskbar.Clear();
    if (recording_) {
        const std::wstring trouble = recording_->End(result);
        if (!trouble.empty()) {
            recordTrouble_ = trouble;
            recording_ = nullptr;
        }
    }
    if (!closing_) {
        s_.taskbar.FlashIfInBackground();
        ReportBatchEnd(result, notReached < static_cast<std::int32_t>(result.drafts.size()));
    }
    if (batchEnded_) batchEnded_();
}

void Form1::ReportBatchEnd(const BatchResult& result, bool reached) {
    const bool failures =
        result.Count(DraftState::Failed) > 0 || result.CountExports(DraftExport::State::Failed) > 0;
    const std::wstring summary = failures ? L"\n\n" + BatchSummaryText(result) : std::wstring();
    switch (result.end) {
        case BatchEnd::CadAlreadyRunning:
            TellBatchEnd(CadAlreadyRunningText(result.letGo.value_or(SessionLetGo::UsersSession), reached),
                         MessageIcon::Exclamation, reached);
            return;
        case BatchEnd::ServerCouldNotStart:
            TellBatchEnd(ServerStartFailureText(*result.serverError, reached) + summary, MessageIcon::Error, reached);
            return;
        case BatchEnd::ServerKeptFailing:
            TellBatchEnd(ServerKeptFailingText(*result.serverError) + summary, MessageIcon::Error, reached);
            return;
        case BatchEnd::KestrowFailed:
            TellBatchEnd(KestrowFailedText(result.kestrowFailure) + summary, MessageIcon::Error, reached);
            return;
        case BatchEnd::Completed:
        case BatchEnd::Cancelled:
        case BatchEnd::Stopped: break;
    }
    if (failures) TellBatchEnd(BatchSummaryText(result), MessageIcon::Exclamation, reached);
}

void Form1::TellBatchEnd(const std::wstring& text, MessageIcon icon, bool reached) {
    // A batch that reached no drawing has nothing to report.
    if (!reached) {
        s_.messages.Show(text, MessageButtons::Ok, icon, Caption);
        return;
    }
    if (!recording_) {
        s_.messages.Show(text + (recordTrouble_.empty() ? std::wstring() : L"\n\n" + RecordNotKeptText(recordTrouble_)),
                         MessageButtons::Ok, icon, Caption);
        return;
    }
    BatchRecord& record = *recording_;
    const std::wstring folder = folderPath;
    s_.messages.ShowOfferingReport(text, icon, Caption, [this, &record, folder] {
        try {
            record.ShowReport(folder);
        } catch (const RuntimeError& error) {
            s_.messages.Show(ReportNotShownText(error), MessageButtons::Ok, MessageIcon::Error, Caption);
        }
    });
}

}  // namespace kestrow
