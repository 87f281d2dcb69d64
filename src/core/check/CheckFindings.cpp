#include "check/CheckFindings.h"

#include "check/DatabaseFindings.h"

#include <algorithm>

#include "server/ServerOwnership.h"
#include "common/LongPath.h"
#include "exports/ExportFormats.h"
#include "exports/ExportTargets.h"

namespace kestrow {
namespace {

std::wstring Quoted(const std::wstring& text) { return L"'" + text + L"'"; }

// The finding's topic for a call of the sample: the step of the draft it
// belongs to.
std::wstring StepTopic(const TimedCall& call) {
    switch (call.step) {
        case DraftStep::Documents:
        case DraftStep::Open: return L"open";
        case DraftStep::Views:
        case DraftStep::ViewCount:
        case DraftStep::View:
        case DraftStep::UpdateView: return L"update views";
        case DraftStep::SaveAs: return L"save as " + call.format;
        case DraftStep::Store: return L"store";
        case DraftStep::CloseUnstored: return L"close";
        case DraftStep::Quit: return L"quit";
        case DraftStep::Settings:
        case DraftStep::OtherInvocation:
        case DraftStep::Activation:
        case DraftStep::Cast:
        case DraftStep::LookUp:
        case DraftStep::Release: break;
    }
    return L"sample";
}

const TimedCall* GivenUpCall(const std::vector<TimedCall>& calls) {
    for (const TimedCall& call : calls)
        if (!call.answered) return &call;
    return nullptr;
}

std::wstring DialogText(const CheckedDialog& seen) {
    const CadDialog& dialog = seen.dialog;
    std::wstring buttons;
    for (const std::wstring& button : dialog.buttons) buttons += (buttons.empty() ? L"" : L" / ") + button;
    return Quoted(dialog.title + (dialog.text.empty() ? L"" : L": " + dialog.text)) + L" [" + buttons + L"] during " +
           seen.during + L": " + seen.action;
}

class Judge {
public:
    Judge(const CheckFacts& facts, const CheckRequest& request) : facts_(facts), request_(request) {}

    std::vector<Finding> Findings() {
        if (Registration() && OwnSession()) {
            const bool started = Start();
            Dialogs(CheckStep::Start);
            Second();
            Dialogs(CheckStep::SecondStart);
            Sample(started);
            End();
            Dialogs(CheckStep::End);
            // Whatever the call, a session given up is one a night would
            // give up on too: never "ready" over it.
            if (AnySessionGivenUp() && !ProblemAbout(L""))
                Add(FindingMark::Problem, L"check", L"", L"Kestrow gave up on a session of Solid Edge during the check",
                    L"see what Solid Edge waits for, and check again");
        }
        if (facts_.stopped)
            Add(FindingMark::Problem, L"check", L"", L"the check was stopped before it was done",
                L"check again, and let it finish");
        return std::move(findings_);
    }

private:
    void Add(FindingMark mark, std::wstring topic, std::wstring figure, std::wstring text, std::wstring mend = L"",
             std::optional<size_t> dialog = std::nullopt) {
        findings_.push_back(Finding{mark, std::move(topic), std::move(figure), std::move(text), std::move(mend), dialog});
    }

    std::wstring Timeout() const { return std::to_wstring(request_.timeout.count()) + L" s (/timeout)"; }
    static std::wstring Grace() { return std::to_wstring(kUnansweredDialogGrace.count()) + L" s"; }

    bool Registration() {
        const RegistrationFacts& registration = facts_.registration;
        const std::wstring& progId = registration.progId;
        if (registration.classId.empty()) {
            Add(FindingMark::Problem, L"registration", L"",
                progId + L" is not registered on this computer: Windows knows no program to start for it",
                L"install Solid Edge, or repair its installation, on the computer that runs the nights");
            return false;
        }
        if (registration.commandLine.empty()) {
            Add(FindingMark::Problem, L"registration", L"",
                progId + L" is the class " + registration.classId + L", but no program is registered to serve it",
                L"repair Solid Edge's installation");
            return false;
        }
        const bool quoted = registration.commandLine.front() == L'"';
        Add(FindingMark::Ok, L"registration", L"",
            progId + L" is the class " + registration.classId + L", served by " + registration.commandLine +
                (quoted ? L" (quoted)" : L" (without quotes)"));
        return Program(quoted);
    }

    bool Program(bool quoted) {
        const RegistrationFacts& registration = facts_.registration;
        if (registration.program.empty() || !registration.programExists) {
            Add(FindingMark::Problem, L"program", L"",
                registration.program.empty()
                    ? L"no program file is found from that command line, so Kestrow cannot tell a session of its own "
                      L"from one of yours: a night would start none"
                    : registration.program + L" does not exist",
                L"repair Solid Edge's installation");
            return true;  // the start will say what Windows makes of it
        }
        std::wstring text = L"Windows starts " + registration.program;
        if (registration.productName.empty() && registration.fileVersion.empty())
            text += L"; it has no version resource";
        else
            text += L": " + (registration.productName.empty() ? L"no product name" : registration.productName) +
                    L", file version " + (registration.fileVersion.empty() ? L"not given" : registration.fileVersion);
        const bool readWordByWord = !quoted && registration.program.find(L' ') != std::wstring::npos;
        if (readWordByWord)
            text += L" (registered without quotes: Windows, and Kestrow with it, reads the command line word by word "
                    L"until the words name a file)";
        Add(readWordByWord ? FindingMark::Note : FindingMark::Ok, L"program", registration.fileVersion, text);
        return true;
    }

    bool OwnSession() {
        if (facts_.inTheWay == SessionLetGo::ProgramNotKnown) {
            // The program's own finding said what cannot be read.
            if (!ProblemAbout(L"program"))
                Add(FindingMark::Problem, L"program", L"", LetGoText(*facts_.inTheWay) + L" A night would start none.",
                    LetGoMend(*facts_.inTheWay) + L", and check again");
            return false;
        }
        if (facts_.inTheWay) {
            Add(FindingMark::Problem, L"your Solid Edge", L"",
                L"Solid Edge runs, or is starting, as a session that Windows did not start for Kestrow (yours): the "
                L"check started nothing and made no call to it",
                L"close Solid Edge (if it is still starting, let it open first) and check again");
            return false;
        }
        Add(FindingMark::Ok, L"your Solid Edge", L"", L"no session of yours runs");
        return true;
    }

    bool Start() {
        const CheckedStart& start = facts_.start;
        if (!start.tried) return false;
        const std::wstring figure = SecondsFigure(start.seconds);
        if (start.error) {
            StartFailed(*start.error, figure);
            return false;
        }
        if (start.process)
            Add(FindingMark::Ok, L"start", figure,
                L"a session of Kestrow's own answered, in process " + std::to_wstring(*start.process) +
                    L", which COM started for it: Kestrow's own, as a night proves it");
        else
            Add(FindingMark::Note, L"start", figure,
                L"a session answered, but its process could not be found" +
                    (start.processNotHeld.empty() ? std::wstring() : L" (" + start.processNotHeld + L")") +
                    L": a night could not end it if it hung");
        for (const StartNotice notice : start.notices) {
            if (notice == StartNotice::TurnNotComputerWide)
                Add(FindingMark::Note, L"start", L"",
                    L"no turn could be taken with every Kestrow of the computer: starts of several may overlap");
            else if (notice == StartNotice::StartedWithoutTurn)
                Add(FindingMark::Note, L"start", L"",
                    L"another start held the turn for 10 minutes: this one went ahead without it");
        }
        if (start.memoryBytes)
            Add(FindingMark::Ok, L"memory", MegabytesFigure(*start.memoryBytes),
                L"committed by Solid Edge's process once started");
        return true;
    }

    void StartFailed(const RuntimeError& error, const std::wstring& figure) {
        if (error.ServerGivenUp() && facts_.end.givenUpOnDialog) {
            GivenUpAtDialog(L"start", figure, L"Solid Edge's start", L"it");
        } else if (error.ServerGivenUp()) {
            const TimedCall* call = GivenUpCall(facts_.start.calls);
            Add(FindingMark::Problem, L"start", figure,
                call && call->step != DraftStep::Activation
                    ? CallName(*call) + L" did not answer within " + Timeout() + L", as Solid Edge started"
                    : L"Solid Edge's start did not answer within " + Timeout(),
                L"if Solid Edge takes this long to start here, check again with a longer /timeout; if it waits for "
                L"something (a licence, a dialog), see to that first");
        } else if (error.Kind() == FailureKind::ForeignServer) {
            const SessionLetGo why = facts_.start.letGo.value_or(SessionLetGo::NotProven);
            Add(FindingMark::Problem, L"start", figure, LetGoText(why) + L" Kestrow let go of it without a call.",
                LetGoMend(why) + L", and check again");
        } else {
            Add(FindingMark::Problem, L"start", figure, L"Solid Edge could not be started: " + DescribeError(error),
                L"start Solid Edge yourself to see what it says, and repair it if it does not start");
        }
    }

    void Second() {
        const kestrow::SecondSession& second = facts_.second;
        const std::wstring figure = SecondsFigure(second.seconds);
        switch (second.served) {
            case SecondSession::Served::NotTried: break;
            case SecondSession::Served::OwnProcess:
                Add(FindingMark::Ok, L"second session", figure,
                    L"a second start got a process of its own" +
                        (second.process ? L" (" + std::to_wstring(*second.process) + L")" : std::wstring()) +
                        L": Solid Edge gives each program a process of its own, so a night may run several "
                        L"sessions at once (/sessions)");
                break;
            case SecondSession::Served::FirstSessionsProcess:
                Add(FindingMark::Note, L"second session", figure,
                    L"a second start was handed the first session's process: Solid Edge serves every program from "
                    L"one process, so a night runs one session (/sessions 1)");
                break;
            case SecondSession::Served::Failed:
                if (second.error->ServerGivenUp()) break;  // said below, with its call
                Add(FindingMark::Note, L"second session", figure,
                    L"a second session could not be started beside the first (" + DescribeError(*second.error) +
                        L"): a night can run one session (/sessions 1)");
                break;
        }
        if (const TimedCall* call = GivenUpCall(second.calls))
            SessionGivenUp(L"second session", *call, L"a night that starts several sessions would hang there too",
                           second.givenUpOnDialog);
    }

    // A call the check gave up on after its grace for a dialog no rule
    // answers: the dialog is the problem, not the call limit.
    void GivenUpAtDialog(const std::wstring& topic, const std::wstring& figure, const std::wstring& what,
                         const wchar_t* givenUp) {
        Add(FindingMark::Problem, topic, figure,
            what + L" stood at a dialog no rule answers (below) for " + Grace() + L"; the check gave up on " + givenUp +
                L" there rather than wait out " + Timeout(),
            L"answer the dialog with the /answer line below, or see to what it asks, and check again");
    }

    // A session the check gave up on: a night would give up on it at the
    // same place.
    void SessionGivenUp(const std::wstring& topic, const TimedCall& call, const std::wstring& why, bool onDialog) {
        if (onDialog) {
            GivenUpAtDialog(topic, SecondsFigure(call.seconds), CallName(call), L"the session");
            return;
        }
        Add(FindingMark::Problem, topic, SecondsFigure(call.seconds),
            CallName(call) + L" did not answer within " + Timeout() + L": Kestrow gave up on the session, as a "
                                                                      L"night would",
            L"see what Solid Edge waits for there (a licence, a dialog, a slow disk): " + why +
                L"; if it only takes this long, check again with a longer /timeout");
    }

    // "" for any topic.
    bool ProblemAbout(const std::wstring& topic) const {
        return std::any_of(findings_.begin(), findings_.end(), [&](const Finding& finding) {
            return finding.mark == FindingMark::Problem && (topic.empty() || finding.topic == topic);
        });
    }

    bool AnySessionGivenUp() const {
        for (const std::optional<RuntimeError>* error : {&facts_.start.error, &facts_.second.error, &facts_.sample.error})
            if (*error && (*error)->ServerGivenUp()) return true;
        for (const std::vector<TimedCall>* calls :
             {&facts_.start.calls, &facts_.second.calls, &facts_.sample.calls, &facts_.end.calls})
            if (GivenUpCall(*calls)) return true;
        return facts_.end.givenUp;
    }

    void Sample(bool started) {
        const SampleFacts& sample = facts_.sample;
        if (sample.draft.empty()) {
            Add(FindingMark::Note, L"sample", L"",
                L"no sample draft was given, so opening, updating, storing, saving as other formats and Solid "
                L"Edge's dialogs were not checked: give one, as in Kestrow /check \"D:\\Drawings\\Bracket.dft\"");
            return;
        }
        if (sample.copyFailed) {
            Add(FindingMark::Problem, L"sample", L"",
                L"the sample could not be copied: " + DescribeError(*sample.copyFailed),
                L"see that the draft can be read and that its folder, or the temporary folder, has room");
            return;
        }
        if (!started || (sample.calls.empty() && !sample.error)) {
            Add(FindingMark::Note, L"sample", L"",
                started ? L"the sample was not reached" : L"the sample was not checked: no session was started");
            return;
        }
        if (FoldedPath(FolderOfFile(sample.copy)) == FoldedPath(FolderOfFile(sample.draft)))
            Add(FindingMark::Ok, L"sample", L"",
                L"a copy of " + sample.draft + L" beside it, under a name no night lists, where the links it holds "
                L"by relative path resolve as in a night (the draft itself is never opened or written)");
        else
            Add(FindingMark::Note, L"sample", L"",
                L"a copy of " + sample.draft + L" in a temporary folder, as the draft's own folder cannot be written "
                L"to: links the draft holds by relative path may not resolve there as in a night");
        Calls();
        if (sample.error && !sample.error->ServerGivenUp()) SampleFailed(*sample.error);
        Dialogs(CheckStep::Sample);
        if (sample.memoryBytes && sample.stored)
            Add(FindingMark::Ok, L"memory", MegabytesFigure(*sample.memoryBytes),
                L"committed by Solid Edge's process after the sample");
    }

    // In the order of a draft's steps: open, views, exports, store.
    void Calls() {
        const SampleFacts& sample = facts_.sample;
        // The call the sample failed on is told by its failure.
        const TimedCall* failed = sample.error && !sample.error->ServerGivenUp() ? FailingCall() : nullptr;
        const TimedCall* open = nullptr;
        const TimedCall* store = nullptr;
        double viewsTotal = 0, viewsSlowest = 0;
        int views = 0;
        for (const TimedCall& call : sample.calls) {
            if (!call.answered || &call == failed) continue;
            if (call.step == DraftStep::Open) open = &call;
            if (call.step == DraftStep::Store) store = &call;
            if (call.step != DraftStep::UpdateView) continue;
            ++views;
            viewsTotal += call.seconds;
            viewsSlowest = std::max(viewsSlowest, call.seconds);
        }
        if (open) Add(FindingMark::Ok, L"open", SecondsFigure(open->seconds), L"Solid Edge opened the copy");
        if (views > 0)
            Add(FindingMark::Ok, L"update views", SecondsFigure(viewsTotal),
                std::to_wstring(views) + (views == 1 ? L" view" : L" views") + L" updated, the slowest in " +
                    SecondsFigure(viewsSlowest));
        else if (sample.stored)
            Add(FindingMark::Ok, L"update views", L"", L"the sample has no views");
        if (sample.stored) Exports();
        if (store) Add(FindingMark::Ok, L"store", SecondsFigure(store->seconds), L"stored and closed");
        for (const TimedCall& call : sample.calls)
            if (!call.answered) CallGivenUp(call);
    }

    void CallGivenUp(const TimedCall& call) {
        const CheckedDialog* open = nullptr;
        for (const CheckedDialog& seen : facts_.dialogs)
            if (!seen.pressed && seen.during == CheckStep::Sample) open = &seen;
        std::wstring text = CallName(call) + L" did not answer within " + Timeout();
        if (open) text += L", while Solid Edge's dialog " + Quoted(open->dialog.title) + L" stood open";
        if (open && facts_.end.givenUpOnDialog)
            text = L"Solid Edge's dialog " + Quoted(open->dialog.title) + L" stood open for " + Grace() +
                   L" with no rule to answer it: the check ended there rather than wait out " + Timeout();
        text += facts_.end.givenUpEnded ? L"; Kestrow gave up on it and ended its process"
                                        : L"; Kestrow gave up on it, but could not end its process";
        // A dialog left open is the cause, and its own finding the reason.
        Add(open ? FindingMark::Note : FindingMark::Problem, StepTopic(call), SecondsFigure(call.seconds), text,
            open ? L"" : L"if such a draft only takes this long, check again with a longer /timeout; a night would "
                         L"lose it and start Solid Edge afresh");
    }

    // The call the sample failed on: its last one before a close without storing.
    const TimedCall* FailingCall() const {
        const std::vector<TimedCall>& calls = facts_.sample.calls;
        for (auto call = calls.rbegin(); call != calls.rend(); ++call)
            if (call->step != DraftStep::CloseUnstored && !Housekeeping(*call)) return &*call;
        return nullptr;
    }

    void SampleFailed(const RuntimeError& error) {
        const TimedCall* failed = FailingCall();
        const std::wstring topic = failed ? StepTopic(*failed) : L"sample";
        const std::wstring figure = failed ? SecondsFigure(failed->seconds) : L"";
        if (error.ServerLost()) {
            Add(FindingMark::Problem, topic, figure,
                L"Solid Edge's process ended while it worked on the sample: " + DescribeError(error),
                L"open the draft yourself to see whether Solid Edge fails on it; a night would start Solid Edge "
                L"afresh and go on with the next draft");
            return;
        }
        Add(FindingMark::Problem, topic, figure, L"Solid Edge failed on the sample: " + DescribeError(error),
            L"if the draft itself is at fault (open it yourself to see), check again with another; a night would "
            L"fail each draft like it");
    }

    void Exports() {
        for (const DraftExport& made : facts_.sample.exports) {
            const std::wstring format = ExportFormatName(made.format);
            std::wstring figure;
            for (const TimedCall& call : facts_.sample.calls)
                if (call.step == DraftStep::SaveAs && call.format == format) figure = SecondsFigure(call.seconds);
            if (made.state == DraftExport::State::Exported) {
                Add(FindingMark::Ok, L"save as " + format, figure, L"saved as " + format + L" (the document's SaveAs)");
            } else if (made.state == DraftExport::State::Failed && made.error) {
                Add(FindingMark::Problem, L"save as " + format, figure,
                    L"saving the sample as " + format + L" (the document's SaveAs) failed: " + DescribeError(*made.error),
                    L"a night with /export " + format + L" would store each draft and fail this export: leave " +
                        format + L" out of /export, or see that Solid Edge can save as " + format + L" here");
            }
        }
    }

    void Dialogs(const std::wstring& during) {
        for (size_t i = 0; i < facts_.dialogs.size(); ++i) {
            const CheckedDialog& seen = facts_.dialogs[i];
            if (seen.during != during) continue;
            if (seen.pressed)
                Add(FindingMark::Ok, L"dialog", L"", DialogText(seen), L"", i);
            else if (during == CheckStep::SecondStart)
                Add(FindingMark::Note, L"dialog", L"",
                    DialogText(seen) + L": a night of one session (/sessions 1) starts no second Solid Edge to meet it",
                    L"", i);
            else
                Add(FindingMark::Problem, L"dialog", L"", DialogText(seen),
                    L"a night would wait on it until /timeout, lose the draft and start Solid Edge afresh: answer "
                    L"it with the /answer line below",
                    i);
        }
    }

    void End() {
        const CheckedEnd& end = facts_.end;
        if (end.givenUp) {
            if (end.givenUpEnded)
                Add(FindingMark::Note, L"end", L"", L"Kestrow gave up on the session and ended its process, as a night does");
            else
                Add(FindingMark::Problem, L"end", L"",
                    L"Kestrow gave up on the session but could not end its process: it may still run",
                    L"end Solid Edge in Task Manager");
            return;
        }
        if (!end.quit) return;
        if (const TimedCall* call = GivenUpCall(end.calls)) {
            SessionGivenUp(L"end", *call, L"a night would give up on each session's end the same way",
                           end.givenUpOnDialog);
            if (end.process == ServerProcessEnd::StillRuns)
                Add(FindingMark::Problem, L"end", L"", L"Kestrow could not end Solid Edge's process: it may still run",
                    L"end Solid Edge in Task Manager");
            return;
        }
        const std::wstring figure = SecondsFigure(end.untilGoneSeconds);
        const std::wstring quit = end.quitCall ? L"Solid Edge ended its work (the quit took " +
                                                     SecondsFigure(end.quitCall->seconds) + L")"
                                               : L"Solid Edge was told to end its work";
        switch (end.process) {
            case ServerProcessEnd::ByItself:
                Add(FindingMark::Ok, L"end", figure, quit + L", and its process was gone " + figure + L" after, by itself");
                break;
            case ServerProcessEnd::EndedByKestrow:
                Add(FindingMark::Note, L"end", figure,
                    quit + L", but its process did not end by itself; Kestrow ended it, as a night does");
                break;
            case ServerProcessEnd::StillRuns:
                Add(FindingMark::Problem, L"end", figure,
                    quit + L", but its process did not end, and Kestrow could not end it",
                    L"end it in Task Manager; a night would leave it running");
                break;
            case ServerProcessEnd::NotKnown:
                Add(FindingMark::Note, L"end", figure, quit + L"; its process was not known, so its end could not be seen");
                break;
        }
    }

    const CheckFacts& facts_;
    const CheckRequest& request_;
    std::vector<Finding> findings_;
};

}  // namespace

bool CheckVerdict::NightCanRun() const {
    return std::none_of(findings.begin(), findings.end(),
                        [](const Finding& finding) { return finding.mark == FindingMark::Problem; });
}

CheckVerdict JudgeCheck(const CheckFacts& facts, const CheckRequest& request) {
    std::vector<Finding> findings = Judge(facts, request).Findings();
    if (facts.database)
        for (Finding& finding : DatabaseFindings(*facts.database)) findings.push_back(std::move(finding));
    return CheckVerdict{std::move(findings), SuggestSwitches(facts, request.answers)};
}

}  // namespace kestrow
