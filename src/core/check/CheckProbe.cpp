#include "check/CheckProbe.h"

#include <algorithm>

#include "batch/CallWatch.h"
#include "common/CommandLineProgram.h"
#include "common/LongPath.h"
#include "exports/ExportTargets.h"

namespace kestrow {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

class Probe {
public:
    Probe(const CheckRequest& request, CheckPorts ports, const std::shared_ptr<const std::atomic<bool>>& stop,
          CheckFacts& facts)
        : request_(request), ports_(ports), stop_(stop), facts_(facts),
          watch_(CallWatch::Policy{std::chrono::milliseconds(0), request.timeout, request.answers,
                                   kUnansweredDialogGrace},
                 nullptr) {
        watch_.SetDialogReporter([this](const CadDialog& dialog, const std::wstring& action, bool pressed) {
            CheckedDialog seen{dialog, during_, action, pressed, {}};
            // A dialog left open while its button was greyed out, pressed
            // once it was enabled: what counts is that a night gets past it.
            if (pressed) {
                const auto leftOpen = std::find_if(facts_.dialogs.rbegin(), facts_.dialogs.rend(), [&](const CheckedDialog& d) {
                    return !d.pressed && d.during == during_ && d.dialog.title == dialog.title && d.dialog.text == dialog.text;
                });
                if (leftOpen != facts_.dialogs.rend()) {
                    *leftOpen = std::move(seen);
                    return;
                }
            }
            facts_.dialogs.push_back(std::move(seen));
        });
    }

    void Run() {
        facts_.registration = ports_.platform.Registration();
        facts_.machine = ports_.platform.Machine();
        facts_.sample.draft = request_.sample;
        // Nothing is registered to start.
        if (facts_.registration.classId.empty()) return;
        // The user's own session gets not a single call, and nothing is
        // started beside it, or where it cannot be told from Kestrow's.
        facts_.inTheWay = ports_.launcher.CadSystemInTheWay();
        if (facts_.inTheWay) return;
        std::wstring copy;
        if (!request_.sample.empty()) {
            try {
                copy = ports_.platform.CopySample(request_.sample);
            } catch (const RuntimeError& error) {
                facts_.sample.copyFailed = error;
            }
        }
        const std::unique_ptr<ServerConnection> session = ports_.launcher.Launch();
        if (Start(*session)) {
            if (!Stopped()) TrySecondSession();
            if (!copy.empty() && !Stopped()) Sample(*session, copy);
            if (!lost_) End(*session);
        }
        for (CheckedDialog& seen : facts_.dialogs)
            if (!seen.dialog.picture.empty()) seen.picturePng = ports_.platform.PictureBytes(seen.dialog.picture);
    }

private:
    bool Stopped() const { return stop_->load(); }

    // A call given up ended the session as a night ends it: without a quit.
    void Lost(const RuntimeError& error) {
        lost_ = true;
        facts_.end.givenUp = error.ServerGivenUp();
        facts_.end.givenUpOnDialog = facts_.end.givenUp && watch_.GaveUpOnDialog();
        facts_.end.givenUpEnded = error.Kind() == FailureKind::ServerAbandoned;
    }

    bool Start(ServerConnection& session) {
        CheckedStart& start = facts_.start;
        start.tried = true;
        watch_.SetTask(L"starting a session of Solid Edge");
        during_ = CheckStep::Start;
        const Clock::time_point began = Clock::now();
        try {
            session.Start(stop_, watch_);
        } catch (const RuntimeError& error) {
            start.error = error;
        }
        start.seconds = SecondsSince(began);
        start.notices = session.TakeStartNotices();
        start.process = session.ProcessId();
        if (!start.process) start.processNotHeld = session.ProcessNotHeldWhy();
        start.memoryBytes = session.MemoryBytes();
        start.calls = ports_.times.Take();
        if (start.error && start.error->Kind() == FailureKind::ForeignServer) start.letGo = session.LetGoReason();
        if (!start.error) return true;
        if (start.error->ServerLost()) {
            Lost(*start.error);
        } else {
            // A server that started but refused its settings still ends its
            // work, as in a night; one that is not the session's gets no call.
            session.Quit(watch_);
        }
        return false;
    }

    // A second session while the first runs: a process of its own
    // (single-use), or the first one's (one process serves every program).
    void TrySecondSession() {
        SecondSession& second = facts_.second;
        const std::unique_ptr<ServerConnection> other = ports_.launcher.Launch();
        during_ = CheckStep::SecondStart;
        const Clock::time_point began = Clock::now();
        try {
            other->Start(stop_, watch_);
            second.served = SecondSession::Served::OwnProcess;
            second.process = other->ProcessId();
        } catch (const RuntimeError& error) {
            if (error.Kind() == FailureKind::SharedServer) {
                second.served = SecondSession::Served::FirstSessionsProcess;
            } else {
                second.served = SecondSession::Served::Failed;
                second.error = error;
            }
        }
        second.seconds = SecondsSince(began);
        if (!second.error || !second.error->ServerLost()) other->Quit(watch_);
        // Its quit's calls too: one given up there is a session given up.
        second.calls = ports_.times.Take();
        // The watch tells of the last call it gave up on, which ended the session.
        second.givenUpOnDialog = watch_.GaveUpOnDialog();
    }

    void Sample(ServerConnection& session, const std::wstring& copy) {
        SampleFacts& sample = facts_.sample;
        sample.copy = copy;
        DraftExporter exporter(ExportRequest{request_.exports, L""}, FolderOfFile(copy) + L"\\", ports_.exportFiles);
        std::vector<DraftExport> exports = exporter.Prepare(FileNameOf(copy));
        watch_.SetTask(copy);
        during_ = CheckStep::Sample;
        try {
            sample.stored =
                session.UpdateDraft(ExtendedLengthPath(copy), exports, stop_, nullptr, watch_) == DraftOutcome::Stored;
        } catch (const RuntimeError& error) {
            sample.error = error;
            if (error.ServerLost()) Lost(error);
        }
        exporter.Settle(exports, sample.stored);
        sample.exports = exports;
        sample.calls = ports_.times.Take();
        // The call given up is the last one named: its server, once ended,
        // may have let it return meanwhile, but too late.
        if (sample.error && sample.error->ServerGivenUp() && !sample.calls.empty()) sample.calls.back().answered = false;
        sample.memoryBytes = session.MemoryBytes();
    }

    void End(ServerConnection& session) {
        CheckedEnd& end = facts_.end;
        watch_.SetTask(L"ending the session of Solid Edge");
        during_ = CheckStep::End;
        const Clock::time_point began = Clock::now();
        session.Quit(watch_);
        end.quit = true;
        end.untilGoneSeconds = SecondsSince(began);
        end.process = session.QuitEnded();
        end.calls = ports_.times.Take();
        end.givenUpOnDialog = watch_.GaveUpOnDialog();
        for (const TimedCall& call : end.calls)
            if (call.step == DraftStep::Quit) end.quitCall = call;
    }

    const CheckRequest& request_;
    CheckPorts ports_;
    std::shared_ptr<const std::atomic<bool>> stop_;
    CheckFacts& facts_;
    CallWatch watch_;
    bool lost_ = false;    // no further call can reach the session's server
    std::wstring during_;  // the step under way, for the dialogs it shows
};

}  // namespace

CheckFacts ProbeCadSystem(const CheckRequest& request, CheckPorts ports,
                          const std::shared_ptr<const std::atomic<bool>>& stop) {
    const Clock::time_point began = Clock::now();
    CheckFacts facts;
    Probe(request, ports, stop, facts).Run();
    facts.stopped = stop->load();
    facts.seconds = SecondsSince(began);
    return facts;
}

}  // namespace kestrow
