// Sessions started as a CAD system really starts: slowly, hanging, from a
// registration without quotes, refused for a while after a server was
// killed. Each start's process is known and ended when it is given up.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include "RunFixture.h"
#include "automation/StartTurn.h"

using namespace kestrow::wintest;

namespace {

class Starts : public RunTest {
protected:
    void SetUp() override { SetStandIn(L"JournalPids", L"1"); }
};

}  // namespace

// Every start hangs in the server's class factory: each is given up at the
// timeout and its process ended, the second session starts once the first
// has given its turn back, and the run ends by itself with its last row.
TEST_F(Starts, AHangingStartWithTwoSessionsEndsByItselfAndLeavesNothingRunning) {
    SetStandIn(L"CreateHangMs", L"600000");
    WriteDrafts(3);
    const ProgramRun run = Update(L"/sessions 2 /timeout 5", true, 120000);
    EXPECT_EQ(run.exitCode, 2u) << Narrow(run.Text());
    EXPECT_EQ(StandInProcessCount(), 0) << "a hung start's process was left running";
    EXPECT_EQ(JournalPids(journal.Lines(), "create hangs").size(), 2u);
    const auto rows = Log();
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back().result, L"run-end");
    EXPECT_EQ(rows.back().description, L"server-could-not-start");
}

// Two Kestrows at once, the first of whose servers takes longer to start
// than any fixed wait for its turn: each knows its own process, and ends
// it when it gives the session up.
TEST_F(Starts, TwoRunsWithASlowStartEachEndTheSessionTheyGaveUp) {
    SetStandIn(L"StartDelayMs", L"16000");
    TestFolder other(L"other drafts");
    WriteDrafts(1, {{1, "fault hang 60000\r\n"}});
    WriteDraft(other / L"e01.dft", 1, "fault hang 60000\r\n");
    ProgramRun first;
    std::thread beside([&] { first = Update(L"/timeout 20", false); });
    // The first server has read its settings once it journaled its start;
    // the second starts at once.
    for (const ULONGLONG end = GetTickCount64() + 20000; GetTickCount64() < end; Sleep(50))
        if (JournalPid(journal.Lines(), "start")) break;
    ClearStandInSetting(L"StartDelayMs");
    const ProgramRun second = RunKestrow(L"/update " + Quoted(other.Path()) + L" /timeout 20");
    beside.join();
    for (const ProgramRun* run : std::initializer_list<const ProgramRun*>{&first, &second}) {
        EXPECT_EQ(run->exitCode, 1u) << Narrow(run->Text());
        EXPECT_TRUE(Contains(*run, L"gave up on it and ended it")) << Narrow(run->Text());
    }
    EXPECT_EQ(StandInProcessCount(), 0) << "a session given up was left running";
}

TEST_F(Starts, AnUnquotedRegistrationUnderAPathWithSpacesUpdatesEveryDraft) {
    const UnquotedRegistration registration;
    ASSERT_TRUE(registration.registered);
    const auto drafts = WriteDrafts(3);
    const ProgramRun run = Update(L"", false);
    EXPECT_EQ(run.exitCode, 0u) << Narrow(run.Text());
    for (const auto& draft : drafts) EXPECT_EQ(StoredCount(draft), 1) << Narrow(draft);
}

// A server that is stopping refuses the activation: the start is tried
// again, and the fresh server that answers does every draft. (The setting
// is written as a number, as reg add /t REG_DWORD writes it.)
TEST_F(Starts, AStartRefusedByAStoppingServerIsTriedAgain) {
    SetStandIn(L"RefuseCreates", L"");
    const DWORD refusals = 2;
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Kestrow\\StandIn", L"RefuseCreates", REG_DWORD, &refusals,
                    sizeof(refusals));
    const auto drafts = WriteDrafts(2);
    const ProgramRun run = Update(L"", false);
    EXPECT_EQ(run.exitCode, 0u) << Narrow(run.Text());
    for (const auto& draft : drafts) EXPECT_EQ(StoredCount(draft), 1) << Narrow(draft);
    EXPECT_EQ(JournalPids(journal.Lines(), "create refused").size(), 2u);
}

// The computer-wide turn taken by somebody who lets nobody else have it:
// the run takes turns within this desktop session only, and says that starts
// may overlap, on the console and in the log.
TEST_F(Starts, WithoutAComputerWideTurnTheRunSaysStartsMayOverlap) {
    PSECURITY_DESCRIPTOR nobody = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(D;;GA;;;WD)", SDDL_REVISION_1, &nobody, nullptr));
    SECURITY_ATTRIBUTES refusing{sizeof(refusing), nobody, FALSE};
    HANDLE taken = CreateMutexExW(&refusing, L"Global\\Kestrow.SessionStart", 0, SYNCHRONIZE);
    LocalFree(nobody);
    ASSERT_NE(taken, nullptr);
    const auto drafts = WriteDrafts(1);
    const ProgramRun run = Update();
    CloseHandle(taken);
    EXPECT_EQ(run.exitCode, 0u) << Narrow(run.Text());
    EXPECT_EQ(LinesWith(run.lines, std::wstring(L"starts may overlap")), 1) << Narrow(run.Text());
    const auto rows = Log();
    const auto note = std::find_if(rows.begin(), rows.end(), [](const LoggedRow& row) { return row.result == L"note"; });
    ASSERT_NE(note, rows.end());
    EXPECT_NE(note->description.find(L"starts may overlap"), std::wstring::npos);
    EXPECT_EQ(StoredCount(drafts[0]), 1) << Narrow(run.Text()) << ReadUtf8(drafts[0]);
}

// A wait for the turn ends at its bound without it; the turn it never got
// stays free for the next start. The turn is made for every user to take.
TEST(StartTurns, AWaitEndsAtItsBoundAndTheTurnStaysFreeForEveryone) {
    const kestrow::win32::StartTurns turns;
    ASSERT_TRUE(turns.ComputerWide());
    kestrow::win32::StartTurn first(turns.Mutex()), second(turns.Mutex()), third(turns.Mutex());
    const auto always = [] { return true; };
    ASSERT_EQ(first.Take(always, std::chrono::seconds(5)), kestrow::win32::TurnTaken::Yes);
    EXPECT_EQ(second.Take(always, std::chrono::milliseconds(300)), kestrow::win32::TurnTaken::WaitedTooLong);
    first.GiveBack();
    EXPECT_EQ(third.Take(always, std::chrono::seconds(5)), kestrow::win32::TurnTaken::Yes);
    third.GiveBack();

    HANDLE readable = OpenMutexW(READ_CONTROL, FALSE, L"Global\\Kestrow.SessionStart");
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    LPWSTR text = nullptr;
    ASSERT_TRUE(readable && GetSecurityInfo(readable, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                            nullptr, nullptr, &descriptor) == ERROR_SUCCESS &&
                ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                                     DACL_SECURITY_INFORMATION, &text, nullptr));
    EXPECT_EQ(std::wstring(text), L"D:(A;;0x100001;;;WD)") << "everyone may wait for the turn and give it back";
    LocalFree(text);
    LocalFree(descriptor);
    CloseHandle(readable);
}
