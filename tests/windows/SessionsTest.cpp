// Several sessions of the CAD system at once, from the command line: each a
// process of its own working beside the others, every draft opened once,
// and a crash or a hang in one costing only its own draft.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "MainWindowFixture.h"
#include "RunFixture.h"
#include "TestSupport.h"
#include "common/Version.h"
#include "unattended/RunLog.h"

using namespace kestrow;
using namespace kestrow::wintest;

namespace {

class Sessions : public RunTest {
protected:
    void SetUp() override { SetStandIn(L"ViewUpdateMs", L"150"); }
};

std::string Joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const auto& line : lines) all += line + "\n";
    return all;
}

// How many sessions were created before the first one was told to end.
int CreatedBeforeFirstQuit(const std::vector<std::string>& lines) {
    int created = 0;
    for (const auto& line : lines) {
        if (line == "create") ++created;
        if (line == "application call 40") break;
    }
    return created;
}

}  // namespace

TEST_F(Sessions, ThreeSessionsWorkSideBySideAndOpenEachDraftOnce) {
    const auto drafts = WriteDrafts(12, {}, 2);
    const ProgramRun run = Update(L"/sessions 3");
    EXPECT_EQ(run.exitCode, 0u) << Narrow(run.Text());
    const auto lines = journal.Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "create"), 3);
    EXPECT_EQ(CreatedBeforeFirstQuit(lines), 3) << "the sessions did not work at the same time";
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "application call 40"), 3);
    for (const auto& draft : drafts) {
        EXPECT_EQ(StoredCount(draft), 1) << Narrow(draft);
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "documents get 6 VT_BSTR|VT_BYREF:" + Narrow(draft)), 1)
            << Narrow(draft) << "\n" << Joined(lines);
    }
    std::set<std::wstring> named;
    for (const auto& line : run.lines)
        if (line.rfind(L"stored  ", 0) == 0) named.insert(line.substr(line.rfind(L"[session ")));
    EXPECT_EQ(named, (std::set<std::wstring>{L"[session 1]", L"[session 2]", L"[session 3]"}));
    const auto fates = Fates(Log());
    for (const auto& draft : drafts) EXPECT_EQ(fates.at(draft), L"stored") << Narrow(draft);
}

TEST_F(Sessions, ACrashAndAHangInOneSessionCostOnlyTheirDrafts) {
    // The hung server wakes after its client has gone; then it ends soon.
    SetStandIn(L"OrphanExitMs", L"2000");
    const auto drafts = WriteDrafts(12, {{4, "fault crash\r\n"}, {8, "fault hang 9000\r\n"}}, 2);
    const ProgramRun run = Update(L"/sessions 3 /timeout 3", false);
    EXPECT_EQ(run.exitCode, 1u) << Narrow(run.Text());
    EXPECT_NE(run.Text().find(L"Updated 10 of 12 files in"), std::wstring::npos) << Narrow(run.Text());
    for (size_t i = 0; i < drafts.size(); ++i)
        EXPECT_EQ(StoredCount(drafts[i]), i == 3 || i == 7 ? 0 : 1) << Narrow(drafts[i]);
}

// A server registered for every client hands the second and third sessions
// the first one's process: they make no call, one line says so, and the one
// session with a process of its own stores every draft.
TEST_F(Sessions, AServerForEveryClientLeavesOneSessionThatStoresAll) {
    SetStandIn(L"MultipleUse", L"1");
    SetStandIn(L"JournalPids", L"1");
    const auto drafts = WriteDrafts(6, {}, 2);
    const ProgramRun run = Update(L"/sessions 3", false);
    EXPECT_EQ(run.exitCode, 0u) << Narrow(run.Text());
    for (const auto& draft : drafts) EXPECT_EQ(StoredCount(draft), 1) << Narrow(draft);
    const auto lines = journal.Lines();
    EXPECT_EQ(JournalPids(lines, "start").size(), 1u) << "one process";
    EXPECT_EQ(LinesWith(lines, "application put 59"), 1) << "only the session with a process of its own made calls";
    EXPECT_EQ(LinesWith(run.lines, L"from one process"), 1) << Narrow(run.Text());
}

// A server that grows with every draft it opens is renewed once it has
// passed the bound, before it can pass it by a second draft's growth.
TEST_F(Sessions, AGrowingServerIsRenewedPastItsMemoryBound) {
    ClearStandInSetting(L"ViewUpdateMs");
    SetStandIn(L"GrowMbPerOpen", L"40");
    SetStandIn(L"JournalPids", L"1");
    const auto drafts = WriteDrafts(9, {}, 2);
    const ProgramRun run = Update(L"/restart-memory 100", false);
    EXPECT_EQ(run.exitCode, 0u) << Narrow(run.Text());
    for (const auto& draft : drafts) EXPECT_EQ(StoredCount(draft), 1) << Narrow(draft);
    const auto lines = journal.Lines();
    const auto servers = JournalPids(lines, "start");
    EXPECT_GE(servers.size(), 3u) << "renewed as it grew";
    // Under Wine a fresh stand-in commits about 10 MB: past 100 MB after its
    // third open of 40 MB, so no session opened more than three.
    for (const DWORD pid : servers) {
        const auto opened = std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
            return l.rfind(std::to_string(pid) + ": documents get 6", 0) == 0;
        });
        EXPECT_LE(opened, 3) << pid;
    }
    EXPECT_NE(run.Text().find(L"as planned (its memory reached"), std::wstring::npos) << Narrow(run.Text());
}

// Long nights: a session is ended as planned after so many drafts and a
// fresh one takes over, each ended by its last call before the next starts.
TEST_F(Sessions, RestartEveryFourOverTenDraftsUsesThreeSessionsOneAfterTheOther) {
    const auto drafts = WriteDrafts(10);
    const ProgramRun run = Update(L"/restart-every 4", false);
    EXPECT_EQ(run.exitCode, 0u) << Narrow(run.Text());
    std::string outline;
    for (const auto& line : journal.Lines()) {
        if (line == "create") outline += "C";
        else if (line.rfind("documents get 6 ", 0) == 0) outline += "o";
        else if (line.rfind("application call 40", 0) == 0) outline += "Q";
    }
    EXPECT_EQ(outline, "CooooQCooooQCooQ");
    for (const auto& draft : drafts) EXPECT_EQ(StoredCount(draft), 1) << Narrow(draft);
    EXPECT_TRUE(Contains(run, L"ended the Solid Edge session as planned (after 4 drafts)"));
}

namespace {

class SessionsInTheWindow : public MainWindowTest {
protected:
    void TearDown() override {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Kestrow", L"Sessions");
        ClearStandInSetting(L"ViewUpdateMs");
        EXPECT_TRUE(WaitForNoStandIn(20000)) << "a stand-in server process was left running";
        KillStandIn();
    }
};

}  // namespace

// Three sessions from the window's settings; Stop ends each after its call
// in hand, each with its last call, and nothing is left half done.
TEST_F(SessionsInTheWindow, StopEndsEverySessionAfterItsCallInHand) {
    const DWORD three = 3;
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Kestrow", L"Sessions", REG_DWORD, &three, sizeof(three)),
              ERROR_SUCCESS);
    SetStandInSetting(L"ViewUpdateMs", L"300");
    TestFolder folder(L"stop three");
    std::vector<std::wstring> drafts;
    for (int i = 1; i <= 24; ++i) {
        drafts.push_back(folder / (L"d" + std::to_wstring(i) + L".dft"));
        WriteDraft(drafts.back(), 2);
    }
    BrowseTo(folder.Path());
    Journal journal;
    Click(win32::ControlId::cmdUpdate);
    const auto opened = [&] {
        const auto lines = journal.Lines();
        return std::count_if(lines.begin(), lines.end(),
                             [](const std::string& l) { return l.rfind("documents get 6", 0) == 0; });
    };
    ASSERT_TRUE(PumpUntil([&] { return opened() >= 4; }, std::chrono::seconds(30)));
    Click(win32::ControlId::cmdUpdate);
    ASSERT_TRUE(WaitForBatch());

    const auto lines = journal.Lines();
    const auto created = std::count(lines.begin(), lines.end(), "create");
    EXPECT_EQ(created, 3);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "application call 40"), created);
    int stored = 0;
    for (const auto& draft : drafts) {
        const int count = StoredCount(draft);
        stored += count;
        // Stored whole or not at all: every view current, or the draft as it was.
        EXPECT_EQ(AllViewsCurrent(draft), count == 1) << Narrow(draft);
    }
    EXPECT_LT(stored, 24) << "the stop came before the end";
    EXPECT_EQ(TextOf(win32::ControlId::Label1),
              L"Stopped: " + std::to_wstring(stored) + L" updated, " + std::to_wstring(24 - stored) + L" not reached, in : ");
}

// A draft and a hard link to it in one folder: its file is opened and
// stored once, by one of the two sessions, and the log names both names,
// the second as done under the first; the run's rows say which Kestrow
// wrote them.
TEST_F(Sessions, AFileUnderTwoNamesIsDoneOnceAndBothNamesAreLogged) {
    const auto drafts = WriteDrafts(3);
    const std::wstring link = folder / L"d01 link.dft";
    ASSERT_TRUE(CreateHardLinkW(link.c_str(), drafts[0].c_str(), nullptr));
    const ProgramRun run = Update(L"/sessions 2");
    EXPECT_EQ(run.exitCode, 0u) << Narrow(run.Text());
    const auto opened = OpenedNames(journal.Lines());
    EXPECT_EQ(std::count(opened.begin(), opened.end(), "d01.dft") + std::count(opened.begin(), opened.end(), "d01 link.dft"), 1)
        << Joined(opened);
    // The stand-in stores a draft by a new file renamed over the name it
    // opened, which parts that name from the file's other one.
    EXPECT_EQ(StoredCount(drafts[0]) + StoredCount(link), 1);

    const auto rows = Log();
    std::map<std::wstring, LoggedRow> fate;  // of the two names, by result
    for (const LoggedRow& row : rows)
        if (row.file == drafts[0] || row.file == link) fate[row.result] = row;
    EXPECT_NE(fate[L"stored"].file, fate[L"same-file"].file) << Narrow(Widen(ReadUtf8(log)));
    EXPECT_EQ(DetailValue(fate[L"same-file"].detail, L"done under"), fate[L"stored"].file);
    EXPECT_EQ(DetailValue(rows.front().detail, L"version"), kKestrowVersion) << "the version the program's record says";
}
