// A draft is stored whole or left exactly as it was: the decisions taken
// around each attempt, against a store of copies and a disk in memory.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

#include "copies/CopyKeepingLauncher.h"
#include "copies/EarlierCopies.h"
#include "copies/PutBackSwap.h"
#include "form/BatchMessages.h"
#include "Form1Fixture.h"
#include "unattended/UnattendedRun.h"

using namespace kestrow;
using namespace kestrow::testing;

namespace {

struct FakeCopyStore : DraftCopyStore {
    std::map<std::wstring, std::string> disk;    // the drafts, by path
    std::map<std::wstring, std::string> copies;  // by copy path, the versions a put back replaced too
    std::set<std::wstring> uncopyable;
    bool putBackFails = false;
    std::set<std::wstring> refusePutBack;  // drafts whose put back fails
    int keeps = 0;
    int putBacks = 0;

    DraftCopy Keep(const std::wstring& draftPath) override {
        if (uncopyable.count(draftPath))
            throw RuntimeError(-2147024864, kProgramSource, L"The file is used by another process.");
        const std::wstring copyPath = L"C:\\Copies\\" + std::to_wstring(++keeps) + L".dft";
        copies[copyPath] = disk.at(draftPath);
        return {draftPath, copyPath};
    }
    bool Unchanged(const DraftCopy& copy) override {
        auto draft = disk.find(copy.draftPath);
        return draft != disk.end() && draft->second == copies.at(copy.copyPath);
    }
    std::wstring PutBack(const DraftCopy& copy) override {
        if (putBackFails || refusePutBack.count(copy.draftPath))
            throw RuntimeError(-2147024864, kProgramSource, L"The draft is in use.");
        ++putBacks;
        const std::wstring replaced = copy.copyPath + L".replaced";
        copies[replaced] = disk[copy.draftPath];
        disk[copy.draftPath] = copies.at(copy.copyPath);
        return replaced;
    }
    void Discard(const DraftCopy& copy) noexcept override { copies.erase(copy.copyPath); }
};

// A server whose every draft step is the script's.
struct ScriptedLauncher : ServerLauncher {
    std::function<DraftOutcome(const std::wstring&)> step;
    int steps = 0;
    struct Connection : ServerConnection {
        ScriptedLauncher& owner;
        explicit Connection(ScriptedLauncher& o) : owner(o) {}
        void Start(std::shared_ptr<const std::atomic<bool>>, CallWatch&) override {}
        DraftOutcome UpdateDraft(const std::wstring& path, std::vector<DraftExport>&,
                                 std::shared_ptr<const std::atomic<bool>>, std::shared_ptr<const StoreGuard>,
                                 CallWatch&) override {
            ++owner.steps;
            return owner.step(path);
        }
        void Quit(CallWatch&) noexcept override {}
    };
    std::optional<SessionLetGo> CadSystemInTheWay() override { return std::nullopt; }
    std::unique_ptr<ServerConnection> Launch() override { return std::make_unique<Connection>(*this); }
};

const std::wstring kDraft = L"C:\\D\\a.dft";

struct CopyKeeping : ::testing::Test {
    FakeCopyStore store;
    ScriptedLauncher server;
    CopyKeepingLauncher launcher{server, store};
    CallWatch watch{CallWatch::Policy{}, [](std::int64_t, const std::wstring&) { return true; }};
    std::shared_ptr<std::atomic<bool>> stop = std::make_shared<std::atomic<bool>>(false);

    CopyKeeping() { store.disk[kDraft] = "before"; }
    DraftOutcome Attempt() {
        std::vector<DraftExport> none;
        return launcher.Launch()->UpdateDraft(kDraft, none, stop, nullptr, watch);
    }
    // The step writes `content` into the draft, then fails with `kind`.
    void FailAfterWriting(std::string content, FailureKind kind) {
        server.step = [this, content, kind](const std::wstring& path) -> DraftOutcome {
            store.disk[path] = content;
            throw RuntimeError(-2147023170, L"Server", L"The remote procedure call failed.", kind);
        };
    }
    std::optional<RuntimeError> Caught() {
        caughtCopy.reset();
        caughtVersions.reset();
        try {
            Attempt();
        } catch (const RuntimeError& error) {
            caughtCopy = KeptCopyOf(error);
            caughtVersions = ReplacedDraftOf(error);
            return error;
        }
        return std::nullopt;
    }
    std::optional<std::wstring> caughtCopy;        // not put back: the copy kept
    std::optional<ReplacedDraft> caughtVersions;  // put back over other bytes: both kept
};

}  // namespace

TEST_F(CopyKeeping, AStoredDraftLosesItsCopyAndIsLeftAsStored) {
    server.step = [this](const std::wstring& path) {
        store.disk[path] = "stored";
        return DraftOutcome::Stored;
    };
    EXPECT_EQ(Attempt(), DraftOutcome::Stored);
    EXPECT_EQ(store.disk[kDraft], "stored");
    EXPECT_TRUE(store.copies.empty());
    EXPECT_EQ(store.putBacks, 0);
}

// Whoever changed the draft during the attempt (the server's torn store,
// another program's save), its bytes are kept beside the copy before the
// copy goes back over them, and both are named.
TEST_F(CopyKeeping, EveryFailureThatLeftNothingHoldingTheDraftPutsItBackAndKeepsWhatItReplaced) {
    for (FailureKind kind : {FailureKind::Ordinary, FailureKind::ServerBusy, FailureKind::ServerGone,
                             FailureKind::ServerAbandoned}) {
        SCOPED_TRACE(static_cast<int>(kind));
        store.disk[kDraft] = "before";
        store.copies.clear();
        FailAfterWriting("saved by someone else", kind);
        const auto error = Caught();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->Kind(), kind) << "the batch still learns what happened to its server";
        EXPECT_FALSE(caughtCopy) << "put back: no copy of a draft that may be damaged";
        ASSERT_TRUE(caughtVersions);
        EXPECT_EQ(store.disk[kDraft], "before");
        EXPECT_EQ(store.copies.at(caughtVersions->copyPath), "before");
        EXPECT_EQ(store.copies.at(caughtVersions->replacedPath), "saved by someone else");
        EXPECT_NE(error->Description().find(caughtVersions->replacedPath), std::wstring::npos);
    }
    // A draft the failure did not touch is neither rewritten nor kept twice.
    store.copies.clear();
    const int putBacks = store.putBacks;
    FailAfterWriting("before", FailureKind::ServerGone);
    ASSERT_TRUE(Caught());
    EXPECT_FALSE(caughtVersions);
    EXPECT_EQ(store.putBacks, putBacks);
    EXPECT_TRUE(store.copies.empty());
}

// A session given up while its process may still run protects the draft
// from every later write: Try Again in a fresh session, or a later batch
// of the window, never puts it back under that process.
TEST_F(CopyKeeping, AServerThatMayStillHoldTheDraftKeepsItsCopyAndItsProtectionForEveryLaterAttempt) {
    FailAfterWriting("torn", FailureKind::ServerAbandonedRunning);
    auto error = Caught();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->Kind(), FailureKind::ServerAbandonedRunning);
    ASSERT_TRUE(caughtCopy);
    const std::wstring firstCopy = *caughtCopy;
    EXPECT_NE(error->Description().find(firstCopy), std::wstring::npos);
    EXPECT_EQ(store.disk[kDraft], "torn") << "nothing is written under a process that may still hold it";

    for (int batch = 0; batch < 2; ++batch) {
        SCOPED_TRACE(batch);
        if (batch == 1) launcher.CadSystemInTheWay();  // the window's next batch
        FailAfterWriting("torn again", FailureKind::Ordinary);
        error = Caught();
        ASSERT_TRUE(error);
        ASSERT_TRUE(caughtCopy);
        EXPECT_EQ(store.disk[kDraft], "torn again");
        EXPECT_EQ(store.putBacks, 0);
        EXPECT_NE(error->Description().find(L"given up may still be running"), std::wstring::npos);
    }
    EXPECT_EQ(*caughtCopy, L"C:\\Copies\\2.dft") << "the next batch compares with how the draft was before it";
    EXPECT_TRUE(store.copies.count(firstCopy)) << "the copy from before the given-up attempt stays";
}

// A draft whose lease on a shared night was lost may be another computer's
// work by now: nothing is written to it. Its copy goes when it is as it
// was, and stays, named, when it changed.
TEST_F(CopyKeeping, ADraftLeftToAnotherComputerIsNeverPutBack) {
    FailAfterWriting("stored by another computer", FailureKind::LeaseLost);
    auto error = Caught();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->Kind(), FailureKind::LeaseLost);
    EXPECT_EQ(store.disk[kDraft], "stored by another computer");
    EXPECT_EQ(store.putBacks, 0);
    ASSERT_TRUE(caughtCopy);
    EXPECT_EQ(store.copies.at(*caughtCopy), "before");
    EXPECT_NE(error->Description().find(L"no longer this computer's to write"), std::wstring::npos);

    launcher.CadSystemInTheWay();  // the next batch
    store.disk[kDraft] = "before";
    store.copies.clear();
    FailAfterWriting("before", FailureKind::LeaseLost);
    error = Caught();
    ASSERT_TRUE(error);
    EXPECT_FALSE(caughtCopy);
    EXPECT_TRUE(store.copies.empty()) << "as it was: nothing to keep";
}

TEST_F(CopyKeeping, ADraftThatCannotBeCopiedIsNotOpened) {
    store.uncopyable.insert(kDraft);
    server.step = [](const std::wstring&) { return DraftOutcome::Stored; };
    const auto error = Caught();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->Kind(), FailureKind::Ordinary);
    EXPECT_EQ(error->Number(), -2147024864);
    EXPECT_NE(error->Description().find(L"not opened"), std::wstring::npos);
    EXPECT_NE(error->Description().find(L"used by another process"), std::wstring::npos);
    EXPECT_EQ(server.steps, 0);
}

TEST_F(CopyKeeping, ADraftThatCannotBePutBackIsReportedWithItsCopyAndTheFailuresKind) {
    store.putBackFails = true;
    FailAfterWriting("torn", FailureKind::ServerGone);
    const auto error = Caught();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->Kind(), FailureKind::ServerGone);
    ASSERT_TRUE(caughtCopy);
    EXPECT_NE(error->Description().find(L"The draft is in use."), std::wstring::npos);
    EXPECT_EQ(store.copies.size(), 1u);

    // A later attempt that stores it settles it: the copy goes.
    server.step = [](const std::wstring&) { return DraftOutcome::Stored; };
    EXPECT_EQ(Attempt(), DraftOutcome::Stored);
    EXPECT_EQ(store.keeps, 1);
    EXPECT_TRUE(store.copies.empty());
}

TEST_F(CopyKeeping, ADraftClosedUnstoredByAStopIsPutBackOrReported) {
    server.step = [this](const std::wstring& path) {
        store.disk[path] = "autosaved";
        return DraftOutcome::Stopped;
    };
    ASSERT_TRUE(Caught());
    EXPECT_TRUE(caughtVersions) << "put back, and the version found kept";
    EXPECT_EQ(store.disk[kDraft], "before");

    store.putBackFails = true;
    const auto error = Caught();
    ASSERT_TRUE(error);
    EXPECT_TRUE(caughtCopy);
    EXPECT_EQ(error->Kind(), FailureKind::Ordinary);

    // A stop before the attempt opens nothing and copies nothing.
    *stop = true;
    const int keeps = store.keeps;
    EXPECT_EQ(Attempt(), DraftOutcome::Stopped);
    EXPECT_EQ(store.keeps, keeps);
}

TEST_F(CopyKeeping, TheBatchTheSummaryAndTheUnattendedRunNameEveryCopyKept) {
    store.disk[L"C:\\D\\b.dft"] = "before";
    store.disk[L"C:\\D\\c.dft"] = "before";
    store.refusePutBack.insert(L"C:\\D\\b.dft");
    server.step = [this](const std::wstring& path) -> DraftOutcome {
        if (path == kDraft) return DraftOutcome::Stored;
        store.disk[path] = "torn";
        throw RuntimeError(-2147023170, L"Server", L"The remote procedure call failed.", FailureKind::ServerGone);
    };
    struct Output : RunOutput {
        std::vector<std::wstring> lines;
        void Line(const std::wstring& text) override { lines.push_back(text); }
        void InHand(const DraftRecord&) override {}
        void Row(const UnreadableFolder&) override {}
        void Row(const DraftRecord& draft, std::optional<double>) override {
            lines.push_back(FormatLogRow(DraftLogRow(L"T", draft), LogLayout::WithDetails));
        }
    } output;
    UnattendedUser user(output);
    DraftBatch batch(L"C:\\D\\", {L"a.dft", L"b.dft", L"c.dft"}, launcher, CallWatch::Policy{});
    const BatchResult result = batch.Run(user, user);

    ASSERT_EQ(result.drafts[1].state, DraftState::Failed);
    ASSERT_TRUE(result.drafts[1].keptCopy);
    EXPECT_FALSE(result.drafts[0].keptCopy);
    ASSERT_TRUE(result.drafts[2].replaced);
    EXPECT_FALSE(result.drafts[2].keptCopy) << "c is as it was: put back";
    EXPECT_EQ(result.drafts[1].error->Kind(), FailureKind::ServerGone);
    const ReplacedDraft& c = *result.drafts[2].replaced;
    const std::wstring summary = BatchSummaryText(result);
    EXPECT_NE(summary.find(L"b.dft - copy kept at " + *result.drafts[1].keptCopy), std::wstring::npos);
    EXPECT_NE(summary.find(L"c.dft - the version put back over is kept at " + c.replacedPath), std::wstring::npos);
    EXPECT_EQ(user.Finish(result, L"C:\\D\\"), ExitCode::SomeNotStored);
    EXPECT_NE(output.lines.back().find(L"1 of them not put back"), std::wstring::npos);
    const std::wstring row = output.lines[3];
    EXPECT_EQ(row.rfind(L"T,failed,", 0), 0u) << row;
    EXPECT_NE(row.find(L"copy: " + *result.drafts[1].keptCopy), std::wstring::npos) << row;
    EXPECT_NE(output.lines[5].find(L"copy: " + c.copyPath + L" | replaced: " + c.replacedPath), std::wstring::npos);
}

namespace {

// Copies ended runs left; which drafts are as their copy; what was retired.
struct FakeLeftovers : LeftoverCopies {
    std::vector<DraftCopy> left;
    std::set<std::wstring> sameAsDraft;  // by copy path
    std::vector<std::wstring> retired;   // copy paths
    std::vector<DraftCopy> FromEndedRuns() override { return left; }
    std::wstring Folder() override { return L"C:\\Copies"; }
    bool SameAsDraft(const DraftCopy& copy) override { return sameAsDraft.count(copy.copyPath) > 0; }
    void Retire(const DraftCopy& copy) noexcept override { retired.push_back(copy.copyPath); }
};

DraftRecord Settled(const std::wstring& path, DraftState state, bool keptCopy = false) {
    DraftRecord draft;
    draft.path = path;
    draft.state = state;
    if (keptCopy) draft.keptCopy = L"C:\\Copies\\1-2\\1.dft";
    return draft;
}

}  // namespace

// A copy goes once its draft is stored again, or is as the copy after a
// failure; never while the draft may differ from it, and never with a
// version a put back replaced (it may be somebody's work, kept nowhere else).
TEST(EarlierCopies, ACopyIsRetiredOnlyOnceItsDraftNoLongerNeedsIt) {
    FakeLeftovers leftovers;
    leftovers.left = {
        {L"\\\\?\\C:\\D\\a.dft", L"C:\\Copies\\9-1\\1.dft", L"", L"run 3 of C:\\log.csv"},
        {L"C:\\D\\B.DFT", L"C:\\Copies\\9-1\\2.dft"},
        {L"C:\\D\\c.dft", L"C:\\Copies\\9-1\\3.dft", L"C:\\Copies\\9-1\\3-replaced.dft"},
        {L"C:\\D\\d.dft", L"C:\\Copies\\8-1\\1.dft"},
        {L"C:\\Other\\a.dft", L"C:\\Copies\\9-1\\4.dft"},
    };
    leftovers.sameAsDraft = {L"C:\\Copies\\8-1\\1.dft"};
    EarlierCopies earlier(leftovers, [](const std::wstring& path) { return InFolder(path, L"C:\\D\\", false); });
    ASSERT_EQ(earlier.Copies().size(), 4u);

    const std::vector<std::pair<DraftRecord, std::vector<std::wstring>>> fates = {
        {Settled(L"C:\\D\\b.dft", DraftState::Failed), {}},                // differs from its copy
        {Settled(L"C:\\D\\d.dft", DraftState::Failed, true), {}},          // may be damaged: its copy counts
        {Settled(L"C:\\D\\a.dft", DraftState::NotReached), {}},
        {Settled(L"C:\\D\\c.dft", DraftState::Stored), {}},                // a replaced version stays
        {Settled(L"C:\\D\\a.dft", DraftState::Stored), {L"C:\\Copies\\9-1\\1.dft"}},
        {Settled(L"C:\\D\\d.dft", DraftState::Failed), {L"C:\\Copies\\8-1\\1.dft"}},  // as its copy
        {Settled(L"C:\\D\\b.dft", DraftState::Stored), {L"C:\\Copies\\9-1\\2.dft"}},
    };
    for (const auto& [draft, retired] : fates) {
        std::vector<std::wstring> got;
        for (const DraftCopy& copy : earlier.Settle(draft)) got.push_back(copy.copyPath);
        EXPECT_EQ(got, retired) << std::string(draft.path.begin(), draft.path.end());
    }
    EXPECT_EQ(leftovers.retired.size(), 3u);
    ASSERT_EQ(earlier.Copies().size(), 1u);
    EXPECT_EQ(earlier.Copies()[0].draftPath, L"C:\\D\\c.dft");

    for (const auto& [path, subfolders, inside] : std::vector<std::tuple<std::wstring, bool, bool>>{
             {L"\\\\?\\c:\\d\\A.DFT", false, true}, {L"C:\\D\\Sub\\a.dft", false, false},
             {L"C:\\D\\Sub\\a.dft", true, true}, {L"C:\\Dx\\a.dft", true, false}, {L"C:\\D\\", true, false}})
        EXPECT_EQ(InFolder(path, L"C:\\D\\", subfolders), inside) << std::string(path.begin(), path.end());
}

// The window names only this batch's leftovers, once for a given set, with
// their folder to open; the batch retires those it stores.
TEST(UpdateDraftFiles, CopiesLeftOfThisBatchAreNamedOnceAndRetiredWhenStored) {
    Form1Fixture f;
    FakeLeftovers leftovers;
    leftovers.left = {{L"C:\\D\\a.dft", L"C:\\Copies\\9-1\\1.dft"},
                      {L"C:\\Elsewhere\\z.dft", L"C:\\Copies\\9-1\\2.dft"}};
    Form1 form{Form1Controls{f.cmdBrowse, f.List1, f.Label1, f.Text1, f.cmdUpdate},
               Form1Services{f.messages, f.folders, f.directory, f.launcher, f.runner, f.taskbar, &leftovers}};
    f.directory.listings[L"C:\\D\\*.dft"] = {L"a.dft", L"b.dft"};
    f.folders.Choose(L"C:\\D");
    form.cmdBrowse_Click();

    f.messages.Answer(MessageAnswer::No);
    form.cmdUpdate_Click();
    ASSERT_EQ(f.messages.shown.size(), 1u);
    EXPECT_EQ(f.messages.shown[0].buttons, MessageButtons::YesNo);
    EXPECT_NE(f.messages.shown[0].text.find(L"C:\\D\\a.dft"), std::wstring::npos);
    EXPECT_EQ(f.messages.shown[0].text.find(L"z.dft"), std::wstring::npos) << "not this batch's";
    EXPECT_NE(f.messages.shown[0].text.find(L"C:\\Copies"), std::wstring::npos);
    EXPECT_TRUE(f.server.journal.empty());
    EXPECT_FALSE(form.BatchRunning());

    // The same set again: no second box; the stored draft's copy goes.
    f.server.Fail(L"docs get 6 bstrref:C:\\D\\b.dft", RuntimeError(-2147467259, L"CAD", L"Cannot open"), -1);
    f.messages.Answer(MessageAnswer::Continue);
    form.cmdUpdate_Click();
    ASSERT_EQ(f.messages.shown.size(), 3u) << "b's failure and the batch's summary, no leftovers box";
    EXPECT_EQ(f.messages.shown[1].buttons, MessageButtons::CancelTryContinue);
    EXPECT_EQ(f.server.stored.size(), 1u);
    EXPECT_EQ(leftovers.retired, std::vector<std::wstring>{L"C:\\Copies\\9-1\\1.dft"});
}

// The n-th answer of a script, `beyond` once it has run out.
template <typename T>
T Scripted(const std::vector<T>& script, size_t& calls, T beyond) {
    const size_t n = calls++;
    return n < script.size() ? static_cast<T>(script[n]) : beyond;
}

// The put back's swap is tried again while the draft is held, and only while
// the draft is as it was seen: a write between two tries stops it, and the
// next try never comes.
TEST(PutBackSwap, EachTryComesOnlyWhileTheDraftIsAsItWasSeen) {
    using enum SwapTry;
    const struct {
        const char* name;
        std::vector<bool> unchanged;  // what each look at the draft finds
        std::vector<SwapTry> tries;   // what each try of the swap gets
        int waits;                    // how many waits the time allows
        SwapOutcome outcome;
    } cases[] = {
        {"swapped at once", {true}, {Done}, 5, SwapOutcome::Swapped},
        {"held, then swapped", {true, true}, {Held, Done}, 5, SwapOutcome::Swapped},
        {"held, then written", {true, false}, {Held}, 5, SwapOutcome::WrittenMeanwhile},
        {"written before the first try", {false}, {}, 5, SwapOutcome::WrittenMeanwhile},
        {"held for longer than the wait", {true, true, true}, {Held, Held, Held}, 2, SwapOutcome::StillHeld},
        {"failed otherwise", {true}, {Failed}, 5, SwapOutcome::Failed},
    };
    for (const auto& c : cases) {
        size_t looks = 0, tries = 0;
        int waits = 0;
        const SwapOutcome outcome = SwapWhileUnchanged(PutBackSwap{[&] { return Scripted(c.unchanged, looks, true); },
                                                                   [&] { return Scripted(c.tries, tries, Done); },
                                                                   [&] { return waits++ < c.waits; }});
        EXPECT_EQ(outcome, c.outcome) << c.name;
        EXPECT_EQ(tries, c.tries.size()) << c.name;
    }
}
