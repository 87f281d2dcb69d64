// The check's judgement, natively: the verdict and the switches suggested
// from what was measured, the command line, the names of the timed calls,
// and the page's inline pictures.
#include <gtest/gtest.h>

#include <cwchar>
#include <functional>
#include <tuple>

#include "server/AutomationContract.h"
#include "check/CheckCommand.h"
#include "check/CheckFindings.h"
#include "check/CheckPage.h"
#include "report/Html.h"

namespace kestrow {
namespace {

constexpr std::uint64_t kMB = 1024 * 1024;

TimedCall Timed(DraftStep step, double seconds, std::wstring format = L"") {
    TimedCall call;
    call.step = step;
    call.seconds = seconds;
    call.format = std::move(format);
    return call;
}

TimedCall Pending(DraftStep step, double seconds) {
    TimedCall call = Timed(step, seconds);
    call.answered = false;
    return call;
}

// A check that found nothing wrong: a quoted registration, a start of its
// own in 1.2 s, a second process, a sample of two views stored and saved as
// pdf, 16 MB after it, and a process that ended by itself.
CheckFacts ReadyFacts() {
    CheckFacts facts;
    facts.registration = {L"SolidEdge.Application", L"{C}", L"\"C:\\SE\\Edge.exe\"", L"C:\\SE\\Edge.exe", true,
                          L"219.0.0.104", L"Solid Edge"};
    facts.machine = {L"PC", 8000 * kMB, 2};
    facts.start.tried = true;
    facts.start.seconds = 1.2;
    facts.start.process = 312;
    facts.start.memoryBytes = 12 * kMB;
    facts.second.served = SecondSession::Served::OwnProcess;
    facts.second.seconds = 1.1;
    facts.sample.draft = L"D:\\Drawings\\Bracket.dft";
    facts.sample.copy = L"D:\\Drawings\\Bracket.kestrow-9E3A51C0-12-01DB4C2A9F3E1200-0.dft";
    facts.sample.stored = true;
    facts.sample.calls = {Timed(DraftStep::Open, 0.5), Timed(DraftStep::UpdateView, 0.2),
                          Timed(DraftStep::UpdateView, 0.3), Timed(DraftStep::SaveAs, 0.4, L"pdf"),
                          Timed(DraftStep::Store, 0.1)};
    DraftExport pdf;
    pdf.state = DraftExport::State::Exported;
    facts.sample.exports = {pdf};
    facts.sample.memoryBytes = 16 * kMB;
    facts.end.quit = true;
    facts.end.untilGoneSeconds = 0.3;
    facts.end.process = ServerProcessEnd::ByItself;
    return facts;
}

CheckedDialog MissingReferences(bool pressed) {
    return CheckedDialog{{L"Missing references", L"Some models were not found.", {L"OK", L"Cancel"}, L"", {}},
                         CheckStep::Sample,
                         pressed ? L"pressed OK" : L"left open: no rule answers it",
                         pressed,
                         {}};
}

const RuntimeError kGivenUp(-1, L"Kestrow", L"given up", FailureKind::ServerAbandoned);

struct VerdictCase {
    const char* what;
    std::function<void(CheckFacts&)> change;
    const wchar_t* problem;  // the first problem's topic; null: a night can run
};

TEST(CheckVerdict, ANightCanRunUnlessAFindingIsAProblem) {
    const VerdictCase cases[] = {
        {"nothing wrong", [](CheckFacts&) {}, nullptr},
        {"not registered", [](CheckFacts& f) { f.registration.classId.clear(); }, L"registration"},
        {"program missing", [](CheckFacts& f) { f.registration.programExists = false; }, L"program"},
        {"registered without quotes under spaces",
         [](CheckFacts& f) { f.registration.commandLine = f.registration.program = L"C:\\Program Files\\SE\\Edge.exe"; },
         nullptr},
        {"the user's own session, running or starting",
         [](CheckFacts& f) { f.inTheWay = SessionLetGo::UsersSession; }, L"your Solid Edge"},
        {"a program that cannot be read from the registration",
         [](CheckFacts& f) {
             f.registration.program.clear();
             f.inTheWay = SessionLetGo::ProgramNotKnown;
         },
         L"program"},
        {"a start given up", [](CheckFacts& f) { f.start.error = kGivenUp; }, L"start"},
        {"a start handed to a foreign process",
         [](CheckFacts& f) { f.start.error = RuntimeError(1, L"K", L"x", FailureKind::ForeignServer); }, L"start"},
        {"a start whose settings hang",
         [](CheckFacts& f) {
             f.start.error = kGivenUp;
             f.start.calls = {Timed(DraftStep::Activation, 1), Pending(DraftStep::Settings, 8)};
         },
         L"start"},
        {"a second start given up",
         [](CheckFacts& f) {
             f.second.served = SecondSession::Served::Failed;
             f.second.error = kGivenUp;
             f.second.calls = {Pending(DraftStep::Activation, 8)};
         },
         L"second session"},
        {"one process for every program",
         [](CheckFacts& f) { f.second.served = SecondSession::Served::FirstSessionsProcess; }, nullptr},
        {"no sample", [](CheckFacts& f) { f.sample = SampleFacts{}; }, nullptr},
        {"a copy in a temporary folder", [](CheckFacts& f) { f.sample.copy = L"C:\\Temp\\K\\Bracket.dft"; }, nullptr},
        {"a dialog answered", [](CheckFacts& f) { f.dialogs = {MissingReferences(true)}; }, nullptr},
        {"a dialog left open at the second start only",
         [](CheckFacts& f) {
             f.dialogs = {MissingReferences(false)};
             f.dialogs[0].during = CheckStep::SecondStart;
         },
         nullptr},
        {"a dialog left open, its call given up",
         [](CheckFacts& f) {
             f.dialogs = {MissingReferences(false)};
             f.sample.stored = false;
             f.sample.error = kGivenUp;
             f.sample.calls = {Timed(DraftStep::Open, 5)};
             f.sample.calls[0].answered = false;
             f.end = CheckedEnd{};
             f.end.givenUp = f.end.givenUpEnded = true;
         },
         L"dialog"},
        {"the document collection hangs before the open",
         [](CheckFacts& f) {
             f.sample.stored = false;
             f.sample.error = kGivenUp;
             f.sample.calls = {Pending(DraftStep::Documents, 8)};
             f.end = CheckedEnd{};
             f.end.givenUp = f.end.givenUpEnded = true;
         },
         L"open"},
        {"the views hang after the open",
         [](CheckFacts& f) {
             f.sample.stored = false;
             f.sample.error = kGivenUp;
             f.sample.calls = {Timed(DraftStep::Documents, 0), Timed(DraftStep::Open, 0.5), Timed(DraftStep::Cast, 0),
                               Pending(DraftStep::Views, 8)};
             f.end = CheckedEnd{};
             f.end.givenUp = f.end.givenUpEnded = true;
         },
         L"update views"},
        {"the quit given up",
         [](CheckFacts& f) {
             f.end.calls = {Pending(DraftStep::Quit, 8)};
             f.end.quitCall = f.end.calls[0];
             f.end.process = ServerProcessEnd::EndedByKestrow;
         },
         L"end"},
        {"an export failed",
         [](CheckFacts& f) {
             f.sample.exports[0].Fail(RuntimeError(438, L"Kestrow", L"no SaveAs"));
         },
         L"save as pdf"},
        {"a process Kestrow had to end", [](CheckFacts& f) { f.end.process = ServerProcessEnd::EndedByKestrow; }, nullptr},
        {"a process that would not end", [](CheckFacts& f) { f.end.process = ServerProcessEnd::StillRuns; }, L"end"},
        {"stopped", [](CheckFacts& f) { f.stopped = true; }, L"check"},
    };
    for (const VerdictCase& c : cases) {
        CheckFacts facts = ReadyFacts();
        c.change(facts);
        const CheckVerdict verdict = JudgeCheck(facts, CheckRequest{});
        EXPECT_EQ(verdict.NightCanRun(), c.problem == nullptr) << c.what;
        const auto problem = std::find_if(verdict.findings.begin(), verdict.findings.end(),
                                          [](const Finding& f) { return f.mark == FindingMark::Problem; });
        if (c.problem && problem != verdict.findings.end()) EXPECT_EQ(problem->topic, c.problem) << c.what;
    }
}

// A second session or a quit given up at a dialog no rule answers blames
// the dialog, not the call limit.
TEST(CheckVerdict, ASessionGivenUpAtADialogBlamesTheDialog) {
    for (const bool second : {true, false}) {
        CheckFacts facts = ReadyFacts();
        if (second) {
            facts.second.served = SecondSession::Served::Failed;
            facts.second.error = kGivenUp;
            facts.second.calls = {Pending(DraftStep::Activation, 10.2)};
            facts.second.givenUpOnDialog = true;
        } else {
            facts.end.calls = {Pending(DraftStep::Quit, 10.2)};
            facts.end.quitCall = facts.end.calls[0];
            facts.end.givenUpOnDialog = true;
        }
        const CheckVerdict verdict = JudgeCheck(facts, CheckRequest{});
        const auto problem = std::find_if(verdict.findings.begin(), verdict.findings.end(),
                                          [](const Finding& f) { return f.mark == FindingMark::Problem; });
        ASSERT_NE(problem, verdict.findings.end()) << second;
        EXPECT_EQ(problem->topic, second ? L"second session" : L"end");
        EXPECT_NE(problem->text.find(L"stood at a dialog no rule answers (below) for 10 s"), std::wstring::npos);
        EXPECT_EQ(problem->text.find(L"did not answer within"), std::wstring::npos);
    }
}

// A session whose process could not be held says why, as a note.
TEST(CheckVerdict, AProcessThatCouldNotBeHeldSaysWhy) {
    CheckFacts facts = ReadyFacts();
    facts.start.process.reset();
    facts.start.processNotHeld = L"process 7: it had ended already";
    const CheckVerdict verdict = JudgeCheck(facts, CheckRequest{});
    EXPECT_TRUE(std::any_of(verdict.findings.begin(), verdict.findings.end(), [](const Finding& f) {
        return f.mark == FindingMark::Note && f.topic == std::wstring(L"start") &&
               f.text.find(L"could not be found (process 7: it had ended already)") != std::wstring::npos;
    }));
}

// A session given up is named by its call, whichever call it was.
TEST(CheckVerdict, ACallGivenUpIsNamed) {
    const std::pair<TimedCall, const wchar_t*> cases[] = {
        {Pending(DraftStep::Documents, 8.01), L"the document collection did not answer within 8 s (/timeout)"},
        {Pending(DraftStep::Views, 8.01), L"the view collection did not answer within 8 s (/timeout)"},
        {Pending(DraftStep::ViewCount, 8.01), L"the number of views did not answer within 8 s (/timeout)"},
    };
    CheckRequest request;
    request.timeout = std::chrono::seconds(8);
    for (const auto& [call, text] : cases) {
        CheckFacts facts = ReadyFacts();
        facts.sample.stored = false;
        facts.sample.error = kGivenUp;
        facts.sample.calls = {call};
        facts.end = CheckedEnd{};
        facts.end.givenUp = facts.end.givenUpEnded = true;
        const CheckVerdict verdict = JudgeCheck(facts, request);
        EXPECT_TRUE(std::any_of(verdict.findings.begin(), verdict.findings.end(), [&](const Finding& f) {
            return f.mark == FindingMark::Problem && f.text.find(text) == 0;
        })) << std::string(text, text + std::wcslen(text));
    }
    CheckFacts quit = ReadyFacts();
    quit.end.calls = {Pending(DraftStep::Quit, 8.01)};
    quit.end.quitCall = quit.end.calls[0];
    quit.end.process = ServerProcessEnd::EndedByKestrow;
    for (const Finding& f : JudgeCheck(quit, request).findings)
        EXPECT_EQ(f.text.find(L"the quit took"), std::wstring::npos) << std::string(f.text.begin(), f.text.end());
}

struct SwitchCase {
    const char* what;
    std::function<void(CheckFacts&)> change;
    std::vector<std::wstring> words;
};

TEST(SuggestedSwitches, ComeFromTheFiguresMeasured) {
    const SwitchCase cases[] = {
        {"a fast check on two cores", [](CheckFacts&) {}, {L"/timeout 60", L"/sessions 1", L"/restart-memory 40"}},
        {"a slow view; memory leaves room for two of four cores' three",
         [](CheckFacts& f) {
             f.sample.calls[2].seconds = 8.46;
             f.machine.cores = 4;
             f.sample.memoryBytes = 1500 * kMB;
         },
         {L"/timeout 85", L"/sessions 2", L"/restart-memory 3000"}},
        {"many cores and much memory: at most eight",
         [](CheckFacts& f) {
             f.machine = {L"PC", 64000 * kMB, 16};
             f.sample.memoryBytes = 1234 * kMB;
         },
         {L"/timeout 60", L"/sessions 8", L"/restart-memory 2500"}},
        {"less memory free than one session may take",
         [](CheckFacts& f) {
             f.machine.cores = 8;
             f.machine.freeMemoryBytes = 20 * kMB;
         },
         {L"/timeout 60", L"/sessions 1", L"/restart-memory 40"}},
        {"one process for every program",
         [](CheckFacts& f) {
             f.machine.cores = 8;
             f.second.served = SecondSession::Served::FirstSessionsProcess;
         },
         {L"/timeout 60", L"/sessions 1", L"/restart-memory 40"}},
        {"a call given up has no time to multiply, and no sample no memory to double",
         [](CheckFacts& f) {
             f.sample.calls[0].answered = false;
             f.sample.stored = false;
         },
         {L"/sessions 1"}},
        {"a dialog left open, one answered by a rule with wildcards",
         [](CheckFacts& f) {
             f.dialogs = {MissingReferences(false), MissingReferences(false)};
             f.dialogs.push_back(CheckedDialog{{L"Newer \"version\"", L"", {L"No", L"Yes"}, L"", {0}}, CheckStep::Sample,
                                               L"left open", false, {}});
             f.dialogs.push_back(CheckedDialog{{L"Licence", L"", {L"OK"}, L"", {}}, CheckStep::Start, L"pressed OK",
                                               true, {}});
             // Its '&' doubled, the rule reads back as this button.
             f.dialogs.push_back(CheckedDialog{{L"Save?", L"", {L"Save & Close"}, L"", {}}, CheckStep::Sample,
                                               L"left open", false, {}});
             // A night of one session never meets it.
             f.dialogs.push_back(CheckedDialog{{L"No licence left", L"", {L"OK"}, L"", {}}, CheckStep::SecondStart,
                                               L"left open", false, {}});
         },
         {L"/timeout 60", L"/sessions 1", L"/restart-memory 40", L"/answer \"Missing references=OK\"",
          L"/answer \"Newer \\\"version\\\"=Yes\"", L"/answer \"Lic*=OK\"", L"/answer \"Save?=Save && Close\""}},
    };
    for (const SwitchCase& c : cases) {
        CheckFacts facts = ReadyFacts();
        c.change(facts);
        std::vector<std::wstring> words;
        for (const SuggestedSwitch& suggested : SuggestSwitches(facts, {{L"Lic*", L"OK"}})) words.push_back(suggested.words);
        EXPECT_EQ(words, c.words) << c.what;
    }
}

// "Use these settings": what the check suggests becomes the window's
// settings, a rule for the same title giving way and a format that failed
// left out; the rest stays as it was.
TEST(SuggestedSwitches, AreTakenIntoTheWindowsSettings) {
    CheckFacts facts = ReadyFacts();
    facts.sample.calls[2].seconds = 8.46;
    facts.dialogs = {MissingReferences(false)};
    DraftExport dxf;
    dxf.format = ExportFormat::Dxf;
    dxf.state = DraftExport::State::Failed;
    facts.sample.exports.push_back(dxf);
    StoredSettings stored;
    stored.sessions = 3;
    stored.restartEvery = 200;
    stored.answers = {L"missing REFERENCES=Cancel", L"Other=Yes"};
    stored.exports = L"pdf,dxf";
    const StoredSettings taken = SettingsWithSuggestions(stored, SuggestSwitches(facts, {}),
                                                         {ExportFormat::Pdf, ExportFormat::Dxf}, facts.sample.exports);
    EXPECT_EQ(taken.callSeconds, 85u);
    EXPECT_EQ(taken.sessions, 1u);
    EXPECT_EQ(taken.restartMemoryMB, 40u);
    EXPECT_EQ(taken.restartEvery, 200u);
    EXPECT_EQ(taken.answers, (std::vector<std::wstring>{L"Other=Yes", L"Missing references=OK"}));
    EXPECT_EQ(taken.exports, L"pdf");
}

TEST(CheckCommand, TakesASampleAndTheSwitchesItSharesWithANight) {
    const CheckCommand full = ParseCheckCommand({L"/check", L"D:\\a.dft", L"-EXPORT", L"pdf,dxf", L"/answer", L"T*=OK",
                                                 L"/timeout", L"30", L"/html", L"p.html"});
    ASSERT_EQ(full.kind, CheckCommand::Kind::Check) << full.error;
    EXPECT_EQ(full.sample, L"D:\\a.dft");
    EXPECT_EQ(full.exports, (std::vector<ExportFormat>{ExportFormat::Pdf, ExportFormat::Dxf}));
    ASSERT_EQ(full.answers.size(), 1u);
    EXPECT_EQ(full.answers[0].title, L"T*");
    EXPECT_EQ(full.timeoutSeconds, 30);
    EXPECT_EQ(full.page, L"p.html");
    const CheckCommand bare = ParseCheckCommand({L"/check"});
    EXPECT_EQ(bare.kind, CheckCommand::Kind::Check);
    EXPECT_EQ(bare.timeoutSeconds, CheckCommand::kDefaultTimeoutSeconds);
    EXPECT_TRUE(AsksForCheck({L"a.dft", L"-Check"}));
    const std::vector<std::vector<std::wstring>> refused = {
        {L"/check", L"a.dft", L"b.dft"}, {L"/check", L"/update", L"D:\\"}, {L"/check", L"/timeout", L"0"},
        {L"/check", L"/html"},           {L"/check", L"/export", L"png"},  {L"/check", L"/timeout", L"5", L"/timeout", L"6"},
        {L"/check", L"/answer", L"no rule"}};
    for (const auto& arguments : refused)
        EXPECT_EQ(ParseCheckCommand(arguments).kind, CheckCommand::Kind::Invalid) << arguments.back().size();
}

TEST(CallTimes, NameEveryCallOfTheContractAndTimeThem) {
    std::wstring path = L"C:\\a.dft";
    using Arg = AutomationArg;
    const std::vector<std::tuple<std::int32_t, InvokeKind, std::vector<AutomationArg>, DraftStep>> calls = {
        {contract::kAppPut59, InvokeKind::Put, {Arg::Boolean(false)}, DraftStep::Settings},
        {contract::kAppPut18, InvokeKind::Put, {Arg::Boolean(false)}, DraftStep::Settings},
        {contract::kAppDocuments, InvokeKind::Get, {}, DraftStep::Documents},
        {contract::kDocumentsOpen, InvokeKind::Get, {Arg::StringByRef(path)}, DraftStep::Open},
        {contract::kDocumentViews, InvokeKind::Get, {}, DraftStep::Views},
        {contract::kViewsCount, InvokeKind::Get, {}, DraftStep::ViewCount},
        {contract::kViewsItem, InvokeKind::Get, {Arg::Int16(1)}, DraftStep::View},
        {contract::kViewUpdate, InvokeKind::Call, {}, DraftStep::UpdateView},
        {contract::kDocumentClose, InvokeKind::Call, {Arg::Boolean(true)}, DraftStep::Store},
        {contract::kDocumentClose, InvokeKind::Call, {Arg::Boolean(false)}, DraftStep::CloseUnstored},
        {contract::kAppQuit, InvokeKind::Call, {}, DraftStep::Quit},
        {1001, InvokeKind::Get, {}, DraftStep::OtherInvocation},
    };
    for (const auto& [id, kind, args, step] : calls) EXPECT_EQ(NameOfCall(id, kind, args).step, step) << id;
    // SaveAs has whatever identifier the server gave it: known by its argument.
    const TimedCall saveAs = NameOfCall(contract::kViewUpdate, InvokeKind::Call, {Arg::String(L"C:\\T\\a.k-1.PDF")});
    EXPECT_EQ(saveAs.step, DraftStep::SaveAs);
    EXPECT_EQ(saveAs.format, L"pdf");
    EXPECT_EQ(CallName(NameOfCall(contract::kAppDocuments, InvokeKind::Get, {})), L"the document collection");

    CallTimes times;
    times.Invoking(contract::kAppQuit, InvokeKind::Call, {});
    times.CallStarted();
    times.CallStarted();  // a call never told of is passed over
    const std::vector<TimedCall> pending = times.Take();
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_FALSE(pending[0].answered);
    times.CallEnded();  // a call given up that returns late belongs to nobody
    EXPECT_TRUE(times.Take().empty());
}

TEST(CheckPage, ShowsTheDialogsPicturesInlineAndEscapesTheirText) {
    EXPECT_EQ(DataUri(L"image/png", ""), L"data:image/png;base64,");
    EXPECT_EQ(DataUri(L"image/png", "f"), L"data:image/png;base64,Zg==");
    EXPECT_EQ(DataUri(L"image/png", "fo"), L"data:image/png;base64,Zm8=");
    EXPECT_EQ(DataUri(L"image/png", "foob\xff"), L"data:image/png;base64,Zm9vYv8=");
    CheckFacts facts = ReadyFacts();
    facts.dialogs = {MissingReferences(true)};
    facts.dialogs[0].dialog.title = L"<Missing & refs>";
    facts.dialogs[0].picturePng = "foo";
    const std::wstring page = CheckPage(facts, JudgeCheck(facts, CheckRequest{}), L"2026-12-09T10:00:00+01:00");
    EXPECT_NE(page.find(L"src=\"data:image/png;base64,Zm9v\""), std::wstring::npos);
    EXPECT_NE(page.find(L"&lt;Missing &amp; refs&gt;"), std::wstring::npos);
    EXPECT_EQ(page.find(L"<Missing"), std::wstring::npos);
    EXPECT_NE(page.find(L"A night can run."), std::wstring::npos);
}

}  // namespace
}  // namespace kestrow
