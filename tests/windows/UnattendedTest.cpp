// Kestrow.exe from the command line, as a schedule or a script runs it:
// each exit code, the log against what is really on disk, and a run that
// loses its server twice and still stores every other draft.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "RunFixture.h"
#include "unattended/ResumePlan.h"
#include "unattended/RunLog.h"

using namespace kestrow::wintest;

namespace {

class Unattended : public RunTest {
protected:
    Unattended() : RunTest(L"\u03a3\u03c7\u03ad\u03b4\u03b9\u03b1 night run") {}
};

WORD PeSubsystem(const std::wstring& path) {
    const std::string bytes = ReadUtf8(path);
    if (bytes.size() < sizeof(IMAGE_DOS_HEADER)) return 0;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data());
    if (static_cast<size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS64) > bytes.size()) return 0;
    return reinterpret_cast<const IMAGE_NT_HEADERS64*>(bytes.data() + dos->e_lfanew)->OptionalHeader.Subsystem;
}

}  // namespace

TEST_F(Unattended, UsageAndBadRequestsTouchNothing) {
    const ProgramRun usage = RunKestrow(L"/?");
    EXPECT_EQ(usage.exitCode, 0u);
    EXPECT_TRUE(Contains(usage, L"Kestrow.exe /update <folder> [/subfolders] [/log <file> [/resume]] [/timeout <seconds>]"));

    WriteDraft(folder / L"a.dft", 1);
    const std::vector<std::pair<std::wstring, std::wstring>> cases = {
        {L"/frobnicate", L"Unknown switch: /frobnicate"},
        {L"-update", L"-update needs a value."},
        {L"/update " + Quoted(folder / L"missing"), L"the folder cannot be found"},
        {L"/update " + Quoted(folder / L"a.dft"), L"this is a file, not a folder"},
        {L"/update " + Quoted(folder.Path()) + L" /log " + Quoted(folder / L"no such folder\\run.csv"),
         L"the log cannot be written"},
        {L"/update " + Quoted(folder.Path()) + L" /timeout soon", L"/timeout needs a whole number"},
    };
    for (const auto& [arguments, why] : cases) {
        const ProgramRun run = RunKestrow(arguments);
        EXPECT_EQ(run.exitCode, 3u) << Narrow(arguments);
        EXPECT_TRUE(Contains(run, why)) << Narrow(run.Text());
    }
    EXPECT_TRUE(journal.Lines().empty()) << "a server was started";
    EXPECT_EQ(StoredCount(folder / L"a.dft"), 0);
}

TEST_F(Unattended, ARunOverATreeStoresEveryDraftAndLogsEachOne) {
    const std::wstring sub = folder / L"Sub dir";
    CreateDirectoryW(sub.c_str(), nullptr);
    const std::vector<std::wstring> drafts = {folder / L"a, b & c.dft", folder / L"b.dft", sub + L"\\c.dft"};
    for (const auto& draft : drafts) WriteDraft(draft, 2);

    // A relative folder is taken from the current directory.
    const std::wstring parent = folder.Path().substr(0, folder.Path().find_last_of(L'\\'));
    const std::wstring relative = folder.Path().substr(parent.size() + 1);
    for (int run = 1; run <= 2; ++run) {
        const ProgramRun result =
            RunKestrow(L"-Update " + Quoted(relative) + L" -SUBFOLDERS /log " + Quoted(log), parent);
        EXPECT_EQ(result.exitCode, 0u) << Narrow(result.Text());
        EXPECT_TRUE(Contains(result, L"stored  Sub dir\\c.dft"));
        EXPECT_TRUE(Contains(result, L"Updated 3 of 3 files in " + folder.Path() + L"\\."));
    }
    int headers = 0;
    const auto fates = Fates(ReadLog(log, &headers));
    EXPECT_EQ(headers, 1) << "an existing log gets no second header";
    // Each draft was stored twice, and the log says so: the name with a
    // comma quoted.
    for (const auto& draft : drafts) EXPECT_EQ(StoredCount(draft), 2) << Narrow(draft);
    EXPECT_EQ(fates.at(folder / L"a, b & c.dft"), L"stored");
    EXPECT_EQ(fates.at(sub + L"\\c.dft"), L"stored");
    EXPECT_EQ(fates.size(), 3u);
    for (const auto& row : Log())
        if (row.result == L"stored") EXPECT_FALSE(row.size.empty()) << Narrow(row.file);

    TestFolder empty(L"no drafts");
    const ProgramRun none = RunKestrow(L"/update " + Quoted(empty.Path()));
    EXPECT_EQ(none.exitCode, 0u);
    EXPECT_TRUE(Contains(none, L"No Draft file(s) in"));
}

// A tree with a subfolder that cannot be read, made by scripts/test.sh, which
// runs this test without the permissions by which root reads everything:
// the rest is updated, the folder logged, and the exit code is 1.
TEST_F(Unattended, AnUnreadableSubfolderIsLoggedAndTheRestUpdated) {
    const char* fixture = std::getenv("KESTROW_UNREADABLE_TREE");
    if (!fixture) GTEST_SKIP() << "KESTROW_UNREADABLE_TREE names no prepared tree";
    const std::wstring tree = Widen(fixture);
    const std::wstring treeLog = tree + L"\\log.csv";
    DeleteFileW(treeLog.c_str());
    const ProgramRun run = RunKestrow(L"/update " + Quoted(tree) + L" /subfolders /log " + Quoted(treeLog));
    EXPECT_EQ(run.exitCode, 1u) << Narrow(run.Text());
    EXPECT_TRUE(Contains(run, L"unreadable  " + tree + L"\\Locked\\  (")) << Narrow(run.Text());
    EXPECT_TRUE(Contains(run, L"Updated 2 of 2 files in " + tree + L"\\. 1 folder could not be read."));
    const auto fates = Fates(ReadLog(treeLog));
    EXPECT_EQ(fates.size(), 3u);
    EXPECT_EQ(fates.at(tree + L"\\Locked\\"), L"unreadable");
    EXPECT_EQ(fates.at(tree + L"\\top.dft"), L"stored");
    EXPECT_EQ(fates.at(tree + L"\\A\\a.dft"), L"stored");
    EXPECT_EQ(StoredCount(tree + L"\\A\\a.dft"), 1);
}

// Twenty drafts: the fifth crashes its server, the twelfth hangs it past
// the timeout, the sixteenth fails on its own. Each of those three costs
// itself only; a fresh server takes the rest.
TEST_F(Unattended, AServerThatCrashesOrHangsCostsOnlyTheDraftInHand) {
    const auto drafts =
        WriteDrafts(20, {{5, "fault crash\r\n"}, {12, "fault hang 12000\r\n"}, {16, "fault update\r\n"}});
    const ProgramRun run = Update(L"/timeout 3");
    // The server given up on was ended then, and the last one at the end.
    EXPECT_EQ(StandInProcessCount(), 0);
    EXPECT_EQ(run.exitCode, 1u) << Narrow(run.Text());
    EXPECT_TRUE(Contains(run, L"Updated 17 of 20 files in"));
    const auto fates = Fates(Log());
    ASSERT_EQ(fates.size(), 20u);
    for (int i = 1; i <= 20; ++i) {
        const std::wstring& path = drafts[static_cast<size_t>(i - 1)];
        const bool failing = i == 5 || i == 12 || i == 16;
        EXPECT_EQ(fates.at(path), failing ? L"failed" : L"stored") << Narrow(path);
        EXPECT_EQ(StoredCount(path), failing ? 0 : 1) << Narrow(path);
    }
    // Three servers: the first crashed, the second was given up, the third
    // ended the run and was the only one told to end.
    const auto lines = journal.Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "create"), 3);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "application call 40"), 1);
}

TEST_F(Unattended, ExitCodeTwoWhenNoSessionOfItsOwnCanBeStarted) {
    WriteDraft(folder / L"a.dft", 1);

    // The user's own session runs: it is not used, and nothing is touched.
    HANDLE session = StartStandInUserSession();
    ASSERT_NE(session, nullptr);
    const ProgramRun busy = Update();
    TerminateProcess(session, 0);
    WaitForSingleObject(session, 5000);
    CloseHandle(session);
    EXPECT_EQ(busy.exitCode, 2u);
    EXPECT_TRUE(Contains(busy, L"already running"));
    EXPECT_EQ(journal.Lines(), std::vector<std::string>{"user session"});

    // No server is registered at all.
    UnregisteredStandIn unregistered;
    const ProgramRun none = Update();
    EXPECT_EQ(none.exitCode, 2u);
    EXPECT_TRUE(Contains(none, L"could not be started"));
    EXPECT_EQ(Fates(Log()).at(folder / L"a.dft"), L"not-reached");
    EXPECT_EQ(StoredCount(folder / L"a.dft"), 0);
}

// A run killed in the middle of a draft, as a power cut would end it, then
// resumed: only the drafts it did not store are opened, the one in hand
// among them, and so is a stored draft that changed on disk since.
TEST_F(Unattended, AKilledRunIsResumedWhereItStopped) {
    const auto drafts = WriteDrafts(6, {{4, "fault delay 20000\r\n"}});
    {
        PROCESS_INFORMATION kestrow = StartKestrow(L"/update " + Quoted(folder.Path()) + L" /log " + Quoted(log));
        ASSERT_NE(kestrow.hProcess, nullptr);
        bool inHand = false;
        for (int waited = 0; waited < 60000 && !inHand; waited += 100) {
            Sleep(100);
            const auto opened = OpenedNames(journal.Lines());
            inHand = std::find(opened.begin(), opened.end(), "d04.dft") != opened.end();
        }
        TerminateProcess(kestrow.hProcess, 99);
        WaitForSingleObject(kestrow.hProcess, 10000);
        CloseHandle(kestrow.hThread);
        CloseHandle(kestrow.hProcess);
        KillStandIn();
        ASSERT_TRUE(inHand) << "d04.dft was never opened";
    }
    EXPECT_EQ(StoredCount(drafts[2]), 1);
    EXPECT_EQ(StoredCount(drafts[3]), 0);
    // d02 is changed after it was stored; d04 loses its slow opening.
    WriteDraft(drafts[1], 2);
    WriteDraft(drafts[3], 1);

    journal.Clear();
    const ProgramRun resumed = Update(L"/resume");
    EXPECT_EQ(resumed.exitCode, 0u) << Narrow(resumed.Text());
    EXPECT_TRUE(Contains(resumed, L"in hand when the run was cut short: d04.dft")) << Narrow(resumed.Text());
    EXPECT_TRUE(Contains(resumed, L"2 drafts stored then and unchanged since are skipped")) << Narrow(resumed.Text());
    EXPECT_EQ(OpenedNames(journal.Lines()), (std::vector<std::string>{"d02.dft", "d04.dft", "d05.dft", "d06.dft"}));
    for (const auto& draft : drafts) EXPECT_EQ(StoredCount(draft), 1) << Narrow(draft);

    // The log is complete: one run, ended, every draft's last row stored.
    int headers = 0;
    const auto fates = Fates(ReadLog(log, &headers));
    EXPECT_EQ(headers, 1);
    EXPECT_EQ(fates.size(), 6u);
    for (const auto& [file, result] : fates) EXPECT_EQ(result, L"stored") << Narrow(file);
    const kestrow::LastRun last = kestrow::ReadLastRun(Widen(ReadUtf8(log)), kestrow::LogLayout::WithDetails);
    EXPECT_EQ(last.number, 1);
    EXPECT_TRUE(last.completed);
}

// /log writes only into a Kestrow log that nobody else is writing: a
// drawing, or a log held by another writer, is refused before anything is
// touched. New logs start with a byte-order mark; a six-column log keeps
// its six columns.
TEST_F(Unattended, TheLogIsNeverAnotherFileAndNeverShared) {
    WriteDraft(folder / L"a.dft", 1);
    const std::string drawing = ReadUtf8(folder / L"a.dft");
    const std::wstring run = L"/update " + Quoted(folder.Path()) + L" /log ";
    WriteDraft(folder / L"b.dft", 1);
    const std::string other = ReadUtf8(folder / L"b.dft");
    const ProgramRun refused = RunKestrow(run + Quoted(folder / L"b.dft"));
    EXPECT_EQ(refused.exitCode, 3u);
    EXPECT_TRUE(Contains(refused, L"is not a Kestrow log")) << Narrow(refused.Text());
    EXPECT_EQ(ReadUtf8(folder / L"b.dft"), other);
    DeleteFileW((folder / L"b.dft").c_str());

    const std::wstring held = folder / L"held.csv";
    WriteUtf8(held, "\xEF\xBB\xBFtime,result,file,error,source,description,run,seconds,size,written\r\n");
    HANDLE writer = CreateFileW(held.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    const ProgramRun busy = RunKestrow(run + Quoted(held));
    CloseHandle(writer);
    EXPECT_EQ(busy.exitCode, 3u);
    EXPECT_TRUE(Contains(busy, L"in use by another program")) << Narrow(busy.Text());
    EXPECT_TRUE(journal.Lines().empty()) << "a server was started";
    EXPECT_EQ(ReadUtf8(folder / L"a.dft"), drawing);

    // An empty file counts as new.
    const std::wstring fresh = folder / L"fresh.csv";
    WriteUtf8(fresh, "");
    EXPECT_EQ(RunKestrow(run + Quoted(fresh)).exitCode, 0u);
    EXPECT_EQ(ReadUtf8(fresh).rfind(
                  "\xEF\xBB\xBFtime,result,file,error,source,description,run,seconds,size,written,session,detail\r\n", 0),
              0u);

    // A log of the earlier version: six columns on, and /resume does everything.
    const std::wstring old = folder / L"old.csv";
    const std::string oldText = "time,result,file,error,source,description\r\n"
                                "2026-12-06T02:00:00+01:00,stored," + Narrow(folder / L"a.dft") + ",,,\r\n";
    WriteUtf8(old, oldText);
    const ProgramRun again = RunKestrow(run + Quoted(old) + L" /resume");
    EXPECT_EQ(again.exitCode, 0u);
    EXPECT_TRUE(Contains(again, L"records no runs: every draft is updated")) << Narrow(again.Text());
    EXPECT_EQ(StoredCount(folder / L"a.dft"), 2);
    EXPECT_EQ(ReadUtf8(old).rfind(oldText, 0), 0u);
    const auto oldRows = ReadLog(old);
    ASSERT_FALSE(oldRows.empty());
    EXPECT_EQ(oldRows.back().columns, 6u);
    EXPECT_EQ(Fates(oldRows).at(folder / L"a.dft"), L"stored");
}

// Kestrow.com beside Kestrow.exe: a console program (cmd and PowerShell
// wait for it), the same run, its lines and its exit code.
TEST_F(Unattended, TheConsoleTwinRunsTheSameRunAsAConsoleProgram) {
    const std::wstring exe = KestrowExe();
    const std::wstring twin = exe.substr(0, exe.size() - 4) + L".com";
    EXPECT_EQ(PeSubsystem(twin), IMAGE_SUBSYSTEM_WINDOWS_CUI);
    EXPECT_EQ(PeSubsystem(exe), IMAGE_SUBSYSTEM_WINDOWS_GUI);

    WriteDraft(folder / L"a.dft", 1);
    WriteDraft(folder / L"b.dft", 1, "fault store\r\n");
    const ProgramRun run = RunKestrow(L"/update " + Quoted(folder.Path()), L"", 5 * 60 * 1000, twin);
    EXPECT_EQ(run.exitCode, 1u) << Narrow(run.Text());
    EXPECT_TRUE(Contains(run, L"stored  a.dft"));
    EXPECT_TRUE(Contains(run, L"Updated 1 of 2 files in ")) << Narrow(run.Text());
    // Typed as "Kestrow" in cmd: the hint names the program so.
    const ProgramRun bad = RunKestrow(L"/update", L"", 60000, twin, L"Kestrow");
    EXPECT_EQ(bad.exitCode, 3u);
    EXPECT_TRUE(Contains(bad, L"/update needs a value."));
    EXPECT_TRUE(Contains(bad, L"\nKestrow /? shows how to use the command line.")) << Narrow(bad.Text());
}

namespace {

// Kestrow.com /update in a console of its own, its output to a file, is
// stopped by `stop` once it has opened its second draft, and waited for:
// the run stops after the draft in hand, its session gets its quit, every
// draft gets its row, and the twin returns the run's exit code. The rows.
std::vector<LoggedRow> RunStoppedFromOutside(RunTest& test, const std::function<void(DWORD twin)>& stop) {
    const auto drafts = test.WriteDrafts(8, {{1, "fault delay 1500\r\n"}, {2, "fault delay 1500\r\n"}});
    const std::wstring exe = KestrowExe(), output = test.folder / L"output.txt";
    const std::wstring twin = exe.substr(0, exe.size() - 4) + L".com";
    std::wstring command = Quoted(twin) + L" /update " + Quoted(test.folder.Path()) + L" /log " + Quoted(test.log);
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError =
        CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    PROCESS_INFORMATION run{};
    EXPECT_TRUE(CreateProcessW(twin.c_str(), command.data(), nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE, nullptr,
                               nullptr, &startup, &run));
    CloseHandle(startup.hStdOutput);
    for (int i = 0; i < 1200 && OpenedNames(test.journal.Lines()).size() < 2; ++i) Sleep(50);
    stop(run.dwProcessId);
    EXPECT_EQ(WaitForExit(run), 1u);
    const auto rows = test.Log();
    EXPECT_EQ(rows.back().description, L"stopped");
    EXPECT_EQ(Fates(rows).size(), drafts.size()) << "every draft has its row";
    EXPECT_EQ(Fates(rows).at(drafts.back()), L"not-reached");
    EXPECT_EQ(LinesWith(test.journal.Lines(), std::string("application call 40")), 1) << "the session got its quit";
    EXPECT_NE(ReadUtf8(output).find("not reached"), std::string::npos) << ReadUtf8(output);
    return rows;
}

}  // namespace

// Logging off during a run: Windows asks the run's hidden window, which
// lets the session end, and by the time the window has answered that it
// is ending, the run has written its last row, which says why it stopped.
TEST_F(Unattended, LoggingOffStopsTheRunAndTheLogGetsItsRows) {
    const auto rows = RunStoppedFromOutside(*this, [&](DWORD) {
        // The hidden window by which a command-line run hears the end of the session.
        const HWND window = FindWindowW(L"KestrowSessionEnd", nullptr);
        ASSERT_TRUE(window) << "no window hears the end of the session";
        DWORD_PTR answer = 0;
        ASSERT_TRUE(SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK, 60000, &answer));
        EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE)) << "the session is never held up";
        EXPECT_TRUE(SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_BLOCK, 120000, &answer));
        EXPECT_EQ(Log().back().result, L"run-end");
    });
    EXPECT_EQ(kestrow::DetailValue(rows.back().detail, L"stopped by"), L"Windows is logging off");
}

// Ctrl+C in the console of Kestrow.com, whose output goes to a file:
// Kestrow.exe shares that console and stops its run; Kestrow.com waits.
TEST_F(Unattended, CtrlCInTheConsoleTwinsConsoleStopsTheRun) {
    RunStoppedFromOutside(*this, [](DWORD twin) {
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        EXPECT_EQ(RunKestrow(L"--press-ctrl-c " + std::to_wstring(twin), L"", 60000, self).exitCode, 0u);
    });
}
