// Kestrow calls only CAD processes it started for the run, and none of
// them outlives it: not a user's session that took over the class's
// registration, not a server it gave up on, not one its killed predecessor
// left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <thread>

#include <objbase.h>

#include "RunFixture.h"

using namespace kestrow::wintest;

namespace {


// Waits up to `ms` for a journal line that contains `text`.
bool WaitForLine(const Journal& journal, const std::string& text, DWORD ms) {
    for (const ULONGLONG end = GetTickCount64() + ms; GetTickCount64() < end; Sleep(50))
        for (const auto& line : journal.Lines())
            if (line.find(text) != std::string::npos) return true;
    return false;
}

bool WaitForEnd(DWORD pid, DWORD ms) {
    for (const ULONGLONG end = GetTickCount64() + ms; GetTickCount64() < end; Sleep(50))
        if (!ProcessRuns(pid)) return true;
    return !ProcessRuns(pid);
}

unsigned long long CreationTime(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    GetProcessTimes(process, &created, &exited, &kernel, &user);
    return (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// The user's own session, started on a thread of its own as soon as the
// journal shows `line` (registered for every program when `forAll`).
std::thread UserStartsOn(const Journal& journal, std::string line, HANDLE& user, bool forAll) {
    return std::thread([&journal, line, &user, forAll] {
        if (!WaitForLine(journal, line, 30000)) return;
        // The look-up of the running session needs COM on this thread.
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (forAll) SetStandInSetting(L"MultipleUse", L"1");
        user = StartStandInUserSession();
        if (forAll) ClearStandInSetting(L"MultipleUse");
        CoUninitialize();
    });
}

// What a run saw of the session the user started while it ran, which is
// ended afterwards.
struct BesideUser {
    ProgramRun run;
    DWORD userPid = 0;  // 0 when the user's session did not start
    bool userStillRuns = false;
    std::vector<std::string> lines;  // the journal once the run ended
};

class OwnSessions : public RunTest {
protected:
    void SetUp() override { SetStandIn(L"JournalPids", L"1"); }

    // A run of `switches` while the user starts their own session as the
    // journal shows `line` (see UserStartsOn).
    BesideUser UpdateWhileUserStarts(const std::string& line, bool forAll, const std::wstring& switches) {
        HANDLE user = nullptr;
        std::thread starter = UserStartsOn(journal, line, user, forAll);
        BesideUser seen{Update(switches, false)};
        starter.join();
        if (!user) return seen;
        seen.userPid = GetProcessId(user);
        seen.userStillRuns = WaitForSingleObject(user, 0) == WAIT_TIMEOUT;
        seen.lines = journal.Lines();
        EndStandInGently(user);
        return seen;
    }
};

// What the process journaled beyond its start and the activations COM made
// of it: no call of the contract, no look-up by name belongs there.
std::vector<std::string> CallsBeyondActivation(const std::vector<std::string>& lines, DWORD pid) {
    std::vector<std::string> calls;
    for (const auto& line : lines) {
        if (std::strtoul(line.c_str(), nullptr, 10) != pid) continue;
        const std::string call = line.substr(line.find(": ") + 2);
        if (call != "start" && call != "user session" && call != "create") calls.push_back(call);
    }
    return calls;
}

// A session record as Kestrow writes them.
void WriteRecord(const std::wstring& folder, HANDLE server, DWORD ownerId, unsigned long long ownerCreation) {
    const DWORD serverId = GetProcessId(server);
    const unsigned long long serverCreation = CreationTime(server);
    char text[160];
    std::snprintf(text, sizeof(text), "server %lu %llu\r\nowner %lu %llu\r\n", static_cast<unsigned long>(serverId),
                  serverCreation, static_cast<unsigned long>(ownerId), ownerCreation);
    WriteUtf8(folder + L"\\server-" + std::to_wstring(serverId) + L"-" + std::to_wstring(serverCreation) + L".txt",
              text);
}

}  // namespace

// The user starts their own session, registered for every client, while
// Kestrow works; Kestrow's server then crashes. The replacement activation
// lands in the user's session: it gets no call, the run ends as for a CAD
// system already running, and the user's session goes on.
TEST_F(OwnSessions, AUserSessionThatTookTheRegistrationGetsNoCall) {
    const auto drafts = WriteDrafts(3, {{1, "fault delay 4000\r\n"}, {2, "fault crash\r\n"}});
    const BesideUser seen = UpdateWhileUserStarts("d01.dft", true, L"/timeout 30");
    ASSERT_NE(seen.userPid, 0u);

    EXPECT_EQ(seen.run.exitCode, 2u) << Narrow(seen.run.Text());
    EXPECT_TRUE(Contains(seen.run, L"already running")) << Narrow(seen.run.Text());
    EXPECT_TRUE(seen.userStillRuns);
    EXPECT_EQ(StoredCount(drafts[0]), 1);
    EXPECT_EQ(StoredCount(drafts[2]), 0);
    // The activation reached the user's process; no call of the contract did.
    EXPECT_EQ(CallsBeyondActivation(seen.lines, seen.userPid), std::vector<std::string>{});
    EXPECT_EQ(JournalPids(seen.lines, "create").size(), 2u);
}

// The user starts their own session in the second after a start was refused
// by a stopping server (as at the replacement of one that crashed), whether
// the CAD system serves every program from one process or one each. That
// process gets no call, is not told to quit, is not ended and is in no job;
// whichever process served the start, the run lets go of it as of a CAD
// system already running: a process without COM's switch appeared during it.
class UserStartAfterARefusal : public OwnSessions, public ::testing::WithParamInterface<bool> {};

TEST_P(UserStartAfterARefusal, NeverTouchesTheUsersProcess) {
    const bool multipleUse = GetParam();
    if (multipleUse) SetStandIn(L"MultipleUse", L"1");
    // Two refusals: the user's process has two seconds to appear before a
    // try that could take it, however slow the machine is.
    SetStandIn(L"RefuseCreates", L"2");
    const auto drafts = WriteDrafts(2);
    HANDLE user = nullptr;
    std::thread starter = UserStartsOn(journal, "create refused", user, false);
    const ProgramRun run = Update(L"/timeout 60", false);
    starter.join();
    ASSERT_NE(user, nullptr);
    const DWORD userPid = GetProcessId(user);
    const bool userStillRuns = WaitForSingleObject(user, 0) == WAIT_TIMEOUT;
    BOOL inJob = TRUE;
    const bool jobKnown = IsProcessInJob(user, nullptr, &inJob) != FALSE;
    const auto lines = journal.Lines();
    EndStandInGently(user);

    EXPECT_TRUE(userStillRuns) << "the user's own session was ended";
    EXPECT_TRUE(jobKnown && !inJob) << "the user's own session was put in a job";
    EXPECT_EQ(CallsBeyondActivation(lines, userPid), std::vector<std::string>{}) << "the user's session was called";
    EXPECT_EQ(run.exitCode, 2u) << Narrow(run.Text());
    EXPECT_TRUE(Contains(run, L"already running")) << Narrow(run.Text());
    for (const auto& draft : drafts) EXPECT_EQ(StoredCount(draft), 0) << Narrow(draft);
}

// The user double-clicked Solid Edge, registered for every program and slow
// to start, a second and a half before the night: its process runs but has
// not yet offered its class. The night starts nothing, calls nothing, and
// ends as for a CAD system already running; the user's session goes on.
TEST_F(OwnSessions, AUserSessionStillStartingIsNeverTaken) {
    SetStandIn(L"MultipleUse", L"1");
    SetStandIn(L"StartDelayMs", L"7000");
    const auto drafts = WriteDrafts(2);
    HANDLE user = StartStandIn(L"/UserSession");
    ASSERT_NE(user, nullptr);
    Sleep(1500);
    const ProgramRun run = Update(L"/timeout 60");
    const bool userStillRuns = WaitForSingleObject(user, 0) == WAIT_TIMEOUT;
    const DWORD userPid = GetProcessId(user);
    const auto lines = journal.Lines();
    EndStandInGently(user);

    EXPECT_EQ(run.exitCode, 2u) << Narrow(run.Text());
    EXPECT_TRUE(Contains(run, L"Solid Edge is already running on this computer, or is still starting"))
        << Narrow(run.Text());
    EXPECT_TRUE(userStillRuns) << "the user's own session was ended";
    EXPECT_EQ(CallsBeyondActivation(lines, userPid), std::vector<std::string>{}) << "the user's session was called";
    EXPECT_EQ(JournalPids(lines, "start"), std::vector<DWORD>{userPid}) << "a session was started beside it";
    for (const auto& draft : drafts) EXPECT_EQ(StoredCount(draft), 0) << Narrow(draft);
    const auto rows = Log();
    EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [](const LoggedRow& row) {
        return row.result == L"note" && row.description.find(L"still starting") != std::wstring::npos;
    })) << "the log does not say why nothing was done";
}

INSTANTIATE_TEST_SUITE_P(Registrations, UserStartAfterARefusal, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "MultipleUse" : "SingleUse";
                         });

// Another program has COM start the CAD system while Kestrow's own start is
// under way: two processes appear with the launch switch. The application
// names its process, and only that one is the session's; the other gets no
// call, is not ended and is in no job.
TEST_F(OwnSessions, TwoServersStartedAtOnceTheApplicationNamesItsOwn) {
    SetStandIn(L"StartDelayMs", L"3000");
    const auto drafts = WriteDrafts(1);
    HANDLE other = nullptr;
    std::thread starter([&] {
        if (!WaitForLine(journal, ": start", 20000)) return;
        // A server that never offers its class: it can serve nobody.
        SetStandInSetting(L"StartDelayMs", L"600000");
        other = StartStandIn(L"-Embedding");
        if (other) WaitForLine(journal, std::to_string(GetProcessId(other)) + ": start", 10000);
        SetStandInSetting(L"StartDelayMs", L"3000");
    });
    const ProgramRun run = Update(L"/timeout 60");
    starter.join();
    ASSERT_NE(other, nullptr);
    const DWORD otherPid = GetProcessId(other);
    const bool otherRuns = WaitForSingleObject(other, 0) == WAIT_TIMEOUT;
    BOOL inJob = TRUE;
    IsProcessInJob(other, nullptr, &inJob);
    TerminateProcess(other, 0);
    WaitForSingleObject(other, 5000);
    CloseHandle(other);
    const auto lines = journal.Lines();

    EXPECT_EQ(run.exitCode, 0u) << Narrow(run.Text());
    EXPECT_EQ(StoredCount(drafts[0]), 1);
    const std::vector<DWORD> asked = JournalPids(lines, "application GetIDsOfNames ProcessID");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NE(asked[0], otherPid);
    EXPECT_EQ(JournalPids(lines, "documents get 6"), asked);
    EXPECT_TRUE(otherRuns && !inJob) << "the other program's server was ended, or put in Kestrow's job";
    for (const auto& row : Log()) EXPECT_NE(row.result, L"note") << Narrow(row.description);
}

// The user starts their own session, registered for every program, while
// the server COM launched for Kestrow is still starting, and it serves the
// activation: the start is let go of as of a CAD system already running,
// and the launched server, which serves nobody, does not outlive the run.
// The user's session goes on.
TEST_F(OwnSessions, AServerLaunchedForAStartHandedToAUsersSessionIsEnded) {
    SetStandIn(L"StartDelayMs", L"3000");
    WriteDrafts(1);
    const BesideUser seen = UpdateWhileUserStarts(": start", true, L"/timeout 60");
    ASSERT_NE(seen.userPid, 0u);

    EXPECT_EQ(seen.run.exitCode, 2u) << Narrow(seen.run.Text());
    EXPECT_TRUE(Contains(seen.run, L"already running")) << Narrow(seen.run.Text());
    EXPECT_TRUE(seen.userStillRuns) << "the user's own session was ended";
    EXPECT_EQ(CallsBeyondActivation(seen.lines, seen.userPid), std::vector<std::string>{});
    std::vector<DWORD> launched = JournalPids(seen.lines, "start");
    launched.erase(std::remove(launched.begin(), launched.end(), seen.userPid), launched.end());
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_FALSE(ProcessRuns(launched[0])) << "the server launched for the start outlived the run";
}

// Kestrow ended abruptly (as by a power cut or kill -KILL) takes its server
// with it.
TEST_F(OwnSessions, AKilledKestrowLeavesNoServer) {
    WriteDrafts(1, {{1, "fault hang 60000\r\n"}});
    // Ended from outside once its time is up, with the server hanging.
    Update(L"/timeout 120", false, 6000);
    const DWORD server = JournalPid(journal.Lines(), "documents get 6");
    ASSERT_NE(server, 0u);
    EXPECT_TRUE(WaitForEnd(server, 10000));
}

// A run first ends the sessions a Kestrow that no longer runs left behind,
// recognised by their records, and nothing else: not a session whose Kestrow
// still runs, not the user's own (which then stops the run as today).
TEST_F(OwnSessions, LeftoverSessionsOfAGoneKestrowAreEndedAndNoOthers) {
    TestFolder data(L"data");
    WriteDrafts(1);
    const std::wstring sessions = data / L"Sessions";
    ASSERT_TRUE(CreateDirectoryW(sessions.c_str(), nullptr));
    // Servers that never offer their class object, so that only the records
    // tell who they belong to.
    SetStandIn(L"StartDelayMs", L"600000");
    HANDLE leftover = StartStandIn(L"-Embedding");
    HANDLE stillOwned = StartStandIn(L"-Embedding");
    HANDLE goneOwner = StartStandIn(L"-Embedding");
    // Each has read its settings once it journaled its start.
    for (const ULONGLONG end = GetTickCount64() + 20000; GetTickCount64() < end; Sleep(50))
        if (JournalPids(journal.Lines(), "start").size() == 3) break;
    ClearStandInSetting(L"StartDelayMs");
    ASSERT_EQ(JournalPids(journal.Lines(), "start").size(), 3u);
    ASSERT_TRUE(leftover && stillOwned && goneOwner);
    const DWORD goneOwnerId = GetProcessId(goneOwner);
    const unsigned long long goneOwnerCreation = CreationTime(goneOwner);
    WriteRecord(sessions, goneOwner, goneOwnerId, goneOwnerCreation);  // stale once it is gone
    TerminateProcess(goneOwner, 1);
    WaitForSingleObject(goneOwner, 5000);
    WriteRecord(sessions, leftover, goneOwnerId, goneOwnerCreation);
    WriteRecord(sessions, stillOwned, GetCurrentProcessId(), CreationTime(GetCurrentProcess()));
    HANDLE user = StartStandInUserSession();
    ASSERT_NE(user, nullptr);

    SetEnvironmentVariableW(L"KESTROW_DATA_FOLDER", data.Path().c_str());
    const ProgramRun run = Update(L"", false);
    SetEnvironmentVariableW(L"KESTROW_DATA_FOLDER", nullptr);

    EXPECT_EQ(run.exitCode, 2u) << Narrow(run.Text());
    EXPECT_TRUE(Contains(run, L"already running"));
    EXPECT_EQ(WaitForSingleObject(leftover, 0), WAIT_OBJECT_0) << "the leftover session still runs";
    EXPECT_EQ(WaitForSingleObject(stillOwned, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(user, 0), WAIT_TIMEOUT);
    int records = 0;
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW((sessions + L"\\*.txt").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do ++records;
        while (FindNextFileW(find, &found));
        FindClose(find);
    }
    EXPECT_EQ(records, 1) << "only the record of the session whose Kestrow runs is kept";
    EXPECT_EQ(StoredCount(folder / L"d01.dft"), 0);
    // The two that never offered their class object can simply be killed.
    for (HANDLE process : {leftover, stillOwned, goneOwner}) {
        TerminateProcess(process, 0);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
    EndStandInGently(user);
}
