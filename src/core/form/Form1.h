#pragma once
// The main window's state and handlers: the Browse flow that lists a
// folder's drafts, and the Update button that runs a batch over them and
// then offers to stop it. The batch itself is a DraftBatch; this class only
// starts it and shows what it reports.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "batch/BatchSettings.h"
#include "batch/DraftBatch.h"
#include "batch/TimeLeft.h"
#include "copies/DraftCopies.h"
#include "copies/EarlierCopies.h"
#include "form/BatchRecord.h"
#include "form/Controls.h"
#include "form/FolderPicker.h"
#include "form/MessageBox.h"
#include "listing/DirectoryEnumerator.h"
#include "listing/FileTree.h"

namespace kestrow {

// Where a batch runs: a thread of its own in the program, inline in tests.
// Whatever thread runs the batch, the questions and progress reach `user`
// and `progress` on the thread that called Start, and `finished` last.
class BatchRunner {
public:
    virtual ~BatchRunner() = default;
    virtual void Start(DraftBatch& batch, BatchUser& user, BatchProgress& progress,
                       std::function<void(BatchResult)> finished) = 0;
};

struct Form1Controls {
    CommandButton& cmdBrowse;
    ListBox& List1;
    Label& Label1;
    TextBox& Text1;
    CommandButton& cmdUpdate;
};

struct Form1Services {
    MessageBoxService& messages;
    FolderPicker& folders;
    DirectoryEnumerator& directory;
    ServerLauncher& servers;
    BatchRunner& runner;
    TaskbarProgress& taskbar;
    LeftoverCopies* leftovers = nullptr;  // copies earlier runs left, named before a batch
    ExportFiles* exportFiles = nullptr;   // where exports are written; none: no exports
    BatchRecord* record = nullptr;        // where each batch is recorded; none: nowhere
};

// How soon a second click on a button counts as part of a double-click.
struct ClickTiming {
    std::chrono::milliseconds doubleClickTime{0};
    std::function<std::chrono::steady_clock::time_point()> now = [] { return std::chrono::steady_clock::now(); };
};

class Form1 : private BatchUser, private BatchProgress {
public:
    static constexpr const wchar_t* Caption = L"Kestrow v 1.0";
    static constexpr const wchar_t* BrowsePrompt = L"Select Draft files folder";
    static constexpr const wchar_t* UpdateCaption = L"Up&date";
    static constexpr const wchar_t* StopCaption = L"&Stop";
    static constexpr const wchar_t* ListSeparator = kDraftSeparator;

    // `hangPrompt`: how long a call to the server may wait before the user
    // is asked whether to keep waiting.
    Form1(Form1Controls controls, Form1Services services,
          std::chrono::milliseconds hangPrompt = std::chrono::seconds(60), ClickTiming clicks = {})
        : c_(controls), s_(services), hangPrompt_(hangPrompt), clicks_(std::move(clicks)) {}
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    void cmdBrowse_Click();
    // Update, or Stop while a batch runs.
    void cmdUpdate_Click();
    void UpdateDraftFiles();
    // A folder dropped on the window: listed as if chosen in the dialog.
    void BrowseDroppedFolder(const std::wstring& folder);

    bool BatchRunning() const { return batchRunning_; }
    // The first draft of the last listing, in full; "" when none is listed.
    std::wstring FirstListedDraft() const {
        return listedNames_.empty() ? std::wstring() : folderPath + listedNames_.front();
    }
    bool Browsing() const { return browsing_; }
    // Stops a running batch after the drawing in hand.
    void RequestStop();
    // Stops a running batch quietly, for a window that closes; `onBatchEnded`
    // runs once it has.
    void RequestStopForClosing();
    void SetBatchEndedHandler(std::function<void()> handler) { batchEnded_ = std::move(handler); }
    // Read each time Update is pressed, so that a changed setting counts
    // from the next batch on.
    void SetSettingsSource(std::function<BatchSettings()> source) { settings_ = std::move(source); }
    // The clock the status line's time left is measured by.
    void SetClock(std::function<std::chrono::steady_clock::time_point()> now) { now_ = std::move(now); }

    // State fields, in declaration order.
    std::wstring folderPath;
    std::wstring filePath;
    std::int32_t updateIndex = 0;
    std::wstring fileList;
    std::int32_t fileCount = 0;
    std::int32_t listIndex = 0;
    std::wstring fileName;

private:
    // BatchUser and BatchProgress, on the window's thread.
    FailureDecision DraftFailed(const DraftRecord& draft, const RuntimeError& error) override;
    bool KeepWaiting(std::int64_t secondsWaited, const std::wstring& task) override;
    void DraftStarting(std::int32_t index, std::int32_t count, const DraftRecord& draft) override;
    void DraftEnded(std::int32_t index, std::int32_t count, const DraftRecord& draft) override;
    void SessionsReduced(std::int32_t running, const std::wstring& why) override;
    void DialogShown(const DraftRecord& draft, const CadDialog& dialog, const std::wstring& action) override;
    void StartNoticed(std::int32_t session, StartNotice notice) override;

    // The Browse flow, with the folder from `chooseFolder` (none: it has
    // told the user why).
    void Browse(const std::function<std::optional<std::wstring>()>& chooseFolder);
    void ListFolder(const std::wstring& folder);
    void EndBrowseWithMessage(const std::wstring& text, MessageIcon icon);
    void OnBatchFinished(const BatchResult& result);
    bool GoOnDespiteLeftoverCopies();
    void ReportBatchEnd(const BatchResult& result, bool reached);
    // The last box of a batch: with "Show the report" when the batch was
    // recorded, or a line saying why it was not.
    void TellBatchEnd(const std::wstring& text, MessageIcon icon, bool reached);
    std::wstring FoundStatus() const;
    TaskbarProgress::State WorkingState() const;

    Form1Controls c_;
    Form1Services s_;
    std::chrono::milliseconds hangPrompt_;
    ClickTiming clicks_;
    std::chrono::steady_clock::time_point batchStartedAt_;
    std::vector<std::wstring> listedNames_;  // the rows of the last listing
    std::vector<FileIdentity> listedFiles_;  // the file behind each row, where known
    std::wstring lastFolder_;                // where the dialog opens next
    bool includeSubfolders_ = false;
    std::unique_ptr<DraftBatch> batch_;
    BatchRecord* recording_ = nullptr;  // the batch's record, while it is kept
    std::wstring recordTrouble_;        // why the batch's record is not kept whole
    bool batchRunning_ = false;
    bool browsing_ = false;
    bool closing_ = false;
    bool draftSkipped_ = false;
    std::int32_t progressDone_ = 0;     // drafts ended
    std::int32_t progressStarted_ = 0;  // drafts started
    std::int32_t progressTotal_ = 0;
    std::function<void()> batchEnded_;
    std::function<BatchSettings()> settings_;
    std::function<std::chrono::steady_clock::time_point()> now_ = [] { return std::chrono::steady_clock::now(); };
    TimeLeftEstimate timeLeft_;
    // A dialog's note on the status line is not replaced before then.
    static constexpr std::chrono::seconds kDialogNoteShown{4};
    std::chrono::steady_clock::time_point dialogNoteUntil_{};
    // Copies earlier runs left of this batch's drafts, retired as the batch
    // stores them; and the set the user was last asked about, by copy path,
    // so that the same set is not asked about at every Update.
    std::unique_ptr<EarlierCopies> earlier_;
    std::vector<std::wstring> leftoversAskedAbout_;
};

}  // namespace kestrow
