// Several sessions of the CAD system at once: each draft done once, by the
// first free session; what ends one session leaves the others going.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "FakeAutomation.h"
#include "Fakes.h"
#include "unattended/UnattendedRun.h"

using namespace kestrow;
using namespace kestrow::testing;

namespace {

// Sessions of the fake server that may be used from several threads: each
// step runs under one lock, so steps of different sessions interleave
// draft by draft. A session's server can be told to fail or to share.
class SharedLauncher : public ServerLauncher {
public:
    explicit SharedLauncher(FakeServer& server) : inner_(server) {}
    std::optional<SessionLetGo> CadSystemInTheWay() override { return std::nullopt; }
    std::unique_ptr<ServerConnection> Launch() override;

    std::mutex lock;
    int launches = 0;
    std::set<int> sharingLaunches;    // these launches are handed another session's process
    std::set<int> failingLaunches;    // these launches cannot start
    std::function<void()> beforeFailing;  // runs as such a launch fails
    std::thread::id lostOnThread;     // servers launched from this thread crash on every draft
    std::map<int, std::vector<StartNotice>> notices;  // what these launches' starts leave to tell
    std::chrono::milliseconds stepTime{0};

private:
    InlineLauncher inner_;
};

class SharedConnection : public ServerConnection {
public:
    SharedConnection(SharedLauncher& launcher, std::unique_ptr<ServerConnection> inner, int launch, bool crashes)
        : launcher_(launcher), inner_(std::move(inner)), launch_(launch), crashes_(crashes) {}
    ~SharedConnection() override {
        std::lock_guard<std::mutex> lock(launcher_.lock);
        inner_.reset();
    }
    void Start(std::shared_ptr<const std::atomic<bool>> stop, CallWatch& watch) override {
        std::lock_guard<std::mutex> lock(launcher_.lock);
        if (launcher_.sharingLaunches.count(launch_))
            throw RuntimeError(5, L"Kestrow", L"shared", FailureKind::SharedServer);
        if (launcher_.failingLaunches.count(launch_)) {
            if (launcher_.beforeFailing) launcher_.beforeFailing();
            throw RuntimeError(429, L"Kestrow", L"ActiveX component can't create object");
        }
        inner_->Start(std::move(stop), watch);
    }
    DraftOutcome UpdateDraft(const std::wstring& path, std::vector<DraftExport>& exports,
                             std::shared_ptr<const std::atomic<bool>> stop, std::shared_ptr<const StoreGuard> guard,
                             CallWatch& watch) override {
        std::this_thread::sleep_for(launcher_.stepTime);
        std::lock_guard<std::mutex> lock(launcher_.lock);
        if (crashes_) throw RuntimeError(-2147023170, L"", L"The remote procedure call failed.", FailureKind::ServerGone);
        return inner_->UpdateDraft(path, exports, std::move(stop), std::move(guard), watch);
    }
    void Quit(CallWatch& watch) noexcept override {
        std::lock_guard<std::mutex> lock(launcher_.lock);
        inner_->Quit(watch);
    }
    std::vector<StartNotice> TakeStartNotices() override {
        std::lock_guard<std::mutex> lock(launcher_.lock);
        std::vector<StartNotice> taken;
        taken.swap(launcher_.notices[launch_]);
        return taken;
    }

private:
    SharedLauncher& launcher_;
    std::unique_ptr<ServerConnection> inner_;
    int launch_;
    bool crashes_;
};

std::unique_ptr<ServerConnection> SharedLauncher::Launch() {
    std::lock_guard<std::mutex> guard(lock);
    const int launch = ++launches;
    return std::make_unique<SharedConnection>(*this, inner_.Launch(), launch,
                                              std::this_thread::get_id() == lostOnThread);
}

struct Output : RunOutput {
    std::mutex lock;
    std::vector<std::wstring> lines;
    void Line(const std::wstring& text) override {
        std::lock_guard<std::mutex> guard(lock);
        lines.push_back(text);
    }
    void InHand(const DraftRecord&) override {}
    void Row(const UnreadableFolder&) override {}
    void Row(const DraftRecord&, std::optional<double>) override {}
    std::vector<std::int32_t> notes;  // the session of each note row
    void Note(std::int32_t session, const std::wstring&) override {
        std::lock_guard<std::mutex> guard(lock);
        notes.push_back(session);
    }
    bool Has(const std::wstring& text) {
        for (const auto& line : lines)
            if (line.find(text) != std::wstring::npos) return true;
        return false;
    }
};

std::vector<std::wstring> Names(int count) {
    std::vector<std::wstring> names;
    for (int i = 0; i < count; ++i) names.push_back(L"d" + std::to_wstring(i) + L".dft");
    return names;
}

int Count(const std::vector<std::wstring>& lines, const std::wstring& prefix) {
    return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                          [&](const std::wstring& l) { return l.rfind(prefix, 0) == 0; }));
}

BatchResult RunBatch(SharedLauncher& launcher, int drafts, int sessions, BatchUser& user, BatchProgress& progress) {
    DraftBatch batch(L"C:\\D\\", Names(drafts), launcher, CallWatch::Policy{});
    batch.SetSessions(sessions);
    return batch.Run(user, progress);
}

}  // namespace

TEST(Sessions, ThreeSessionsDoEveryDraftOnceAndEachGetsItsLastCall) {
    FakeServer server;
    SharedLauncher launcher(server);
    launcher.stepTime = std::chrono::milliseconds(2);
    Output output;
    UnattendedUser user(output);
    const BatchResult result = RunBatch(launcher, 12, 3, user, user);
    EXPECT_EQ(result.end, BatchEnd::Completed);
    EXPECT_EQ(result.Count(DraftState::Stored), 12);
    EXPECT_EQ(server.applicationsCreated, 3);
    EXPECT_EQ(Count(server.journal, L"app call 40"), 3);
    EXPECT_EQ(Count(server.journal, L"docs get 6 "), 12);
    EXPECT_EQ(server.stored.size(), 12u);
    std::set<std::int32_t> sessions;
    for (const auto& draft : result.drafts) sessions.insert(draft.session);
    EXPECT_EQ(sessions, (std::set<std::int32_t>{1, 2, 3}));
    EXPECT_EQ(server.liveObjects, 0);

    // No more sessions than drafts.
    FakeServer few;
    SharedLauncher fewLauncher(few);
    fewLauncher.stepTime = std::chrono::milliseconds(2);
    EXPECT_EQ(RunBatch(fewLauncher, 2, 8, user, user).Count(DraftState::Stored), 2);
    EXPECT_LE(few.applicationsCreated, 2);
}

TEST(Sessions, ASessionThatCannotStartOrSharesAProcessLeavesTheOthersGoing) {
    FakeServer server;
    SharedLauncher launcher(server);
    launcher.stepTime = std::chrono::milliseconds(2);
    launcher.failingLaunches = {2};
    Output output;
    UnattendedUser user(output);
    BatchResult result = RunBatch(launcher, 9, 3, user, user);
    EXPECT_EQ(result.end, BatchEnd::Completed);
    EXPECT_EQ(result.Count(DraftState::Stored), 9) << "the draft taken by the session that could not start is done";
    EXPECT_TRUE(output.Has(L"going on with 2 sessions")) << output.lines.size();

    // A multiple-use server hands the second and third sessions the first
    // one's process: no call through them, one line, all stored by one.
    FakeServer shared;
    SharedLauncher sharing(shared);
    sharing.sharingLaunches = {2, 3};
    sharing.stepTime = std::chrono::milliseconds(5);
    Output sharedOutput;
    UnattendedUser sharedUser(sharedOutput);
    result = RunBatch(sharing, 6, 3, sharedUser, sharedUser);
    EXPECT_EQ(result.end, BatchEnd::Completed);
    EXPECT_EQ(result.Count(DraftState::Stored), 6);
    EXPECT_EQ(shared.applicationsCreated, 1);
    EXPECT_EQ(Count(shared.journal, L"app call 40"), 1);
    EXPECT_EQ(std::count_if(sharedOutput.lines.begin(), sharedOutput.lines.end(),
                            [](const std::wstring& l) { return l.find(L"from one process") != std::wstring::npos; }),
              1);
}

// What the starts leave to tell is a line and a note row: the turn once a
// batch, every other notice as often as it comes.
TEST(Sessions, WhatStartsLeaveToTellIsSaidOnceALineAndARow) {
    FakeServer server;
    SharedLauncher launcher(server);
    launcher.stepTime = std::chrono::milliseconds(2);
    launcher.notices = {{1, {StartNotice::TurnNotComputerWide}},
                        {2, {StartNotice::TurnNotComputerWide, StartNotice::StartedWithoutTurn}},
                        {3, {StartNotice::TurnNotComputerWide, StartNotice::StartedWithoutTurn}}};
    Output output;
    UnattendedUser user(output);
    user.NameSessions(true);
    const BatchResult result = RunBatch(launcher, 6, 3, user, user);
    EXPECT_EQ(result.Count(DraftState::Stored), 6);
    EXPECT_EQ(Count(output.lines, L"Kestrow: the turn that starts of Solid Edge take could not be shared"), 1);
    EXPECT_EQ(Count(output.lines, L"Kestrow: another start of Solid Edge held the turn for over 10 minutes"), 2);
    std::sort(output.notes.begin(), output.notes.end());
    ASSERT_EQ(output.notes.size(), 3u);
    EXPECT_EQ(output.notes[0], 0) << "the turn is the whole run's";
    EXPECT_GT(output.notes[1], 0);
}

// A start cut short by a stop (or failing as the batch stops) ends the batch
// as stopped, not as a CAD system that could not be started.
TEST(Sessions, AStopDuringAStartIsNoFailureToStart) {
    FakeServer server;
    SharedLauncher launcher(server);
    launcher.failingLaunches = {1};
    DraftBatch batch(L"C:\\D\\", Names(3), launcher, CallWatch::Policy{});
    launcher.beforeFailing = [&] { batch.RequestStop(); };
    Output output;
    UnattendedUser user(output);
    const BatchResult result = batch.Run(user, user);
    EXPECT_EQ(result.end, BatchEnd::Stopped);
    EXPECT_EQ(result.Count(DraftState::NotReached), 3);
    EXPECT_FALSE(result.serverError);
}

TEST(Sessions, ThreeLossesInARowEndOnlyThatSession) {
    FakeServer server;
    SharedLauncher launcher(server);
    launcher.stepTime = std::chrono::milliseconds(5);
    launcher.lostOnThread = std::this_thread::get_id();  // the first session's servers
    Output output;
    UnattendedUser user(output);
    const BatchResult result = RunBatch(launcher, 10, 2, user, user);
    EXPECT_EQ(result.end, BatchEnd::Completed);
    EXPECT_EQ(result.Count(DraftState::Failed), 3);
    EXPECT_EQ(result.Count(DraftState::Stored), 7);
    EXPECT_TRUE(output.Has(L"session 1 stopped on 3 drafts in a row"));
    EXPECT_EQ(ExitCodeFor(result), ExitCode::SomeNotStored);

    // When the last session ends so, the batch ends so.
    FakeServer alone;
    SharedLauncher aloneLauncher(alone);
    aloneLauncher.lostOnThread = std::this_thread::get_id();
    const BatchResult ended = RunBatch(aloneLauncher, 5, 1, user, user);
    EXPECT_EQ(ended.end, BatchEnd::ServerKeptFailing);
    EXPECT_EQ(ended.Count(DraftState::NotReached), 2);
}

TEST(Sessions, QuestionsComeOneAtATimeAndOneAnswerCountsForEverySession) {
    FakeServer server;
    for (int i = 0; i < 8; ++i)
        server.Fail(L"docs get 6 bstrref:C:\\D\\d" + std::to_wstring(i) + L".dft", RuntimeError(5, L"S", L"bad"));
    SharedLauncher launcher(server);
    FakeMessageBox messages;
    struct Asking : BatchUser, BatchProgress {
        std::atomic<int> asked{0}, inQuestion{0}, overlapping{0};
        FailureDecision DraftFailed(const DraftRecord&, const RuntimeError&) override {
            if (++inQuestion > 1) ++overlapping;
            ++asked;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            --inQuestion;
            return {FailureDecision::Choice::Continue, true};
        }
        bool KeepWaiting(std::int64_t, const std::wstring&) override { return true; }
        void DraftStarting(std::int32_t, std::int32_t, const DraftRecord&) override {}
        void DraftEnded(std::int32_t, std::int32_t, const DraftRecord&) override {}
    } user;
    const BatchResult result = RunBatch(launcher, 8, 4, user, user);
    EXPECT_EQ(user.asked.load(), 1) << "Continue for the remaining counts for every session";
    EXPECT_EQ(user.overlapping.load(), 0);
    EXPECT_EQ(result.Count(DraftState::Failed), 8);

    // Cancel in one session stops them all after their call in hand.
    FakeServer cancelled;
    cancelled.Fail(L"docs get 6 bstrref:C:\\D\\d1.dft", RuntimeError(5, L"S", L"bad"));
    SharedLauncher cancelling(cancelled);
    cancelling.stepTime = std::chrono::milliseconds(5);
    struct Cancel : Asking {
        FailureDecision DraftFailed(const DraftRecord&, const RuntimeError&) override { return {}; }
    } canceller;
    const BatchResult stopped = RunBatch(cancelling, 40, 3, canceller, canceller);
    EXPECT_EQ(stopped.end, BatchEnd::Cancelled);
    EXPECT_GT(stopped.Count(DraftState::NotReached), 20);
    EXPECT_EQ(Count(cancelled.journal, L"app call 40"), cancelled.applicationsCreated);
}

TEST(Sessions, AFaultOfKestrowsOwnEndsTheBatchWithTheLastCall) {
    FakeServer server;
    server.onCall = [](const std::wstring& line) {
        if (line.rfind(L"docs get 6 bstrref:C:\\D\\d2.dft", 0) == 0) throw std::logic_error("broken invariant");
    };
    InlineLauncher launcher(server);
    Output output;
    UnattendedUser user(output);
    DraftBatch batch(L"C:\\D\\", Names(5), launcher, CallWatch::Policy{});
    const BatchResult result = batch.Run(user, user);
    EXPECT_EQ(result.end, BatchEnd::KestrowFailed);
    EXPECT_EQ(ExitCodeFor(result), ExitCode::KestrowFailed);
    EXPECT_EQ(Count(server.journal, L"app call 40"), 1);
    EXPECT_EQ(result.Count(DraftState::Stored), 2);
}

// One file listed under several names (hard links, a link and its file):
// done once, by one session, under its first name; the other names take
// its fate and say under which name it was done.
TEST(Sessions, AFileListedUnderTwoNamesIsDoneOnceAndBothNamesAreSettled) {
    FakeServer server;
    server.Fail(L"docs get 6 bstrref:C:\\D\\d2.dft", RuntimeError(5, L"S", L"bad"), -1);
    SharedLauncher launcher(server);
    launcher.stepTime = std::chrono::milliseconds(2);
    Output output;
    UnattendedUser user(output);
    // d4 is d0's file, d5 is d2's (which fails), d3 is of no known file.
    DraftBatch batch(L"C:\\D\\", Names(6), launcher, CallWatch::Policy{});
    batch.SetFiles({{7, 100}, {7, 101}, {7, 102}, {}, {7, 100}, {7, 102}});
    batch.SetSessions(2);
    const BatchResult result = batch.Run(user, user);

    EXPECT_EQ(Count(server.journal, L"docs get 6 "), 4) << "d0..d3 opened, their other names not";
    EXPECT_EQ(ExitCodeFor(result), ExitCode::SomeNotStored);
    // Each name ends, the other names right after their file's first.
    EXPECT_TRUE(output.Has(L"stored  d4.dft  (the same file as C:\\D\\d0.dft, done once)"));
    EXPECT_TRUE(output.Has(L"failed  d5.dft  (the same file as C:\\D\\d2.dft, done once)"));
    const LogRow row = DraftLogRow(L"T", result.drafts[5]);
    EXPECT_EQ(row.result, LogResult::SameFile);
    EXPECT_EQ(DetailValue(row.detail, L"done under"), L"C:\\D\\d2.dft");
    EXPECT_EQ(DraftLogRow(L"T", result.drafts[3]).result, LogResult::Stored) << "a file not known is nobody's twin";
}

namespace {

// A night's source in memory: hands out the drafts in its own order, each
// with a guard that closes after so many questions (0: never), and hears
// every fate.
struct ScriptedSource : DraftSource {
    struct Guard : StoreGuard {
        int closesAfter = 0;
        mutable std::atomic<int> asked{0};
        bool MayStore() const override { return closesAfter == 0 || ++asked < closesAfter; }
        std::wstring WhyNot() const override { return L"its lease lapsed."; }
    };
    std::mutex lock;
    std::vector<std::int32_t> order;
    std::map<std::int32_t, std::shared_ptr<Guard>> guards;
    std::map<std::int32_t, RuntimeError> refusals;
    std::map<std::int32_t, DraftState> ended;

    std::optional<std::int32_t> Next(const std::atomic<bool>& stop) override {
        std::lock_guard<std::mutex> guard(lock);
        if (stop || order.empty()) return std::nullopt;
        const std::int32_t index = order.front();
        order.erase(order.begin());
        return index;
    }
    std::shared_ptr<const StoreGuard> GuardOf(std::int32_t index) override {
        std::lock_guard<std::mutex> guard(lock);
        auto& made = guards[index];
        if (!made) made = std::make_shared<Guard>();
        return made;
    }
    std::optional<RuntimeError> RefusalOf(std::int32_t index) override {
        std::lock_guard<std::mutex> guard(lock);
        const auto found = refusals.find(index);
        return found == refusals.end() ? std::nullopt : std::optional<RuntimeError>(found->second);
    }
    void Ended(std::int32_t index, const DraftRecord& draft) override {
        std::lock_guard<std::mutex> guard(lock);
        ended[index] = draft.state;
    }
    bool MayHaveMore() override { return true; }
};

}  // namespace

// The drafts of a shared night come as the source hands them out; a draft
// whose lease lapsed before its store (or before a view) is closed
// unstored and left to the night, one taken too often fails unopened, and
// drafts never handed out are no business of this batch.
TEST(Sessions, ADraftSourceHandsOutTheDraftsAndALapsedLeaseStoresNothing) {
    FakeServer server;
    SharedLauncher launcher(server);
    Output output;
    UnattendedUser user(output);
    ScriptedSource source;
    source.order = {3, 0, 1, 2, 4};
    source.GuardOf(1);
    source.guards[1]->closesAfter = 3;  // asked before each of two views, then refuses the store
    source.GuardOf(2);
    source.guards[2]->closesAfter = 1;  // refuses from the first view on
    source.refusals.emplace(4, RuntimeError(91, L"Kestrow", L"Taken 3 times"));
    DraftBatch batch(L"C:\\D\\", Names(6), launcher, CallWatch::Policy{});
    batch.SetSource(source);
    batch.SetSessions(2);
    const BatchResult result = batch.Run(user, user);

    EXPECT_EQ(server.stored, (std::set<std::wstring>{L"C:\\D\\d3.dft", L"C:\\D\\d0.dft"}));
    EXPECT_EQ(Count(server.journal, L"view call 107"), 2 + 2 + 2) << "d1's two views were updated, d2's none";
    EXPECT_EQ(Count(server.journal, L"docs get 6 "), 4) << "d4, taken too often, was never opened";
    EXPECT_EQ(result.drafts[1].state, DraftState::Released);
    EXPECT_EQ(result.drafts[2].state, DraftState::Released);
    EXPECT_EQ(result.drafts[4].state, DraftState::Failed);
    EXPECT_EQ(result.drafts[5].state, DraftState::NotReached) << "never handed out";
    EXPECT_EQ(result.drafts[5].session, 0);
    EXPECT_EQ(source.ended, (std::map<std::int32_t, DraftState>{{0, DraftState::Stored},
                                                                  {1, DraftState::Released},
                                                                  {2, DraftState::Released},
                                                                  {3, DraftState::Stored},
                                                                  {4, DraftState::Failed}}));
    EXPECT_TRUE(output.Has(L"left  d1.dft  (Error 91 in Kestrow: The drawing was closed without storing: its lease lapsed.)"));
    const LogRow row = DraftLogRow(L"T", result.drafts[1]);
    EXPECT_EQ(row.result, LogResult::NotReached);
    EXPECT_EQ(row.description, L"The drawing was closed without storing: its lease lapsed.");
    EXPECT_EQ(server.liveObjects, 0);
}
