#pragma once
// A batch that runs without anybody watching: from the command line or a
// schedule. Nothing asks a question; every draft leaves one line on the
// standard output and one row in the log.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "batch/DraftBatch.h"
#include "batch/TimeLeft.h"
#include "copies/EarlierCopies.h"
#include "listing/FileTree.h"
#include "unattended/RunLog.h"

namespace kestrow {

namespace ExitCode {
constexpr int AllStored = 0;        // or nothing to store
constexpr int SomeNotStored = 1;
constexpr int ServerFailed = 2;     // could not be started, or kept failing
constexpr int NothingTouched = 3;   // bad command line, folder or log
constexpr int KestrowFailed = 4;    // Kestrow itself failed
constexpr int DatabaseGone = 5;     // a shared night's database stayed away past its bound
}  // namespace ExitCode

// A failed export makes a run SomeNotStored at best, though its draft was
// stored.
int ExitCodeFor(const BatchResult& result);

// Where an unattended run reports.
class RunOutput {
public:
    virtual ~RunOutput() = default;
    virtual void Line(const std::wstring& text) = 0;
    // Before the draft is opened: a run cut short from here on names it.
    virtual void InHand(const DraftRecord& draft) = 0;
    // One row of the log for a draft whose fate is settled, with the
    // seconds it took when it was tried.
    virtual void Row(const DraftRecord& draft, std::optional<double> seconds) = 0;
    // One row of the log for a folder of the tree that could not be read.
    virtual void Row(const UnreadableFolder& folder) = 0;
    // One row of the log for a dialog the CAD system showed.
    virtual void Dialog(const DraftRecord& draft, const CadDialog& dialog, const std::wstring& action) {
        (void)draft;
        (void)dialog;
        (void)action;
    }
    // One row of the log for an export of a stored draft, after the
    // draft's own row.
    virtual void ExportRow(const DraftRecord& draft, const DraftExport& made) {
        (void)draft;
        (void)made;
    }
    // One row of the log about a copy an earlier run left: `result` is
    // kept-copy or retired-copy.
    virtual void Row(const wchar_t* result, const DraftCopy& copy) {
        (void)result;
        (void)copy;
    }
    // One row of the log that tells no draft's fate: something the run said
    // about `session` (0: the whole run).
    virtual void Note(std::int32_t session, const std::wstring& text) {
        (void)session;
        (void)text;
    }
};

class UnattendedUser : public BatchUser, public BatchProgress {
public:
    explicit UnattendedUser(RunOutput& output) : output_(output) {}
    FailureDecision DraftFailed(const DraftRecord&, const RuntimeError&) override {
        return {FailureDecision::Choice::Continue, true};
    }
    // Never asked: an unattended watch gives up by its deadline.
    bool KeepWaiting(std::int64_t, const std::wstring&) override { return false; }
    void DraftStarting(std::int32_t, std::int32_t, const DraftRecord& draft) override;
    // A draft whose fate is settled: stored or failed. One that a stop left
    // unstored is reported with the others not reached, at the end.
    void DraftEnded(std::int32_t index, std::int32_t count, const DraftRecord& draft) override;
    void SessionRenewed(const std::wstring& why) override;
    void SessionsReduced(std::int32_t running, const std::wstring& why) override;
    void SessionsShareOneProcess() override;
    void DialogShown(const DraftRecord& draft, const CadDialog& dialog, const std::wstring& action) override;
    // A line, and a note row in the log.
    void StartNoticed(std::int32_t session, StartNotice notice) override;
    // With several sessions, each draft's line names the one that did it.
    void NameSessions(bool name) { nameSessions_ = name; }
    // From here on, once a few drafts are done, a line now and then says
    // about how long the `drafts` have left; `now` is the clock.
    void EstimateTimeLeft(std::int64_t drafts, std::int32_t sessions,
                          std::function<std::chrono::steady_clock::time_point()> now = std::chrono::steady_clock::now);
    static constexpr std::chrono::seconds kTimeLeftEvery{60};

    // Folders of the tree that were left out, each with a line and a row;
    // they make the run's exit code SomeNotStored at best.
    void FoldersUnreadable(const std::vector<UnreadableFolder>& folders);
    // Copies earlier runs left of this run's drafts, each named now with a
    // line and a kept-copy row; as drafts end, those their fate makes
    // pointless are retired, each with a line and a retired-copy row.
    void TellEarlierCopies(EarlierCopies& earlier);
    // Logs the drafts the run never reached, prints the summary and returns
    // the exit code.
    int Finish(const BatchResult& result, const std::wstring& folder);
    // A run that listed no draft: says so and returns the exit code.
    int FinishWithoutDrafts(const std::wstring& folder);
    // A run with no draft to do (none in its share, or all stored before):
    // says `why` and returns the exit code.
    int FinishWithNothingToDo(const std::wstring& why);

private:
    int WithUnreadableFolders(int exitCode) const;
    std::wstring UnreadableSummary() const;

    RunOutput& output_;
    bool nameSessions_ = false;
    std::map<std::int32_t, std::chrono::steady_clock::time_point> draftStarts_;  // by index
    std::size_t unreadableFolders_ = 0;
    std::function<std::chrono::steady_clock::time_point()> now_;  // set when the time left is told
    TimeLeftEstimate timeLeft_;
    std::optional<std::chrono::steady_clock::time_point> timeLeftTold_;
    EarlierCopies* earlier_ = nullptr;
};

// A draft's row in the log: time, result, file, and for a failure its
// error, source and description, with the copies it names in its detail;
// a same-file row for a name whose file was done under another. The run's
// columns are the caller's.
LogRow DraftLogRow(const std::wstring& time, const DraftRecord& draft);
// A kept-copy or retired-copy row.
LogRow CopyLogRow(const std::wstring& time, const wchar_t* result, const DraftCopy& copy);
// A folder's row: result "unreadable", the folder, and why.
LogRow FolderLogRow(const std::wstring& time, const UnreadableFolder& folder);
// What a run says of a session's start, without "Kestrow: ": "session 2"
// named when `named`.
std::wstring StartNoticeText(StartNotice notice, std::int32_t session, bool named);
// How a run ended, for its run-end row ("completed" when it needs no resume).
std::wstring RunEndName(BatchEnd end);
// A field quoted as CSV requires.
std::wstring CsvField(const std::wstring& text);
// "2026-12-07T14:03:09+01:00": local time with its offset from UTC.
std::wstring Iso8601(int year, int month, int day, int hour, int minute, int second, int offsetMinutes);

}  // namespace kestrow
