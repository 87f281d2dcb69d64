// Several sessions of the CAD system at once, from the command line: each a
// process of its own working beside the others, every draft opened once,
// and a crash or a hang in one costing only its own draft.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "TestSupport.h"

using namespace kestrow::wintest;

namespace {

class Sessions : public ::testing::Test {
protected:
    void SetUp() override { SetStandInSetting(L"ViewUpdateMs", L"150"); }
    void TearDown() override {
        ClearStandInSetting(L"ViewUpdateMs");
        ClearStandInSetting(L"OrphanExitMs");
        EXPECT_TRUE(WaitForNoStandIn(20000)) << "a stand-in server process was left running";
        KillStandIn();
    }
};

std::vector<std::wstring> WriteDrafts(const TestFolder& folder, int count, int faultAt = 0,
                                      const std::string& fault = "", int secondFaultAt = 0,
                                      const std::string& secondFault = "") {
    std::vector<std::wstring> paths;
    for (int i = 1; i <= count; ++i) {
        wchar_t name[16];
        swprintf(name, 16, L"d%02d.dft", i);
        paths.push_back(folder / name);
        WriteDraft(paths.back(), 2, i == faultAt ? fault : i == secondFaultAt ? secondFault : "");
    }
    return paths;
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
    TestFolder folder(L"three sessions");
    const auto drafts = WriteDrafts(folder, 12);
    Journal journal;
    const ProgramRun run = RunKestrow(L"/update \"" + folder.Path() + L"\" /sessions 3 /log \"" + folder.Path() +
                                      L"\\log.csv\"");
    EXPECT_EQ(run.exitCode, 0u) << Narrow(run.Text());
    const auto lines = journal.Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "create"), 3);
    EXPECT_EQ(CreatedBeforeFirstQuit(lines), 3) << "the sessions did not work at the same time";
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "application call 40"), 3);
    for (const auto& draft : drafts) {
        EXPECT_EQ(StoredCount(draft), 1) << Narrow(draft);
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "documents get 6 VT_BSTR|VT_BYREF:" + Narrow(draft)), 1)
            << Narrow(draft);
    }
    std::set<std::wstring> named;
    for (const auto& line : run.lines)
        if (line.rfind(L"stored  ", 0) == 0) named.insert(line.substr(line.rfind(L"[session ")));
    EXPECT_EQ(named, (std::set<std::wstring>{L"[session 1]", L"[session 2]", L"[session 3]"}));
    const std::string log = ReadUtf8(folder / L"log.csv");
    for (const auto& draft : drafts) EXPECT_NE(log.find(Narrow(draft) + ","), std::string::npos) << Narrow(draft);
}

TEST_F(Sessions, ACrashAndAHangInOneSessionCostOnlyTheirDrafts) {
    // The hung server wakes after its client has gone; then it ends soon.
    SetStandInSetting(L"OrphanExitMs", L"2000");
    TestFolder folder(L"crash and hang");
    const auto drafts = WriteDrafts(folder, 12, 4, "fault crash\r\n", 8, "fault hang 9000\r\n");
    const ProgramRun run =
        RunKestrow(L"/update \"" + folder.Path() + L"\" /sessions 3 /timeout 3");
    EXPECT_EQ(run.exitCode, 1u) << Narrow(run.Text());
    EXPECT_NE(run.Text().find(L"Updated 10 of 12 files in"), std::wstring::npos) << Narrow(run.Text());
    for (size_t i = 0; i < drafts.size(); ++i)
        EXPECT_EQ(StoredCount(drafts[i]), i == 3 || i == 7 ? 0 : 1) << Narrow(drafts[i]);
}
