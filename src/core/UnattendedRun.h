#pragma once
// A batch that runs without anybody watching: from the command line or a
// schedule. Nothing asks a question; every draft leaves one line on the
// standard output and one row in the log.
#include <cstdint>
#include <string>
#include <vector>

#include "DraftBatch.h"

namespace kestrow {

namespace ExitCode {
constexpr int AllStored = 0;        // or nothing to store
constexpr int SomeNotStored = 1;
constexpr int ServerFailed = 2;     // could not be started, or kept failing
constexpr int NothingTouched = 3;   // bad command line, folder or log
constexpr int KestrowFailed = 4;    // a fault of Kestrow's own
}  // namespace ExitCode

int ExitCodeFor(const BatchResult& result);

// Where an unattended run reports.
class RunOutput {
public:
    virtual ~RunOutput() = default;
    virtual void Line(const std::wstring& text) = 0;
    // One row of the log for a draft whose fate is settled.
    virtual void Row(const DraftRecord& draft) = 0;
};

class UnattendedUser : public BatchUser, public BatchProgress {
public:
    explicit UnattendedUser(RunOutput& output) : output_(output) {}
    FailureDecision DraftFailed(const DraftRecord&, const RuntimeError&) override {
        return {FailureDecision::Choice::Continue, true};
    }
    // Never asked: an unattended watch gives up by its deadline.
    bool KeepWaiting(std::int64_t, const std::wstring&) override { return false; }
    void DraftStarting(std::int32_t, std::int32_t, const DraftRecord&) override {}
    // A draft whose fate is settled: stored or failed. One that a stop left
    // unstored is reported with the others not reached, at the end.
    void DraftEnded(std::int32_t index, std::int32_t count, const DraftRecord& draft) override;
    void SessionRenewed(const std::wstring& why) override;
    void SessionsReduced(std::int32_t running, const std::wstring& why) override;
    // With several sessions, each draft's line names the one that did it.
    void NameSessions(bool name) { nameSessions_ = name; }

    // Logs the drafts the run never reached, prints the summary and returns
    // the exit code.
    int Finish(const BatchResult& result, const std::wstring& folder);

private:
    RunOutput& output_;
    bool nameSessions_ = false;
};

// The log's first line, and one row: time, result, file, error, source,
// description, quoted as CSV requires.
std::wstring LogHeader();
std::wstring LogRow(const std::wstring& time, const DraftRecord& draft);
std::wstring CsvField(const std::wstring& text);
// "2026-12-07T14:03:09+01:00": local time with its offset from UTC.
std::wstring Iso8601(int year, int month, int day, int hour, int minute, int second, int offsetMinutes);

}  // namespace kestrow
