#include <gtest/gtest.h>

#include "server/AutomationContract.h"
#include "Form1Fixture.h"
#include "unattended/UnattendedRun.h"

using namespace kestrow;
using namespace kestrow::testing;

namespace {

std::vector<std::wstring> StartCalls() {
    return {L"create SolidEdge.Application", L"qi app", L"app put 59 bool:false", L"app put 18 bool:false"};
}

std::vector<std::wstring> FileCalls(const std::wstring& path, int views) {
    std::vector<std::wstring> calls = {L"app get 21",
                                       L"qi docs",
                                       L"docs get 6 bstrref:" + path,
                                       L"qi doc",
                                       L"doc get 24677",
                                       L"qi views",
                                       L"views get 2"};
    for (int i = 1; i <= views; ++i) {
        calls.push_back(L"views get 0 i2:" + std::to_wstring(i));
        calls.push_back(L"qi view");
        calls.push_back(L"view call 107");
    }
    calls.push_back(L"doc call 6 bool:true");
    return calls;
}

std::vector<std::wstring> BatchCalls(const std::vector<std::pair<std::wstring, int>>& files) {
    std::vector<std::wstring> calls = StartCalls();
    for (const auto& [path, views] : files) {
        const auto more = FileCalls(path, views);
        calls.insert(calls.end(), more.begin(), more.end());
    }
    calls.push_back(L"app call 40");
    return calls;
}

std::vector<std::wstring> Opened(const FakeServer& server) {
    std::vector<std::wstring> opened;
    for (const auto& line : server.journal)
        if (line.rfind(L"docs get 6 ", 0) == 0) opened.push_back(line.substr(19));
    return opened;
}

int Count(const std::vector<std::wstring>& lines, const std::wstring& wanted) {
    return static_cast<int>(std::count(lines.begin(), lines.end(), wanted));
}

RuntimeError DraftError() { return RuntimeError(static_cast<std::int32_t>(0x80040001u), L"Stand-in", L"cannot open"); }
RuntimeError ServerGone() {
    return RuntimeError(static_cast<std::int32_t>(0x800706BEu), L"", L"The remote procedure call failed.",
                        FailureKind::ServerGone);
}

}  // namespace

TEST(UpdateDraftFiles, ThreeFilesInListOrderWithTheExactCallSequence) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"a.dft", L"b.dft", L"c.dft"});
    f.server.viewCounts[L"C:\\D\\b.dft"] = 3;

    // While file k runs, row k-1 is selected, its position and bare name
    // shown, and the window offers Stop instead of Update and Browse.
    std::vector<std::wstring> seenWhileOpening;
    f.server.onCall = [&](const std::wstring& line) {
        if (line.rfind(L"docs get 6", 0) == 0)
            seenWhileOpening.push_back(std::to_wstring(f.List1.selected) + L" " + f.Label1.caption + L" " + f.Text1.text +
                                       (f.Text1.enabled ? L" enabled " : L" disabled ") + f.cmdUpdate.caption +
                                       (f.cmdBrowse.enabled ? L" browse" : L" no-browse"));
    };
    f.form.cmdUpdate_Click();

    EXPECT_EQ(f.server.journal, BatchCalls({{L"C:\\D\\a.dft", 2}, {L"C:\\D\\b.dft", 3}, {L"C:\\D\\c.dft", 2}}));
    EXPECT_EQ(seenWhileOpening,
              (std::vector<std::wstring>{L"0 Updating file 1 of 3... a.dft disabled &Stop no-browse",
                                         L"1 Updating file 2 of 3... b.dft disabled &Stop no-browse",
                                         L"2 Updating file 3 of 3... c.dft disabled &Stop no-browse"}));
    EXPECT_EQ(f.Label1.caption, L"Updated 3 files in : ");
    EXPECT_EQ(f.Text1.text, L"C:\\D\\");
    EXPECT_TRUE(f.Text1.enabled);
    EXPECT_TRUE(f.cmdUpdate.enabled);
    EXPECT_EQ(f.cmdUpdate.caption, L"Up&date");
    EXPECT_TRUE(f.cmdBrowse.enabled);
    EXPECT_EQ(f.server.liveObjects, 0);
    EXPECT_EQ(f.server.stored.size(), 3u);
    EXPECT_TRUE(f.messages.shown.empty());
    EXPECT_EQ(f.taskbar.events, (std::vector<std::wstring>{L"0/3 normal", L"0/3 normal", L"1/3 normal", L"1/3 normal",
                                                           L"2/3 normal", L"2/3 normal", L"3/3 normal", L"clear",
                                                           L"flash"}));
}

TEST(UpdateDraftFiles, EmptyViewCollectionIsStoredWithoutViewUpdates) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"empty.dft"});
    f.server.viewCounts[L"C:\\D\\empty.dft"] = 0;
    f.form.cmdUpdate_Click();
    EXPECT_EQ(f.server.journal, BatchCalls({{L"C:\\D\\empty.dft", 0}}));
    EXPECT_EQ(f.Label1.caption, L"Updated 1 files in : ");
}

TEST(UpdateDraftFiles, TwoRunsInARowCreateANewApplicationEachTime) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"a.dft"});
    f.form.cmdUpdate_Click();
    const auto first = f.server.journal;
    f.server.journal.clear();
    f.form.cmdUpdate_Click();
    EXPECT_EQ(f.server.journal, first);
    EXPECT_EQ(f.server.applicationsCreated, 2);
    EXPECT_EQ(f.form.fileCount, 1);
    EXPECT_TRUE(f.cmdUpdate.enabled);
}

TEST(UpdateDraftFiles, TheBatchWalksTheListTakenWhenItStarted) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"a.dft", L"b.dft"});
    // Whatever happens to the controls meanwhile, the batch keeps its list.
    f.server.onCall = [&](const std::wstring& line) {
        if (line == L"create SolidEdge.Application") {
            f.List1.Clear();
            f.List1.AddItem(L"other.dft");
        }
    };
    f.form.cmdUpdate_Click();
    EXPECT_EQ(Opened(f.server), (std::vector<std::wstring>{L"C:\\D\\a.dft", L"C:\\D\\b.dft"}));
    EXPECT_EQ(f.Label1.caption, L"Updated 2 files in : ");
}

TEST(UpdateDraftFiles, NoServerOrTheUsersOwnSessionGivesOneMessageAndNoCall) {
    for (const bool userSession : {false, true}) {
        Form1Fixture f;
        f.BrowseTo(L"C:\\D", {L"a.dft"});
        f.server.createFails = !userSession;
        if (userSession) f.server.inTheWay = SessionLetGo::UsersSession;
        f.form.cmdUpdate_Click();
        ASSERT_EQ(f.messages.shown.size(), 1u);
        const ShownMessage& box = f.messages.shown[0];
        if (userSession) {
            EXPECT_NE(box.text.find(L"Solid Edge is already running on this computer, or is still starting"),
                      std::wstring::npos);
            EXPECT_NE(box.text.find(L"Nothing was changed."), std::wstring::npos);
            EXPECT_TRUE(f.server.journal.empty());
        } else {
            EXPECT_NE(box.text.find(L"SolidEdge.Application"), std::wstring::npos);
        }
        EXPECT_EQ(box.title, L"Kestrow v 1.0");
        EXPECT_EQ(f.Label1.caption, L"1 file(s) found in :");
        EXPECT_EQ(f.Text1.text, L"C:\\D\\");
        EXPECT_TRUE(f.Text1.enabled);
        EXPECT_TRUE(f.cmdUpdate.enabled);
        EXPECT_EQ(f.cmdUpdate.caption, L"Up&date");
    }
}

TEST(UpdateDraftFiles, WrongApplicationInterfaceOrRefusedSettingsAreReportedAndReleased) {
    for (const wchar_t* step : {L"qi app", L"app put 18"}) {
        Form1Fixture f;
        f.BrowseTo(L"C:\\D", {L"a.dft"});
        f.server.Fail(step, DraftError(), -1);
        f.form.cmdUpdate_Click();
        ASSERT_EQ(f.messages.shown.size(), 1u);
        EXPECT_EQ(f.messages.shown[0].icon, MessageIcon::Error);
        EXPECT_EQ(f.server.liveObjects, 0);
        EXPECT_EQ(Opened(f.server).size(), 0u);
        // A server that started but refused its settings still ends its work.
        EXPECT_EQ(f.server.journal.back(), std::wstring(step) == L"qi app" ? L"qi app" : L"app call 40");
        EXPECT_EQ(f.Label1.caption, L"1 file(s) found in :");
    }
}

struct FailureChoice {
    MessageAnswer answer;
    std::vector<std::wstring> opened;
    std::wstring status;
    size_t boxes;
};

class UpdateFailureChoice : public ::testing::TestWithParam<FailureChoice> {};

TEST_P(UpdateFailureChoice, MiddleFileFailsOnceAndTheAnswerDecides) {
    const FailureChoice& c = GetParam();
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"a.dft", L"b.dft", L"c.dft"});
    f.server.Fail(L"docs get 6 bstrref:C:\\D\\b.dft", DraftError());
    f.messages.Answer(c.answer);
    f.form.cmdUpdate_Click();

    EXPECT_EQ(Opened(f.server), c.opened);
    ASSERT_EQ(f.messages.shown.size(), c.boxes);
    const ShownMessage& box = f.messages.shown[0];
    EXPECT_EQ(box.buttons, MessageButtons::CancelTryContinue);
    EXPECT_EQ(box.icon, MessageIcon::Exclamation);
    EXPECT_EQ(box.checkText, L"&Do the same for the remaining drawings");
    EXPECT_EQ(box.title, L"Kestrow v 1.0");
    EXPECT_NE(box.text.find(L"C:\\D\\b.dft"), std::wstring::npos);
    EXPECT_NE(box.text.find(L"0x80040001"), std::wstring::npos);
    EXPECT_NE(box.text.find(L"Stand-in"), std::wstring::npos);
    EXPECT_NE(box.text.find(L"cannot open"), std::wstring::npos);
    EXPECT_EQ(f.Label1.caption, c.status);
    EXPECT_EQ(f.server.journal.back(), L"app call 40");
    EXPECT_EQ(f.server.liveObjects, 0);
    EXPECT_TRUE(f.Text1.enabled);
    EXPECT_EQ(f.Text1.text, L"C:\\D\\");
    if (c.boxes == 2) {  // the summary names the drawing that was not stored
        EXPECT_NE(f.messages.shown[1].text.find(L"\nb.dft - Error -2147221503 (0x80040001): cannot open"),
                  std::wstring::npos);
    }
    EXPECT_EQ(f.taskbar.events.back(), L"flash");
}

INSTANTIATE_TEST_SUITE_P(
    Choices, UpdateFailureChoice,
    ::testing::Values(
        FailureChoice{MessageAnswer::Cancel, {L"C:\\D\\a.dft", L"C:\\D\\b.dft"},
                      L"Stopped: 1 updated, 1 not reached, in : ", 2},
        FailureChoice{MessageAnswer::TryAgain,
                      {L"C:\\D\\a.dft", L"C:\\D\\b.dft", L"C:\\D\\b.dft", L"C:\\D\\c.dft"},
                      L"Updated 3 files in : ",
                      1},
        FailureChoice{MessageAnswer::Continue,
                      {L"C:\\D\\a.dft", L"C:\\D\\b.dft", L"C:\\D\\c.dft"},
                      L"Updated 2 of 3 files in : ",
                      2}),
    [](const ::testing::TestParamInfo<FailureChoice>& info) {
        switch (info.param.answer) {
            case MessageAnswer::Cancel: return std::string("Cancel");
            case MessageAnswer::TryAgain: return std::string("TryAgain");
            default: return std::string("Continue");
        }
    });

TEST(UpdateDraftFiles, ADraftThatFailsOnceOpenIsClosedWithoutStoring) {
    const std::vector<std::wstring> beforeOpen = {L"app get 21", L"qi docs", L"docs get 6", L"qi doc"};
    const std::vector<std::wstring> afterOpen = {L"doc get 24677",    L"qi views", L"views get 2", L"views get 0 i2:2",
                                                 L"qi view",          L"view call 107", L"doc call 6 bool:true"};
    for (const auto* steps : {&beforeOpen, &afterOpen}) {
        for (const auto& step : *steps) {
            Form1Fixture f;
            f.BrowseTo(L"C:\\D", {L"a.dft"});
            f.server.Fail(step, DraftError());
            f.messages.Answer(MessageAnswer::Continue);
            f.form.cmdUpdate_Click();
            const std::string at(step.begin(), step.end());
            EXPECT_EQ(f.messages.shown.size(), 2u) << at;  // the failure and the summary
            EXPECT_EQ(f.Label1.caption, L"Updated 0 of 1 files in : ") << at;
            EXPECT_EQ(Count(f.server.journal, L"doc call 6 bool:false"), steps == &afterOpen ? 1 : 0) << at;
            EXPECT_EQ(f.server.journal.back(), L"app call 40") << at;
            EXPECT_EQ(f.server.liveObjects, 0) << at;
            EXPECT_TRUE(f.server.stored.empty()) << at;
        }
    }
}

TEST(UpdateDraftFiles, ALostServerIsReplacedAndGetsNoFurtherCall) {
    for (const MessageAnswer answer : {MessageAnswer::TryAgain, MessageAnswer::Continue}) {
        Form1Fixture f;
        f.BrowseTo(L"C:\\D", {L"a.dft", L"b.dft", L"c.dft"});
        f.server.Fail(L"view call 107", ServerGone());  // on a.dft, then never again
        f.messages.Answer(answer);
        f.form.cmdUpdate_Click();

        ASSERT_GE(f.messages.shown.size(), 1u);
        EXPECT_NE(f.messages.shown[0].text.find(L"Solid Edge stopped"), std::wstring::npos);
        EXPECT_EQ(f.server.callsToLostServers, 0);
        EXPECT_EQ(Count(f.server.journal, L"doc call 6 bool:false"), 0);
        // The fresh server gets the settings before its first draft, and the
        // only call 40 goes to it.
        EXPECT_EQ(f.server.applicationsCreated, 2);
        EXPECT_EQ(Count(f.server.journal, L"app put 59 bool:false"), 2);
        EXPECT_EQ(Count(f.server.journal, L"app call 40"), 1);
        EXPECT_EQ(f.server.journal.back(), L"app call 40");
        const bool retried = answer == MessageAnswer::TryAgain;
        EXPECT_EQ(Opened(f.server), retried ? (std::vector<std::wstring>{L"C:\\D\\a.dft", L"C:\\D\\a.dft",
                                                                          L"C:\\D\\b.dft", L"C:\\D\\c.dft"})
                                            : (std::vector<std::wstring>{L"C:\\D\\a.dft", L"C:\\D\\b.dft",
                                                                          L"C:\\D\\c.dft"}));
        EXPECT_EQ(f.Label1.caption, retried ? L"Updated 3 files in : " : L"Updated 2 of 3 files in : ");
        EXPECT_EQ(f.server.liveObjects, 0);
    }
}

TEST(UpdateDraftFiles, AServerLostOnThreeDraftsInARowEndsTheBatch) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"a.dft", L"b.dft", L"c.dft", L"d.dft", L"e.dft"});
    f.server.Fail(L"docs get 6 bstrref:C:\\D\\a.dft", DraftError());  // an ordinary failure first
    f.server.Fail(L"view call 107", ServerGone(), 3);
    for (int i = 0; i < 4; ++i) f.messages.Answer(MessageAnswer::Continue);
    f.form.cmdUpdate_Click();

    EXPECT_EQ(Opened(f.server).size(), 4u);  // a, then b, c and d each lose their server; e is not reached
    ASSERT_EQ(f.messages.shown.size(), 4u);  // three failure boxes, then one end box
    const ShownMessage& end = f.messages.shown.back();
    EXPECT_EQ(end.icon, MessageIcon::Error);
    EXPECT_NE(end.text.find(L"keeps failing"), std::wstring::npos);
    EXPECT_NE(end.text.find(L"1 drawing was not reached."), std::wstring::npos);
    EXPECT_EQ(f.server.callsToLostServers, 0);
    EXPECT_EQ(Count(f.server.journal, L"app call 40"), 0);
    EXPECT_EQ(f.Label1.caption, L"Updated 0 of 5 files in : ");
}

TEST(UpdateDraftFiles, ContinueForAllSkipsEveryLaterFailureWithoutAsking) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"a.dft", L"b.dft", L"c.dft", L"d.dft"});
    f.server.Fail(L"docs get 6 bstrref:C:\\D\\a.dft", DraftError(), 2);
    f.server.Fail(L"docs get 6 bstrref:C:\\D\\b.dft", DraftError());
    f.server.Fail(L"docs get 6 bstrref:C:\\D\\c.dft", DraftError());
    f.messages.Answer(MessageAnswer::TryAgain, true);  // ticked with Try Again: this press only
    f.messages.Answer(MessageAnswer::Continue, true);
    f.form.cmdUpdate_Click();
    // a fails twice (asked twice), then b and c are skipped unasked; then the summary.
    ASSERT_EQ(f.messages.shown.size(), 3u);
    EXPECT_EQ(f.messages.shown[2].buttons, MessageButtons::Ok);
    EXPECT_EQ(f.Label1.caption, L"Updated 1 of 4 files in : ");
    EXPECT_NE(std::find(f.taskbar.events.begin(), f.taskbar.events.end(), L"0/4 paused"), f.taskbar.events.end());
    EXPECT_EQ(f.taskbar.events[f.taskbar.events.size() - 3], L"4/4 error");
}

TEST(UpdateDraftFiles, StopLetsTheCallInHandFinishAndStoresNothingHalfDone) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"a.dft", L"b.dft"});
    f.folders.Choose(L"C:\\Other");
    f.server.onCall = [&](const std::wstring& line) {
        if (line == L"views get 0 i2:1") {
            f.form.cmdUpdate_Click();  // Stop
            f.form.cmdBrowse_Click();  // disabled meanwhile: ignored
        }
    };
    f.form.cmdUpdate_Click();
    // The view in hand is updated; the second is not; the draft is let go
    // unstored, b is never opened, and the server ends its work.
    EXPECT_EQ(Count(f.server.journal, L"view call 107"), 1);
    EXPECT_EQ(Count(f.server.journal, L"doc call 6 bool:false"), 1);
    EXPECT_EQ(Opened(f.server), std::vector<std::wstring>{L"C:\\D\\a.dft"});
    EXPECT_EQ(f.server.journal.back(), L"app call 40");
    EXPECT_EQ(f.folders.requests.size(), 1u);
    EXPECT_NE(std::find(f.Label1.history.begin(), f.Label1.history.end(), L"Stopping after this drawing..."),
              f.Label1.history.end());
    EXPECT_EQ(f.Label1.caption, L"Stopped: 0 updated, 2 not reached, in : ");
    EXPECT_TRUE(f.messages.shown.empty());
    EXPECT_EQ(f.cmdUpdate.caption, L"Up&date");
}

TEST(UpdateDraftFiles, TheSecondClickOfADoubleClickOnUpdateIsNoStop) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"a.dft", L"b.dft", L"c.dft"});
    f.tick = std::chrono::milliseconds(100);
    f.server.onCall = [&](const std::wstring& line) {
        if (line == L"docs get 6 bstrref:C:\\D\\a.dft") f.form.cmdUpdate_Click();  // within the double-click time
        if (line == L"docs get 6 bstrref:C:\\D\\b.dft") {
            f.tick = std::chrono::milliseconds(1000);
            f.form.cmdUpdate_Click();  // a Stop of its own
        }
    };
    f.form.cmdUpdate_Click();
    EXPECT_EQ(Opened(f.server), (std::vector<std::wstring>{L"C:\\D\\a.dft", L"C:\\D\\b.dft"}));
    EXPECT_EQ(f.server.stored, std::set<std::wstring>{L"C:\\D\\a.dft"});
    EXPECT_EQ(f.Label1.caption, L"Stopped: 1 updated, 2 not reached, in : ");
}

// Stop is reachable while the failure question is up (the box has no owner
// while the help page shows): whatever the answer, the batch ends there and
// no fresh server is started for it.
TEST(UpdateDraftFiles, AStopDuringTheFailureQuestionWinsOverItsAnswer) {
    for (const MessageAnswer answer : {MessageAnswer::TryAgain, MessageAnswer::Continue}) {
        for (const bool serverLost : {true, false}) {
            Form1Fixture f;
            f.BrowseTo(L"C:\\D", {L"a.dft", L"b.dft"});
            f.server.Fail(L"view call 107", serverLost ? ServerGone() : DraftError());
            f.messages.whileAsking = [&] { f.form.RequestStop(); };
            f.messages.Answer(answer);
            f.form.cmdUpdate_Click();
            EXPECT_EQ(f.server.applicationsCreated, 1);
            EXPECT_EQ(Opened(f.server), std::vector<std::wstring>{L"C:\\D\\a.dft"});
            EXPECT_EQ(Count(f.server.journal, L"app call 40"), serverLost ? 0 : 1);
            EXPECT_EQ(f.Label1.caption, L"Stopped: 0 updated, 1 not reached, in : ");
            EXPECT_EQ(f.server.liveObjects, 0);
        }
    }
}

TEST(UpdateDraftFiles, ViewCountBeyondSixteenBitsIsAClearError) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"huge.dft"});
    f.server.viewCounts[L"C:\\D\\huge.dft"] = 40000;
    f.messages.Answer(MessageAnswer::Continue);
    f.form.cmdUpdate_Click();
    ASSERT_GE(f.messages.shown.size(), 1u);
    EXPECT_NE(f.messages.shown[0].text.find(L"40000 views"), std::wstring::npos);
    EXPECT_EQ(f.Label1.caption, L"Updated 0 of 1 files in : ");
}

// The call was given up while the CAD system showed a dialog nobody
// answered: the status line said so, and the failure box names it.
TEST(UpdateDraftFiles, AnAbandonedServerGetsNoFurtherCallAndANewOneTakesOver) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"a.dft", L"b.dft"});
    f.server.Fail(L"view call 107", RuntimeError(5, L"Kestrow", L"Solid Edge was given up",
                                                 FailureKind::ServerAbandoned));
    std::vector<std::wstring> statusAfterDialog;
    f.server.duringStep = [&](CallWatch& watch) {
        const CadDialog dialog{L"Missing references", L"Some models were not found.", {L"OK"}, L"C:\\d\\a.png"};
        watch.DialogHandled(dialog, L"left open: no rule answers it", watch.AnswerDialog(dialog, {}).button.has_value());
        statusAfterDialog.push_back(f.Label1.caption);
    };
    f.messages.Answer(MessageAnswer::Continue);
    f.form.cmdUpdate_Click();
    EXPECT_EQ(statusAfterDialog.front(), L"'Missing references': left open: no rule answers it");
    ASSERT_EQ(f.messages.shown.size(), 2u);
    EXPECT_NE(f.messages.shown[0].text.find(L"gave up on that session and ended it"), std::wstring::npos);
    EXPECT_NE(f.messages.shown[0].text.find(L"Solid Edge showed 'Missing references: Some models were not found.' "
                                            L"(picture: C:\\d\\a.png), which nobody answered."),
              std::wstring::npos)
        << std::string(f.messages.shown[0].text.begin(), f.messages.shown[0].text.end());
    EXPECT_EQ(f.server.callsToLostServers, 0);
    EXPECT_EQ(Count(f.server.journal, L"app call 40"), 1);
    EXPECT_EQ(f.Label1.caption, L"Updated 1 of 2 files in : ");
    EXPECT_EQ(f.server.liveObjects, 0);
}

// An exception that is not the program's error (here out of memory in the
// middle of a draft) ends the batch as Kestrow's own failure: the draft is
// let go unstored, the server is still told to end, the window says so, and
// an unattended run exits with its own code.
TEST(UpdateDraftFiles, KestrowsOwnFailureEndsTheBatchAndTheServerStillEnds) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"a.dft", L"b.dft", L"c.dft"});
    f.server.onCall = [](const std::wstring& line) {
        if (line == L"docs get 6 bstrref:C:\\D\\b.dft") throw std::bad_alloc();
    };
    f.form.cmdUpdate_Click();
    EXPECT_EQ(Opened(f.server), (std::vector<std::wstring>{L"C:\\D\\a.dft", L"C:\\D\\b.dft"}));
    EXPECT_EQ(f.server.stored, std::set<std::wstring>{L"C:\\D\\a.dft"});
    EXPECT_EQ(f.server.journal.back(), L"app call 40");
    ASSERT_EQ(f.messages.shown.size(), 1u);
    EXPECT_EQ(f.messages.shown[0].text.find(L"Kestrow itself failed"), 0u);
    EXPECT_EQ(f.Label1.caption, L"Updated 1 of 3 files in : ");

    f.server.journal.clear();
    f.server.onCall = [](const std::wstring& line) {
        if (line == L"view call 107") throw std::logic_error("broken invariant");
    };
    DraftBatch batch(L"C:\\D\\", {L"a.dft"}, f.launcher, CallWatch::Policy{});
    struct : BatchUser, BatchProgress {
        FailureDecision DraftFailed(const DraftRecord&, const RuntimeError&) override { return {}; }
        bool KeepWaiting(std::int64_t, const std::wstring&) override { return false; }
        void DraftStarting(std::int32_t, std::int32_t, const DraftRecord&) override {}
        void DraftEnded(std::int32_t, std::int32_t, const DraftRecord&) override {}
    } user;
    const BatchResult result = batch.Run(user, user);
    EXPECT_EQ(result.end, BatchEnd::KestrowFailed);
    EXPECT_EQ(result.kestrowFailure, L"broken invariant");
    EXPECT_EQ(ExitCodeFor(result), ExitCode::KestrowFailed);
    EXPECT_EQ(Count(f.server.journal, L"doc call 6 bool:false"), 1);
    EXPECT_EQ(f.server.journal.back(), L"app call 40");
}

// A session handed to a process the run did not start (the user's own,
// registered for every client) gets no call, whether at the start or when a
// lost server is replaced; the batch ends as for a CAD system already running.
TEST(UpdateDraftFiles, ASessionServedByAnotherProcessGetsNoCallAndEndsTheBatch) {
    const RuntimeError foreign(ErrorNumber::CannotCreateObject, L"Kestrow", L"served by another process",
                               FailureKind::ForeignServer);
    for (const bool atStart : {true, false}) {
        Form1Fixture f;
        f.BrowseTo(L"C:\\D", {L"a.dft", L"b.dft", L"c.dft"});
        f.server.letGo = SessionLetGo::UsersSession;
        int created = 0;
        f.server.onCall = [&](const std::wstring& line) {
            if (line.rfind(L"create ", 0) == 0 && ++created == (atStart ? 1 : 2)) f.server.Fail(L"create", foreign);
        };
        if (!atStart) {
            f.server.Fail(L"view call 107", ServerGone());
            f.messages.Answer(MessageAnswer::Continue);
        }
        f.form.cmdUpdate_Click();

        EXPECT_EQ(Count(f.server.journal, L"app put 59 bool:false"), atStart ? 0 : 1);
        EXPECT_EQ(Count(f.server.journal, L"app call 40"), 0);
        EXPECT_EQ(Opened(f.server).size(), atStart ? 0u : 1u);
        ASSERT_EQ(f.messages.shown.size(), atStart ? 1u : 2u);
        const ShownMessage& end = f.messages.shown.back();
        EXPECT_NE(end.text.find(L"already running"), std::wstring::npos);
        EXPECT_NE(end.text.find(atStart ? L"Nothing was changed." : L"the batch was stopped there"), std::wstring::npos);
        EXPECT_EQ(f.Label1.caption, atStart ? L"3 file(s) found in :" : L"Updated 0 of 3 files in : ");
        EXPECT_EQ(f.server.liveObjects, 0);
    }
}

// Each batch is recorded as it goes, told every drawing as the window is;
// its last box offers the report, which shows the batch's folder. A record
// that cannot be kept leaves the batch as it is and says why in that box.
TEST(UpdateDraftFiles, EachBatchIsRecordedAndItsLastBoxOffersTheReport) {
    for (const bool recordable : {true, false}) {
        Form1Fixture f;
        f.BrowseTo(L"C:\\D", {L"a.dft", L"b.dft"});
        f.server.Fail(L"view call 107", DraftError());
        f.messages.Answer(MessageAnswer::Continue);
        f.messages.pressShowReport = true;
        if (!recordable) f.record.beginTrouble = L"the disk is full.";
        f.form.cmdUpdate_Click();
        ASSERT_EQ(f.messages.shown.size(), 2u);
        const ShownMessage& last = f.messages.shown[1];
        EXPECT_EQ(last.offersReport, recordable);
        if (recordable) {
            EXPECT_EQ(f.record.events,
                      (std::vector<std::wstring>{L"begin C:\\D\\", L"start a.dft", L"end a.dft not stored",
                                                 L"start b.dft", L"end b.dft stored", L"end of 2", L"report C:\\D\\"}));
        } else {
            EXPECT_EQ(f.record.events, std::vector<std::wstring>{L"begin C:\\D\\"});
            EXPECT_NE(last.text.find(L"could not keep a log of this batch, so it has no report: the disk is full."),
                      std::wstring::npos);
        }
        EXPECT_EQ(f.server.stored, std::set<std::wstring>{L"C:\\D\\b.dft"});
    }
}
