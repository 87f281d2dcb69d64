// The batch's parts that the window tests do not reach: the watch over a
// hung call, the command line, the unattended run's log and exit codes.
#include <gtest/gtest.h>

#include <thread>

#include "batch/CallGate.h"
#include "batch/CallWatch.h"
#include "batch/PendingCall.h"
#include "common/LongPath.h"
#include "common/RuntimeError.h"
#include "form/BatchMessages.h"
#include "unattended/CommandLine.h"
#include "Fakes.h"
#include "unattended/UnattendedRun.h"

using namespace kestrow;
using kestrow::testing::RecordingOutput;
using namespace std::chrono_literals;

TEST(CallWatch, AsksAfterTheBoundAndAgainOneBoundAfterEachYes) {
    CallWatch::Clock::time_point now{};
    std::vector<std::int64_t> asked;
    bool answer = true;
    CallWatch watch({60s, 0s}, [&](std::int64_t seconds, const std::wstring& task) {
        EXPECT_EQ(task, L"C:\\D\\a.dft");
        asked.push_back(seconds);
        now += 30s;  // the user takes half a minute to answer
        return answer;
    }, [&] { return now; });
    watch.SetTask(L"C:\\D\\a.dft");
    const CallWatch::Clock::time_point call{};
    for (now = call; now < call + 200s; now += 1s) ASSERT_TRUE(watch.KeepWaiting(call));
    // Asked at 60 s, answered at 90; asked at 150, answered at 180.
    EXPECT_EQ(asked, (std::vector<std::int64_t>{60, 150}));

    // A new call starts the count again; No gives the server up.
    answer = false;
    const CallWatch::Clock::time_point next = now;
    now = next + 59s;
    EXPECT_TRUE(watch.KeepWaiting(next));
    now = next + 60s;
    EXPECT_FALSE(watch.KeepWaiting(next));
}

TEST(CallWatch, AnUnattendedWatchGivesUpAtItsDeadlineWithoutAsking) {
    CallWatch::Clock::time_point now{};
    CallWatch watch({0s, 600s}, nullptr, [&] { return now; });
    now += 599s;
    EXPECT_TRUE(watch.KeepWaiting({}));
    now += 1s;
    EXPECT_FALSE(watch.KeepWaiting({}));
}

// With a grace for them (the check's), a dialog no rule answers ends the
// call once it has stood that long, unless it went by itself meanwhile; a
// dialog whose rule's button is only greyed out for now is waited for.
TEST(CallWatch, ADialogNoRuleAnswersEndsTheCallAfterItsGrace) {
    CallWatch::Clock::time_point now{};
    CallWatch::Policy policy{0s, 120s, {{L"Licence", L"OK"}}};
    policy.unansweredGrace = 10s;
    CallWatch watch(policy, nullptr, [&] { return now; });
    const CadDialog missing{L"Missing references", L"", {L"OK"}, L"", {}};
    const CadDialog licence{L"Licence", L"", {L"OK"}, L"", {0}};
    const auto waitedUntil = [&](CallWatch::Clock::time_point call) {
        for (now = call; now < call + 200s; now += 1s)
            if (!watch.KeepWaiting(call)) break;
        return now - call;
    };
    const CallWatch::Clock::time_point first{};
    now = first + 1s;
    EXPECT_FALSE(watch.AnswerDialog(licence, first).button);
    EXPECT_EQ(waitedUntil(first), 120s);  // greyed out for now: the deadline holds
    EXPECT_FALSE(watch.GaveUpOnDialog());

    const CallWatch::Clock::time_point second = first + 1000s;
    now = second + 1s;
    EXPECT_FALSE(watch.AnswerDialog(missing, second).button);
    now = second;
    while (watch.KeepWaiting(second)) now += 1s;
    EXPECT_EQ(now - second, 11s);
    EXPECT_TRUE(watch.GaveUpOnDialog());

    const CallWatch::Clock::time_point third = first + 2000s;
    now = third + 1s;
    watch.AnswerDialog(missing, third);
    now = third + 5s;
    watch.LeftDialogsClosed();  // it closed by itself
    EXPECT_EQ(waitedUntil(third), 120s);
    EXPECT_FALSE(watch.GaveUpOnDialog());
}

TEST(CommandLine, TheHintNamesTheProgramAsTyped) {
    EXPECT_EQ(HelpHintText(L"Kestrow"), L"Kestrow /? shows how to use the command line.");
    EXPECT_EQ(HelpHintText(L"C:\\My Tools\\Kestrow.exe"), L"\"C:\\My Tools\\Kestrow.exe\" /? shows how to use the command line.");
    EXPECT_EQ(HelpHintText(L""), L"Kestrow /? shows how to use the command line.");
}

TEST(CommandLine, UpdateWithEverySwitchInAnyCase) {
    const auto line = ParseCommandLine({L"-UPDATE", L"C:\\My drafts\\\u03a3", L"/SubFolders", L"/log", L"run log.csv",
                                        L"-timeout", L"90"});
    ASSERT_EQ(line.action, CommandLine::Action::Update) << std::string(line.error.begin(), line.error.end());
    EXPECT_EQ(line.folder, L"C:\\My drafts\\\u03a3");
    EXPECT_TRUE(line.subfolders);
    EXPECT_EQ(line.log, L"run log.csv");
    EXPECT_EQ(line.timeoutSeconds, 90);
    EXPECT_EQ(ParseCommandLine({L"/update", L"D"}).timeoutSeconds, 600);
    EXPECT_EQ(ParseCommandLine({}).action, CommandLine::Action::Window);
    EXPECT_EQ(ParseCommandLine({L"/?"}).action, CommandLine::Action::Usage);
    EXPECT_EQ(ParseCommandLine({L"/update", L"D", L"-?"}).action, CommandLine::Action::Usage);

    const auto night = ParseCommandLine({L"/update", L"D", L"/log", L"n.csv", L"/Resume", L"/restart-every", L"25",
                                         L"/RESTART-MEMORY", L"1500", L"/sessions", L"8", L"/shard", L"3/1000",
                                         L"/answer", L"Missing *=OK", L"-ANSWER", L"*=&No", L"/EXPORT", L"dxf, PDF",
                                         L"-ExportTo", L"E:\\Out"});
    ASSERT_EQ(night.action, CommandLine::Action::Update) << std::string(night.error.begin(), night.error.end());
    EXPECT_TRUE(night.resume);
    EXPECT_EQ(night.restartEvery, 25);
    EXPECT_EQ(night.restartMemoryMB, 1500);
    EXPECT_EQ(night.sessions, 8);
    EXPECT_EQ(night.shardIndex, 3);
    EXPECT_EQ(night.shardCount, 1000);
    ASSERT_EQ(night.answers.size(), 2u);
    EXPECT_EQ(night.answers[0].title, L"Missing *");
    EXPECT_EQ(night.answers[1].title, L"*");
    EXPECT_EQ(night.answers[1].button, L"No");
    EXPECT_EQ(night.exports.formats, (std::vector<ExportFormat>{ExportFormat::Pdf, ExportFormat::Dxf}));
    EXPECT_EQ(night.exports.folder, L"E:\\Out");
    const auto plain = ParseCommandLine({L"/update", L"D"});
    EXPECT_EQ(plain.restartEvery, 0);
    EXPECT_EQ(plain.restartMemoryMB, 0);
    EXPECT_EQ(plain.sessions, 1);
    EXPECT_EQ(plain.shardIndex, 1);
    EXPECT_EQ(plain.shardCount, 1);
    EXPECT_FALSE(plain.exports.Any());
    EXPECT_EQ(plain.queue, L"");

    const auto shared = ParseCommandLine({L"/update", L"D", L"/QUEUE", L"DSN=night;UID=k", L"/lease", L"30", L"/resume"});
    ASSERT_EQ(shared.action, CommandLine::Action::Update) << std::string(shared.error.begin(), shared.error.end());
    EXPECT_EQ(shared.queue, L"DSN=night;UID=k");
    EXPECT_EQ(shared.leaseSeconds, 30);
    EXPECT_EQ(ParseCommandLine({L"/update", L"D", L"/queue", L"DSN=n"}).leaseSeconds, 300);
}

TEST(CommandLine, BadLinesSayWhatIsWrong) {
    const std::vector<std::pair<std::vector<std::wstring>, std::wstring>> cases = {
        {{L"/update"}, L"/update needs a value."},
        {{L"/update", L"D", L"/log"}, L"/log needs a value."},
        {{L"/update", L"D", L"/frobnicate"}, L"Unknown switch: /frobnicate"},
        {{L"/update", L"D", L"/timeout", L"0"}, L"/timeout needs a whole number"},
        {{L"/update", L"D", L"/timeout", L"ten"}, L"/timeout needs a whole number"},
        {{L"/update", L"D", L"E"}, L"Unexpected argument: \"E\""},
        {{L"/update", L"D", L"/update", L"E"}, L"/update is given twice."},
        {{L"/subfolders"}, L"Nothing to do"},
        {{L"/update", L"D", L"/resume"}, L"/resume needs /log"},
        {{L"/update", L"D", L"/restart-every", L"0"}, L"/restart-every needs a whole number"},
        {{L"/update", L"D", L"/restart-memory", L"-5"}, L"/restart-memory needs a whole number"},
        {{L"/update", L"D", L"/sessions", L"0"}, L"/sessions needs a whole number from 1 to 8"},
        {{L"/update", L"D", L"/sessions", L"9"}, L"/sessions needs a whole number from 1 to 8"},
        {{L"/update", L"D", L"/shard", L"0/3"}, L"/shard needs <i>/<n>"},
        {{L"/update", L"D", L"/shard", L"4/3"}, L"/shard needs <i>/<n>"},
        {{L"/update", L"D", L"/shard", L"1/1001"}, L"/shard needs <i>/<n>"},
        {{L"/update", L"D", L"/shard", L"2"}, L"/shard needs <i>/<n>"},
        {{L"/update", L"D", L"/shard", L"1/2/3"}, L"/shard needs <i>/<n>"},
        {{L"/update", L"D", L"/sessions", L"2", L"/sessions", L"3"}, L"/sessions is given twice."},
        {{L"/update", L"D", L"/answer"}, L"/answer needs \"<title>=<button>\", such as \"Missing references=OK\"."},
        {{L"/update", L"D", L"/answer", L"Missing references"}, L"/answer needs"},
        {{L"/update", L"D", L"/answer", L"=OK"}, L"/answer needs"},
        {{L"/update", L"D", L"/export"}, L"/export needs a value."},
        {{L"/update", L"D", L"/export", L"pdf,tiff"}, L"/export needs a comma list of pdf, dwg and dxf"},
        {{L"/update", L"D", L"/export", L"pdf,,dxf"}, L"/export needs a comma list"},
        {{L"/update", L"D", L"/export", L" "}, L"/export needs a comma list"},
        {{L"/update", L"D", L"/export", L"pdf", L"/export", L"dxf"}, L"/export is given twice."},
        {{L"/update", L"D", L"/exportto", L"E:\\Out"}, L"/exportto needs /export"},
        {{L"/update", L"D", L"/export", L"pdf", L"/exportto", L""}, L"/exportto needs a folder."},
        {{L"/update", L"D", L"/queue", L""}, L"/queue: the connection is empty."},
        {{L"/update", L"D", L"/queue", L"night"}, L"/queue: it is no ODBC connection string"},
        {{L"/update", L"D", L"/queue", L"DSN=n", L"/shard", L"1/2"}, L"/shard and /queue do not go together"},
        {{L"/update", L"D", L"/lease", L"60"}, L"/lease needs /queue"},
        {{L"/update", L"D", L"/queue", L"DSN=n", L"/lease", L"2"}, L"/lease needs a whole number of seconds from 3"},
    };
    for (const auto& [arguments, why] : cases) {
        const auto line = ParseCommandLine(arguments);
        EXPECT_EQ(line.action, CommandLine::Action::Invalid) << std::string(why.begin(), why.end());
        EXPECT_EQ(line.error.find(why), 0u) << std::string(line.error.begin(), line.error.end());
    }
}

namespace {

DraftRecord Record(const wchar_t* name, DraftState state, std::optional<RuntimeError> error = std::nullopt) {
    return DraftRecord{name, std::wstring(L"C:\\D\\") + name, state, std::move(error)};
}

}  // namespace

TEST(UnattendedRun, OneRowPerListedDraftAndTheExitCode) {
    RecordingOutput output;
    UnattendedUser user(output);
    BatchResult result;
    result.drafts = {Record(L"a.dft", DraftState::Stored),
                     Record(L"b, \"x\".dft", DraftState::Failed,
                            RuntimeError(-2147467259, L"Stand-in", L"Simulated failure, twice\r\nsee \"log\"")),
                     Record(L"c.dft", DraftState::NotReached)};
    result.end = BatchEnd::Cancelled;
    for (std::int32_t i = 0; i < 3; ++i) user.DraftStarting(i, 3, result.drafts[static_cast<size_t>(i)]);
    user.DraftEnded(0, 3, result.drafts[0]);
    user.DraftEnded(1, 3, result.drafts[1]);
    EXPECT_EQ(user.Finish(result, L"C:\\D\\"), ExitCode::SomeNotStored);
    EXPECT_EQ(output.rows, (std::vector<std::wstring>{
                               L"T,stored,C:\\D\\a.dft,,,",
                               L"T,failed,\"C:\\D\\b, \"\"x\"\".dft\",-2147467259,Stand-in,"
                               L"\"Simulated failure, twice\r\nsee \"\"log\"\"\"",
                               L"T,not-reached,C:\\D\\c.dft,,,"}));
    EXPECT_EQ(output.lines.back(), L"Updated 1 of 3 files in C:\\D\\ (1 failed, 1 not reached).");

    result.drafts = {Record(L"a.dft", DraftState::Stored)};
    result.end = BatchEnd::Completed;
    EXPECT_EQ(ExitCodeFor(result), ExitCode::AllStored);
    result.drafts.clear();
    EXPECT_EQ(ExitCodeFor(result), ExitCode::AllStored);
    result.end = BatchEnd::ServerKeptFailing;
    EXPECT_EQ(ExitCodeFor(result), ExitCode::ServerFailed);
    result.end = BatchEnd::CadAlreadyRunning;
    EXPECT_EQ(ExitCodeFor(result), ExitCode::ServerFailed);
}

// Folders of the tree that could not be read: a line and a row each, and
// exit code 1 unless something worse happened.
TEST(UnattendedRun, UnreadableFoldersAreLoggedAndMakeTheExitCodeOne) {
    const std::vector<UnreadableFolder> folders = {
        {L"C:\\D\\Locked, 2\\", RuntimeError(-2147024891, L"Kestrow", L"Access is denied.")}};
    RecordingOutput output;
    UnattendedUser user(output);
    user.FoldersUnreadable(folders);
    EXPECT_EQ(output.rows, std::vector<std::wstring>{L"T,unreadable,\"C:\\D\\Locked, 2\\\",-2147024891,Kestrow,Access is denied."});
    EXPECT_NE(output.lines.at(0).find(L"C:\\D\\Locked, 2\\"), std::wstring::npos);
    BatchResult result;
    result.drafts = {Record(L"a.dft", DraftState::Stored)};
    EXPECT_EQ(user.Finish(result, L"C:\\D\\"), ExitCode::SomeNotStored);
    EXPECT_EQ(output.lines.back(), L"Updated 1 of 1 files in C:\\D\\. 1 folder could not be read.");
    result.end = BatchEnd::ServerCouldNotStart;
    result.serverError = RuntimeError(-2147221005, L"Kestrow", L"Invalid class string");
    EXPECT_EQ(user.Finish(result, L"C:\\D\\"), ExitCode::ServerFailed);
    EXPECT_EQ(user.FinishWithoutDrafts(L"C:\\D\\"), ExitCode::SomeNotStored);

    RecordingOutput clean;
    UnattendedUser nothingLeftOut(clean);
    nothingLeftOut.FoldersUnreadable({});
    EXPECT_EQ(nothingLeftOut.FinishWithoutDrafts(L"C:\\D\\"), ExitCode::AllStored);
    EXPECT_TRUE(clean.rows.empty());
}

TEST(UnattendedRun, LocalTimesCarryTheirOffset) {
    EXPECT_EQ(Iso8601(2026, 12, 7, 4, 5, 6, 60), L"2026-12-07T04:05:06+01:00");
    EXPECT_EQ(Iso8601(2026, 1, 31, 23, 59, 0, -330), L"2026-01-31T23:59:00-05:30");
}

TEST(BatchMessages, TheSummaryNamesThirtyDraftsThenCountsTheRest) {
    BatchResult result;
    for (int i = 0; i < 33; ++i)
        result.drafts.push_back(Record((L"d" + std::to_wstring(i) + L".dft").c_str(), DraftState::Failed,
                                       RuntimeError(-2147467259, L"S", L"Bad\nsecond line")));
    result.drafts.push_back(Record(L"ok.dft", DraftState::Stored));
    result.drafts.push_back(Record(L"later.dft", DraftState::NotReached));
    const std::wstring text = BatchSummaryText(result);
    EXPECT_EQ(text.find(L"1 of 35 drawings were updated and stored. These 33 were not:\n"), 0u);
    EXPECT_NE(text.find(L"\nd29.dft - Error -2147467259 (0x80004005): Bad\n... and 3 more"), std::wstring::npos);
    EXPECT_EQ(text.find(L"d30.dft"), std::wstring::npos);
    EXPECT_NE(text.find(L"1 drawing was not reached."), std::wstring::npos);
}

TEST(LongPath, OnlyPathsPastTheClassicLimitGetThePrefix) {
    const std::wstring folder = L"C:\\" + std::wstring(250, L'f') + L"\\";
    EXPECT_EQ(ExtendedLengthPath(L"C:\\D\\a.dft"), L"C:\\D\\a.dft");
    EXPECT_EQ(ExtendedLengthPath(folder + L"a.dft"), folder + L"a.dft");  // 259 characters
    EXPECT_EQ(ExtendedLengthPath(folder + L"ab.dft"), L"\\\\?\\" + folder + L"ab.dft");
    EXPECT_EQ(ExtendedLengthPath(L"\\\\server\\share\\" + std::wstring(250, L's')),
              L"\\\\?\\UNC\\server\\share\\" + std::wstring(250, L's'));
}

// The watcher must never see a call pending without its own start: the
// clock is read while the call does not count as pending yet.
TEST(PendingCall, AWatcherNeverSeesACallWithoutItsStart) {
    using Clock = PendingCall::Clock;
    const Clock::time_point first = Clock::time_point(100s), second = Clock::time_point(500s);
    Clock::time_point next = first;
    PendingCall* watched = nullptr;
    std::vector<std::optional<Clock::time_point>> seenWhileReadingClock;
    PendingCall call([&] {
        seenWhileReadingClock.push_back(watched->Since());
        return next;
    });
    watched = &call;
    EXPECT_FALSE(call.Since());
    call.Started();
    call.Started();  // a release within the call: the outer start counts
    EXPECT_EQ(call.Since(), first);
    call.Ended();
    call.Ended();
    EXPECT_FALSE(call.Since());
    next = second;
    call.Started();
    EXPECT_EQ(call.Since(), second);
    // Neither the first call (nothing pending, start unset) nor the second
    // (the first call's start) was visible as pending while its start was read.
    EXPECT_EQ(seenWhileReadingClock, (std::vector<std::optional<Clock::time_point>>{std::nullopt, std::nullopt}));
}

TEST(CallGate, HoldsCallsWhileClosedAndRefusesThemOnceShut) {
    CallGate gate;
    gate.Pass();  // open from the start
    gate.Close();
    std::atomic<bool> passed{false};
    std::thread caller([&] {
        gate.Pass();
        passed = true;
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(passed.load());
    gate.Open();
    caller.join();
    EXPECT_TRUE(passed.load());

    gate.Close();
    std::atomic<int> kind{-1};
    std::thread refused([&] {
        try {
            gate.Pass();
        } catch (const RuntimeError& error) {
            kind = static_cast<int>(error.Kind());
        }
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(kind.load(), -1);
    gate.ShutForGood();
    refused.join();
    EXPECT_EQ(kind.load(), static_cast<int>(FailureKind::ServerAbandoned));
    gate.Open();  // shut stays shut
    EXPECT_THROW(gate.Pass(), RuntimeError);
}
