// A draft is stored whole or left exactly as it was: the decisions taken
// around each attempt, against a store of copies and a disk in memory.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

#include "copies/CopyKeepingLauncher.h"
#include "form/BatchMessages.h"
#include "Form1Fixture.h"
#include "unattended/UnattendedRun.h"

using namespace kestrow;
using namespace kestrow::testing;

namespace {

struct FakeCopyStore : DraftCopyStore {
    std::map<std::wstring, std::string> disk;    // the drafts, by path
    std::map<std::wstring, std::string> copies;  // by copy path
    std::set<std::wstring> uncopyable;
    bool putBackFails = false;
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
    void PutBack(const DraftCopy& copy) override {
        if (putBackFails) throw RuntimeError(-2147024864, kProgramSource, L"The draft is in use.");
        ++putBacks;
        disk[copy.draftPath] = copies.at(copy.copyPath);
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
        DraftOutcome UpdateDraft(const std::wstring& path, std::shared_ptr<const std::atomic<bool>>,
                                 CallWatch&) override {
            ++owner.steps;
            return owner.step(path);
        }
        void Quit(CallWatch&) noexcept override {}
    };
    bool CadSystemRunning() override { return false; }
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
    DraftOutcome Attempt() { return launcher.Launch()->UpdateDraft(kDraft, stop, watch); }
    // The step writes `content` into the draft, then fails with `kind`.
    void FailAfterWriting(std::string content, FailureKind kind) {
        server.step = [this, content, kind](const std::wstring& path) -> DraftOutcome {
            store.disk[path] = content;
            throw RuntimeError(-2147023170, L"Server", L"The remote procedure call failed.", kind);
        };
    }
    std::optional<RuntimeError> Caught() {
        try {
            Attempt();
        } catch (const DraftNotPutBack& error) {
            caughtCopy = error.CopyPath();
            return error;
        } catch (const RuntimeError& error) {
            caughtCopy.reset();
            return error;
        }
        return std::nullopt;
    }
    std::optional<std::wstring> caughtCopy;
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

TEST_F(CopyKeeping, EveryFailureThatLeftNothingHoldingTheDraftPutsItBackWhenItChanged) {
    for (FailureKind kind : {FailureKind::Ordinary, FailureKind::ServerBusy, FailureKind::ServerGone,
                             FailureKind::ServerAbandoned}) {
        SCOPED_TRACE(static_cast<int>(kind));
        store.disk[kDraft] = "before";
        FailAfterWriting("torn", kind);
        const auto error = Caught();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->Kind(), kind) << "the batch still learns what happened to its server";
        EXPECT_FALSE(caughtCopy) << "put back: nothing to report beyond the failure";
        EXPECT_EQ(store.disk[kDraft], "before");
        EXPECT_TRUE(store.copies.empty());
    }
    // A draft the failure did not touch is not rewritten.
    const int putBacks = store.putBacks;
    FailAfterWriting("before", FailureKind::ServerGone);
    ASSERT_TRUE(Caught());
    EXPECT_EQ(store.putBacks, putBacks);
    EXPECT_TRUE(store.copies.empty());
}

TEST_F(CopyKeeping, AServerThatMayStillHoldTheDraftKeepsItsCopyForEveryLaterAttempt) {
    FailAfterWriting("torn", FailureKind::ServerAbandonedRunning);
    auto error = Caught();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->Kind(), FailureKind::ServerAbandonedRunning);
    ASSERT_TRUE(caughtCopy);
    EXPECT_NE(error->Description().find(*caughtCopy), std::wstring::npos);
    EXPECT_EQ(store.disk[kDraft], "torn") << "nothing is written under a process that may still hold it";
    EXPECT_EQ(store.copies.size(), 1u);

    // Try Again: compared with how it was before the batch, not with what
    // the abandoned attempt left.
    FailAfterWriting("torn again", FailureKind::Ordinary);
    error = Caught();
    ASSERT_TRUE(error);
    EXPECT_FALSE(caughtCopy);
    EXPECT_EQ(store.disk[kDraft], "before");
    EXPECT_EQ(store.keeps, 1);
    EXPECT_TRUE(store.copies.empty());
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
    EXPECT_EQ(Attempt(), DraftOutcome::Stopped);
    EXPECT_EQ(store.disk[kDraft], "before");
    EXPECT_TRUE(store.copies.empty());

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

TEST_F(CopyKeeping, TheBatchTheSummaryAndTheUnattendedRunNameADraftThatWasNotPutBack) {
    store.disk[L"C:\\D\\b.dft"] = "before";
    store.putBackFails = true;
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
            lines.push_back(FormatLogRow(DraftLogRow(L"T", draft), LogLayout::SixColumns));
        }
    } output;
    UnattendedUser user(output);
    DraftBatch batch(L"C:\\D\\", {L"a.dft", L"b.dft"}, launcher, CallWatch::Policy{});
    const BatchResult result = batch.Run(user, user);

    ASSERT_EQ(result.drafts[1].state, DraftState::Failed);
    ASSERT_TRUE(result.drafts[1].keptCopy);
    EXPECT_FALSE(result.drafts[0].keptCopy);
    EXPECT_EQ(result.drafts[1].error->Kind(), FailureKind::ServerGone);
    EXPECT_NE(BatchSummaryText(result).find(L"b.dft - copy kept at " + *result.drafts[1].keptCopy),
              std::wstring::npos);
    EXPECT_EQ(user.Finish(result, L"C:\\D\\"), ExitCode::SomeNotStored);
    EXPECT_NE(output.lines.back().find(L"1 of them not put back"), std::wstring::npos);
    const std::wstring row = output.lines[3];
    EXPECT_EQ(row.rfind(L"T,failed,", 0), 0u) << row;
    EXPECT_NE(row.find(*result.drafts[1].keptCopy), std::wstring::npos) << row;
}

TEST(UpdateDraftFiles, CopiesLeftByAnEndedRunAreNamedAndNoAnswersNothingIsOpened) {
    Form1Fixture f;
    struct Leftovers : LeftoverCopies {
        std::vector<DraftCopy> FromEndedRuns() override { return {{L"C:\\D\\a.dft", L"C:\\Copies\\9-1\\1.dft"}}; }
        std::wstring Folder() override { return L"C:\\Copies"; }
    } leftovers;
    Form1 form{Form1Controls{f.cmdBrowse, f.List1, f.Label1, f.Text1, f.cmdUpdate},
               Form1Services{f.messages, f.folders, f.directory, f.launcher, f.runner, f.taskbar, &leftovers}};
    f.directory.listings[L"C:\\D\\*.dft"] = {L"a.dft"};
    f.folders.Choose(L"C:\\D");
    form.cmdBrowse_Click();

    f.messages.Answer(MessageAnswer::No);
    form.cmdUpdate_Click();
    ASSERT_EQ(f.messages.shown.size(), 1u);
    EXPECT_EQ(f.messages.shown[0].buttons, MessageButtons::YesNo);
    EXPECT_NE(f.messages.shown[0].text.find(L"C:\\D\\a.dft"), std::wstring::npos);
    EXPECT_NE(f.messages.shown[0].text.find(L"C:\\Copies"), std::wstring::npos);
    EXPECT_TRUE(f.server.journal.empty());
    EXPECT_FALSE(form.BatchRunning());

    f.messages.Answer(MessageAnswer::Yes);
    form.cmdUpdate_Click();
    EXPECT_EQ(f.server.stored.size(), 1u);
}
