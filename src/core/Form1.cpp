#include "Form1.h"

#include "AutomationContract.h"
#include "AutomationSession.h"
#include "BatchMessages.h"
#include "CheckedInt.h"
#include "GCP.h"
#include "RuntimeError.h"

namespace kestrow {
namespace {

constexpr const wchar_t* kDraftPattern = L"*.dft";

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

// Re-enables the folder box on every way out of the batch.
class DisabledScope {
public:
    explicit DisabledScope(TextBox& box) : box_(box) { box_.SetEnabled(false); }
    ~DisabledScope() { box_.SetEnabled(true); }
    DisabledScope(const DisabledScope&) = delete;
    DisabledScope& operator=(const DisabledScope&) = delete;

private:
    TextBox& box_;
};

AutomationRef CastTo(AutomationResult&& result, const wchar_t* iid) {
    if (!result.object)
        throw RuntimeError(ErrorNumber::ObjectNotSet, kProgramSource,
                           L"The automation server returned no object where one was expected");
    return result.object->QueryInterface(iid);
}

std::int32_t NumberOf(const AutomationResult& result) {
    if (!result.number)
        throw RuntimeError(ErrorNumber::ObjectNotSet, kProgramSource,
                           L"The automation server returned no number where one was expected");
    return *result.number;
}

}  // namespace

void Form1::cmdBrowse_Click() {
    if (batchRunning_) return;
    c_.List1.Clear();
    c_.Label1.SetCaption(L"");
    c_.cmdUpdate.SetEnabled(false);

    folderPath = s_.folders.BrowseFolder(BrowsePrompt);
    if (folderPath.empty()) {
        EndBrowseWithMessage(L"No folder selected", MessageCode::Ok | MessageCode::IconExclamation);
        return;
    }
    fileList = GCP::ListFiles(folderPath, kDraftPattern, ListSeparator, s_.directory);
    if (fileList.empty()) {
        EndBrowseWithMessage(L"No Draft file(s) in selected folder", MessageCode::Ok | MessageCode::IconInformation);
        return;
    }
    fileCount = CheckedNarrow<std::int32_t>(std::int64_t{GCP::CountOccurrences(fileList, ListSeparator)} + 1);

    const auto names = GCP::GetFields(fileList, ListSeparator, fileCount);
    {
        BulkAddScope bulk(c_.List1, fileCount);
        for (listIndex = 1; listIndex <= fileCount; ++listIndex) {
            fileName = names[static_cast<size_t>(listIndex - 1)];
            c_.List1.AddItem(fileName);
        }
    }
    c_.List1.SetListIndex(0);
    c_.Label1.SetCaption(std::to_wstring(fileCount) + L" file(s) found in :");
    c_.Text1.SetText(folderPath);
    c_.cmdUpdate.SetEnabled(true);
}

void Form1::EndBrowseWithMessage(const wchar_t* text, unsigned code) {
    s_.messages.Show(text, code, Caption);
    c_.Label1.SetCaption(L"");
    c_.Text1.SetText(L"");
    c_.cmdUpdate.SetEnabled(false);
}

void Form1::cmdUpdate_Click() { UpdateDraftFiles(); }

void Form1::UpdateDraftFiles() {
    // Message boxes and calls in progress let clicks through; a click on
    // Update while a batch runs must not start a second one inside it.
    if (batchRunning_) return;
    FlagScope running(batchRunning_);
    stopRequested_ = false;
    serverAbandoned_ = false;

    if (!StartServer()) return;
    AutomationSession session(seApp, seDoc, [this] { return serverAbandoned_; });

    try {
        seApp->Invoke(contract::kAppPut59, InvokeKind::Put, {AutomationArg::Boolean(false)});
        seApp->Invoke(contract::kAppPut18, InvokeKind::Put, {AutomationArg::Boolean(false)});
    } catch (const RuntimeError& error) {
        s_.messages.Show(ServerSetupFailureText(error), MessageCode::Ok | MessageCode::IconError, Caption);
        return;
    }

    std::int32_t stored = 0;
    {
        DisabledScope folderBoxDisabled(c_.Text1);
        const std::int32_t lastRow = fileCount - 1;
        for (updateIndex = 0; updateIndex <= lastRow && !stopRequested_; ++updateIndex) {
            const FileOutcome outcome = UpdateListedFile();
            if (outcome == FileOutcome::Stored) ++stored;
            if (outcome == FileOutcome::StopBatch) break;
        }
    }
    c_.Label1.SetCaption(UpdatedStatus(stored, fileCount));
    c_.Text1.SetText(folderPath);
    session.End();
}

bool Form1::StartServer() {
    try {
        AutomationRef created = s_.automation.CreateObject(contract::kProgId);
        seApp = created->QueryInterface(contract::kApplicationIid);
        return true;
    } catch (const RuntimeError& error) {
        seApp.reset();
        s_.messages.Show(ServerStartFailureText(error), MessageCode::Ok | MessageCode::IconError, Caption);
        return false;
    }
}

Form1::FileOutcome Form1::UpdateListedFile() {
    c_.List1.SetListIndex(updateIndex);
    const std::wstring rowText = c_.List1.SelectedText();
    filePath = folderPath + rowText;
    c_.Label1.SetCaption(L"Updating file...");
    c_.Text1.SetText(rowText);

    for (;;) {
        try {
            UpdateOneDraft();
            return FileOutcome::Stored;
        } catch (const RuntimeError& error) {
            // The document is not touched again after a failure; the server
            // drops it when it ends its work.
            seDoc.reset();
            if (stopRequested_) return FileOutcome::StopBatch;
            if (IsServerGone(error)) {
                s_.messages.Show(ServerGoneText(filePath, error), MessageCode::Ok | MessageCode::IconError, Caption);
                return FileOutcome::StopBatch;
            }
            const int answer = s_.messages.Show(FileFailureText(filePath, error),
                                                MessageCode::CancelTryContinue | MessageCode::IconExclamation, Caption);
            if (answer == MessageAnswer::TryAgain) continue;
            if (answer == MessageAnswer::Continue) return FileOutcome::Skipped;
            return FileOutcome::StopBatch;
        }
    }
}

void Form1::UpdateOneDraft() {
    AutomationRef documents = CastTo(seApp->Invoke(contract::kAppDocuments, InvokeKind::Get, {}), contract::kDocumentsIid);
    seDoc = CastTo(documents->Invoke(contract::kDocumentsOpen, InvokeKind::Get, {AutomationArg::StringByRef(filePath)}),
                   contract::kDocumentIid);
    documents.reset();

    AutomationRef views = CastTo(seDoc->Invoke(contract::kDocumentViews, InvokeKind::Get, {}), contract::kViewsIid);
    const std::int32_t reported = NumberOf(views->Invoke(contract::kViewsCount, InvokeKind::Get, {}));
    if (!std::in_range<std::int16_t>(reported))
        throw RuntimeError(ErrorNumber::Overflow, kProgramSource, TooManyViewsDescription(reported));
    const auto viewCount = static_cast<std::int16_t>(reported);

    for (std::int32_t i = 1; i <= viewCount; ++i) {
        AutomationRef view = CastTo(
            views->Invoke(contract::kViewsItem, InvokeKind::Get, {AutomationArg::Int16(static_cast<std::int16_t>(i))}),
            contract::kViewIid);
        view->Invoke(contract::kViewUpdate, InvokeKind::Call, {});
    }
    seDoc->Invoke(contract::kDocumentClose, InvokeKind::Call, {AutomationArg::Boolean(true)});
}

}  // namespace kestrow
