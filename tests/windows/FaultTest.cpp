// What the user sees when drafts, folders or the server misbehave, and that
// nothing is lost: every draft reported stored is stored, no other draft is
// touched, no server process is left and the window still answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <thread>

#include "DialogWatcher.h"
#include "MainWindowFixture.h"
#include "TestSupport.h"

using namespace kestrow;
using namespace kestrow::wintest;
namespace id = kestrow::win32::ControlId;

namespace {

bool Responsive(HWND window) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result) != 0;
}

class FaultWindow : public MainWindowTest {
protected:
    explicit FaultWindow(win32::BatchTimings timings = {}, win32::Form1Overrides overrides = {})
        : MainWindowTest(timings, overrides) {}
    void TearDown() override {
        if (window_.Handle()) EXPECT_TRUE(Responsive(window_.Handle()));
        EXPECT_TRUE(WaitForNoStandIn(20000)) << "a stand-in server process was left running";
        KillStandIn();
    }
};

// Browse without the folder dialog, for folders the dialog's tree cannot
// reach in reasonable time.
class DirectBrowse : public FaultWindow {
protected:
    DirectBrowse() : FaultWindow({}, win32::Form1Overrides{&picker_, nullptr}) {}
    void BrowseDirect(const std::wstring& folder) {
        picker_.folder = folder;
        Press(id::cmdBrowse, {});
    }
    FixedFolderPicker picker_;
};

class ShortBounds : public FaultWindow {
protected:
    ShortBounds() : FaultWindow(win32::BatchTimings{1500, 100, 2500}) {}
};

}  // namespace

TEST_F(FaultWindow, NoServerRegisteredGivesOneClearMessage) {
    TestFolder folder(L"noserver");
    WriteDraft(folder / L"a.dft", 1);
    BrowseTo(folder.Path());
    std::vector<SeenDialog> seen;
    {
        UnregisteredStandIn unregistered;
        ASSERT_TRUE(unregistered.done);
        seen = Press(id::cmdUpdate, {Answer{IDOK}});
    }

    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].icon, Icon::Error);
    EXPECT_NE(seen[0].text.find(L"SolidEdge.Application"), std::wstring::npos);
    // Windows' own number, which can be looked up.
    EXPECT_NE(seen[0].text.find(L"(0x800401F3)"), std::wstring::npos);
    EXPECT_EQ(TextOf(id::Label1), L"1 file(s) found in :");
    EXPECT_EQ(TextOf(id::Text1), folder.Path() + L"\\");
    EXPECT_TRUE(IsWindowEnabled(Child(id::Text1)));
    EXPECT_EQ(StoredCount(folder / L"a.dft"), 0);
}

// The stand-in carries the CAD system's ProgID and interface identifiers:
// it must never write over, nor delete, keys that belong to a real
// installation, and it registers nowhere but in the project's own prefix.
TEST(StandInRegistration, TouchesOnlyItsOwnKeysAndOnlyInThePrivatePrefix) {
    const wchar_t* progIdClsid = L"SolidEdge.Application\\CLSID";
    const wchar_t* viewTypeLib = L"Interface\\{A32FC151-10C7-11D0-A1C3-08003627CF02}\\TypeLib";
    const wchar_t* other = L"{11111111-2222-3333-4444-555555555555}";
    auto value = [](const wchar_t* key) {
        wchar_t text[64] = L"";
        DWORD size = sizeof(text);
        RegGetValueW(HKEY_CLASSES_ROOT, key, nullptr, RRF_RT_REG_SZ, nullptr, text, &size);
        return std::wstring(text);
    };
    auto setOther = [&](const wchar_t* key) {
        return RegSetKeyValueW(HKEY_CLASSES_ROOT, key, nullptr, REG_SZ, other,
                               static_cast<DWORD>((wcslen(other) + 1) * sizeof(wchar_t)));
    };
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring marker = std::wstring(windows) + L"\\kestrow-private-prefix";
    const std::wstring markerAway = marker + L".away";
    struct Restore {
        std::wstring marker, markerAway;
        ~Restore() {
            MoveFileW(markerAway.c_str(), marker.c_str());
            RegDeleteTreeW(HKEY_CLASSES_ROOT, L"SolidEdge.Application");
            RegDeleteTreeW(HKEY_CLASSES_ROOT, L"Interface\\{A32FC151-10C7-11D0-A1C3-08003627CF02}");
            RunStandIn(L"/RegServer");
        }
    } restore{marker, markerAway};

    ASSERT_EQ(RunStandIn(L"/UnregServer"), 0u);
    ASSERT_EQ(setOther(progIdClsid), ERROR_SUCCESS);
    EXPECT_EQ(RunStandIn(L"/RegServer"), 3u);
    EXPECT_EQ(value(progIdClsid), other);
    EXPECT_TRUE(StandInPath().empty()) << "nothing is written when one key is taken";

    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"SolidEdge.Application");
    ASSERT_EQ(setOther(viewTypeLib), ERROR_SUCCESS);
    EXPECT_EQ(RunStandIn(L"/RegServer"), 3u);
    EXPECT_EQ(value(progIdClsid), L"");
    EXPECT_EQ(RunStandIn(L"/UnregServer"), 0u);
    EXPECT_EQ(value(viewTypeLib), other) << "another server's interface key was deleted";

    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"Interface\\{A32FC151-10C7-11D0-A1C3-08003627CF02}");
    ASSERT_TRUE(MoveFileW(marker.c_str(), markerAway.c_str()));
    EXPECT_EQ(RunStandIn(L"/RegServer"), 4u);
    EXPECT_TRUE(StandInPath().empty());
}

TEST_F(FaultWindow, DraftsThatFailEachWayAreReportedAndOthersStored) {
    TestFolder folder(L"faults");
    WriteDraft(folder / L"good.dft", 2);
    WriteDraft(folder / L"noviews.dft", 0);
    // Held open without sharing, as another program that has it open does.
    WriteDraft(folder / L"locked.dft", 1);
    WriteDraft(folder / L"badview.dft", 2, "fault update\r\n");
    WriteDraft(folder / L"gone.dft", 1);
    WriteUtf8(folder / L"notadraft.dft", "PK\x03\x04 zip bytes");
    BrowseTo(folder.Path());
    ASSERT_EQ(Rows().size(), 6u);
    DeleteFileW((folder / L"gone.dft").c_str());
    HANDLE lock = CreateFileW((folder / L"locked.dft").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);

    const auto seen = Press(id::cmdUpdate, {Answer{IDCONTINUE}, Answer{IDCONTINUE}, Answer{IDCONTINUE},
                                            Answer{IDCONTINUE}, Answer{IDOK}});
    CloseHandle(lock);
    ASSERT_EQ(seen.size(), 5u);
    std::wstring reported;
    for (size_t i = 0; i < 4; ++i) reported += seen[i].text;
    // The summary names each of them again.
    for (const wchar_t* name : {L"locked.dft", L"badview.dft", L"gone.dft", L"notadraft.dft"})
        EXPECT_NE(seen[4].text.find(name), std::wstring::npos) << Narrow(name);
    for (const wchar_t* name : {L"locked.dft", L"badview.dft", L"gone.dft", L"notadraft.dft"})
        EXPECT_NE(reported.find(folder / name), std::wstring::npos) << Narrow(name);

    EXPECT_EQ(StoredCount(folder / L"good.dft"), 1);
    EXPECT_EQ(StoredCount(folder / L"noviews.dft"), 1);
    EXPECT_EQ(StoredCount(folder / L"locked.dft"), 0);
    EXPECT_EQ(StoredCount(folder / L"badview.dft"), 0);
    EXPECT_EQ(TextOf(id::Label1), L"Updated 2 of 6 files in : ");
}

TEST_F(FaultWindow, RenamedFolderFailsTheFirstFileAndCancelStops) {
    TestFolder parent(L"renamed");
    const std::wstring before = parent / L"before", after = parent / L"after";
    CreateDirectoryW(before.c_str(), nullptr);
    WriteDraft(before + L"\\a.dft", 1);
    WriteDraft(before + L"\\b.dft", 1);
    BrowseTo(before);
    ASSERT_TRUE(MoveFileW(before.c_str(), after.c_str()));
    const auto seen = Press(id::cmdUpdate, {Answer{IDCANCEL}, Answer{IDOK}});
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_NE(seen[1].text.find(L"1 drawing was not reached."), std::wstring::npos);
    EXPECT_EQ(TextOf(id::Label1), L"Stopped: 0 updated, 1 not reached, in : ");
    EXPECT_EQ(StoredCount(after + L"\\a.dft"), 0);
    EXPECT_EQ(StoredCount(after + L"\\b.dft"), 0);
}

TEST_F(FaultWindow, AServerKilledMidBatchIsReplacedAndTheBatchGoesOn) {
    TestFolder folder(L"killed");
    for (const wchar_t* name : {L"a.dft", L"b.dft", L"c.dft"}) WriteDraft(folder / name, 1);
    BrowseTo(folder.Path());
    const auto rows = Rows();
    WriteDraft(folder / rows[1], 1, "fault delay 8000\r\n");

    Journal journal;
    std::thread killer([&] {
        const std::string marker = Narrow(rows[1]);
        for (int i = 0; i < 400; ++i) {
            for (const auto& line : journal.Lines())
                if (line.find("documents get 6") == 0 && line.find(marker) != std::string::npos) {
                    Sleep(300);
                    KillStandIn();
                    return;
                }
            Sleep(50);
        }
    });
    const auto seen = Press(id::cmdUpdate, {Answer{IDCONTINUE}, Answer{IDOK}});
    killer.join();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].icon, Icon::Exclamation);
    EXPECT_NE(seen[0].text.find(L"Solid Edge stopped"), std::wstring::npos);
    EXPECT_NE(seen[0].text.find(folder / rows[1]), std::wstring::npos);
    EXPECT_EQ(TextOf(id::Label1), L"Updated 2 of 3 files in : ");
    EXPECT_EQ(StoredCount(folder / rows[0]), 1);
    EXPECT_EQ(StoredCount(folder / rows[1]), 0);
    EXPECT_EQ(StoredCount(folder / rows[2]), 1);
    // The fresh server got the settings before its draft; the dead one got
    // nothing more, and only the fresh one was told to end.
    int created = 0, settings = 0, ends = 0;
    for (const auto& line : journal.Lines()) {
        created += line == "create";
        settings += line == "application put 59 named:-3 VT_BOOL:false";
        ends += line == "application call 40";
    }
    EXPECT_EQ(created, 2);
    EXPECT_EQ(settings, 2);
    EXPECT_EQ(ends, 1);
    EXPECT_TRUE(IsWindowEnabled(Child(id::Text1)));
}

// The server does not end on idle while the client holds its objects: a
// failure box left open for a while does not lose the server under the user.
TEST_F(FaultWindow, AFailureBoxLeftOpenKeepsItsServer) {
    SetStandInSetting(L"IdleExitMs", L"1000");
    TestFolder folder(L"left open");
    WriteDraft(folder / L"a.dft", 1, "fault update\r\n");
    BrowseTo(folder.Path());
    Journal journal;
    const auto seen = Press(id::cmdUpdate, {Answer{IDTRYAGAIN, L"", [&] {
                                                Sleep(4000);
                                                WriteDraft(folder / L"a.dft", 1);
                                            }}});
    ClearStandInSetting(L"IdleExitMs");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(StoredCount(folder / L"a.dft"), 1);
    const auto lines = journal.Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "create"), 1);
}

TEST_F(FaultWindow, ABusyServerIsRetriedSilently) {
    TestFolder folder(L"busy");
    WriteDraft(folder / L"a.dft", 2, "fault busy 3000\r\n");
    WriteDraft(folder / L"b.dft", 1);
    BrowseTo(folder.Path());
    EXPECT_TRUE(Press(id::cmdUpdate, {}).empty());
    EXPECT_EQ(TextOf(id::Label1), L"Updated 2 files in : ");
    EXPECT_EQ(StoredCount(folder / L"a.dft"), 1);
    EXPECT_EQ(StoredCount(folder / L"b.dft"), 1);
}

TEST_F(FaultWindow, ASlowServerIsWaitedFor) {
    TestFolder folder(L"slow");
    WriteDraft(folder / L"a.dft", 1, "fault delay 4000\r\n");
    BrowseTo(folder.Path());
    EXPECT_TRUE(Press(id::cmdUpdate, {}).empty());
    EXPECT_EQ(StoredCount(folder / L"a.dft"), 1);
}

TEST_F(ShortBounds, BusyPastTheBoundFailsThatFileThroughTheBox) {
    TestFolder folder(L"toobusy");
    WriteDraft(folder / L"a.dft", 1, "fault busy 6000\r\n");
    BrowseTo(folder.Path());
    const auto seen = Press(id::cmdUpdate, {Answer{IDCANCEL}, Answer{IDOK}});
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].icon, Icon::Exclamation);
    EXPECT_NE(seen[0].text.find(L"stayed busy"), std::wstring::npos);
    EXPECT_EQ(TextOf(id::Label1), L"Updated 0 of 1 files in : ");
    EXPECT_EQ(StoredCount(folder / L"a.dft"), 0);
}

// Giving up on a hung server ends the wait at once and ends that server's
// process: the batch goes on with a fresh process, and none is left behind.
TEST_F(ShortBounds, AHungServerIsGivenUpEndedAndAFreshOneTakesOver) {
    SetStandInSetting(L"JournalPids", L"1");
    TestFolder folder(L"hung");
    WriteDraft(folder / L"a.dft", 1);
    WriteDraft(folder / L"b.dft", 1);
    BrowseTo(folder.Path());
    const auto rows = Rows();
    WriteDraft(folder / rows[0], 1, "fault hang 15000\r\n");
    Journal journal;
    int runningAtFailureBox = -1;
    const auto seen = Press(id::cmdUpdate, {Answer{IDNO},
                                            Answer{IDCONTINUE, L"", [&] { runningAtFailureBox = StandInProcessCount(); }},
                                            Answer{IDOK}});
    const int runningAtEnd = StandInProcessCount();
    ClearStandInSetting(L"JournalPids");
    ASSERT_EQ(seen.size(), 3u);
    // A question with buttons named by what they do.
    EXPECT_EQ(seen[0].icon, Icon::Exclamation);
    EXPECT_EQ(seen[0].buttons, (std::vector<std::wstring>{L"&Keep waiting", L"&Give up on this session"}));
    EXPECT_NE(seen[0].text.find(folder / rows[0]), std::wstring::npos);
    EXPECT_NE(seen[1].text.find(L"gave up on that session and ended it"), std::wstring::npos);
    EXPECT_EQ(runningAtFailureBox, 0) << "the hung server was still running when the failure was reported";
    EXPECT_EQ(runningAtEnd, 0);
    EXPECT_EQ(TextOf(id::Label1), L"Updated 1 of 2 files in : ");
    EXPECT_EQ(StoredCount(folder / rows[0]), 0);
    EXPECT_EQ(StoredCount(folder / rows[1]), 1);
    const auto lines = journal.Lines();
    const DWORD hung = JournalPid(lines, "documents get 6 VT_BSTR|VT_BYREF:" + Narrow(folder / rows[0]));
    const DWORD fresh = JournalPid(lines, "documents get 6 VT_BSTR|VT_BYREF:" + Narrow(folder / rows[1]));
    EXPECT_NE(hung, 0u);
    EXPECT_NE(fresh, 0u);
    EXPECT_NE(hung, fresh);
    EXPECT_EQ(JournalPids(lines, "application call 40"), std::vector<DWORD>{fresh});
}

// A server that wakes while the hang question is open gets no further call
// until the answer; on No it is ended before it can store the draft or
// leave it open, so "not stored" is true.
TEST_F(ShortBounds, AServerThatWakesDuringTheQuestionGetsNoFurtherCall) {
    SetStandInSetting(L"JournalPids", L"1");
    TestFolder folder(L"wakes");
    WriteDraft(folder / L"a.dft", 1, "fault hang 4000\r\n");
    BrowseTo(folder.Path());
    Journal journal;
    // The question comes at 2.5 s; it is answered after the server woke at 4 s.
    const auto seen =
        Press(id::cmdUpdate, {Answer{IDNO, L"", [] { Sleep(3500); }}, Answer{IDCANCEL}, Answer{IDOK}});
    ClearStandInSetting(L"JournalPids");
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_NE(seen[1].text.find(L"gave up on that session and ended it"), std::wstring::npos);
    EXPECT_EQ(StoredCount(folder / L"a.dft"), 0);
    const auto lines = journal.Lines();
    const DWORD hung = JournalPid(lines, "view call 107");
    ASSERT_NE(hung, 0u);
    EXPECT_TRUE(JournalPids(lines, "document call 6").empty()) << "the draft was closed after the server woke";
    EXPECT_TRUE(JournalPids(lines, "application call 40").empty());
    EXPECT_EQ(TextOf(id::Label1), L"Updated 0 of 1 files in : ");
}

// A start that hangs while the user is asked whether to keep waiting holds
// no turn: another Kestrow starts its own session meanwhile and does its
// drafts. The hung server that wakes meanwhile is asked nothing before the
// answer; No then ends it.
TEST_F(ShortBounds, WhileAHungStartIsAskedAboutAnotherKestrowStartsItsOwn) {
    SetStandInSetting(L"JournalPids", L"1");
    SetStandInSetting(L"CreateHangMs", L"5000");
    TestFolder folder(L"hungstart"), beside(L"beside");
    WriteDraft(folder / L"a.dft", 1);
    WriteDraft(beside / L"b.dft", 1);
    BrowseTo(folder.Path());
    Journal journal;
    ProgramRun other;
    // Asked at 2.5 s; the hung server read its settings long before, and
    // wakes at 5 s, before the answer.
    const auto seen = Press(id::cmdUpdate, {Answer{IDNO, L"", [&] {
                                                ClearStandInSetting(L"CreateHangMs");
                                                other = RunKestrow(L"/update \"" + beside.Path() + L"\"", L"", 60000);
                                                Sleep(3500);
                                            }},
                                            Answer{IDOK}});
    ClearStandInSetting(L"CreateHangMs");
    ClearStandInSetting(L"JournalPids");
    EXPECT_EQ(other.exitCode, 0u) << Narrow(other.Text());
    EXPECT_EQ(StoredCount(beside / L"b.dft"), 1) << "the other Kestrow waited for the turn of a start being asked about";
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_NE(seen[1].text.find(L"ended it"), std::wstring::npos) << Narrow(seen[1].text);
    EXPECT_EQ(StoredCount(folder / L"a.dft"), 0);
    const auto lines = journal.Lines();
    const DWORD hung = JournalPid(lines, "create hangs");
    ASSERT_NE(hung, 0u);
    for (const auto& line : lines) {
        const auto entry = ReadJournalEntry(line);
        EXPECT_FALSE(entry && entry->pid == hung && entry->call.rfind("application", 0) == 0) << line;
    }
}

TEST_F(FaultWindow, FortyThousandDraftsAreListed) {
    // Creating 40,000 files through Wine takes minutes; scripts/test.sh
    // makes the folder natively and names it here.
    const char* prepared = std::getenv("KESTROW_SCALE_FOLDER");
    if (!prepared) GTEST_SKIP() << "KESTROW_SCALE_FOLDER names no folder of 40,000 drafts";
    BrowseTo(Widen(prepared));
    EXPECT_EQ(TextOf(id::Label1), L"40000 file(s) found in :");
    EXPECT_EQ(SendMessageW(Child(id::List1), LB_GETCOUNT, 0, 0), 40000);
    wchar_t last[MAX_PATH] = L"";
    SendMessageW(Child(id::List1), LB_GETTEXT, 39999, reinterpret_cast<LPARAM>(last));
    EXPECT_EQ(std::wstring(last).substr(std::wstring(last).size() - 4), L".dft");
    EXPECT_TRUE(IsWindowEnabled(Child(id::cmdUpdate)));
}

TEST_F(DirectBrowse, AFolderThatCannotBeReadIsReportedWithItsReason) {
    TestFolder parent(L"unreadable");
    picker_.folder = parent / L"gone since it was chosen";
    const auto seen = Press(id::cmdBrowse, {Answer{IDOK}});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].icon, Icon::Error);
    EXPECT_NE(seen[0].text.find(picker_.folder), std::wstring::npos);
    EXPECT_NE(seen[0].text.find(L"0x80070003"), std::wstring::npos);  // the path was not found
    EXPECT_FALSE(Enabled(id::cmdUpdate));
}

TEST_F(DirectBrowse, LongNamesAndPathsNearTheClassicLimitAreStored) {
    TestFolder folder(L"long");
    // A folder whose drafts' full paths come to 259 characters.
    std::wstring deep = folder.Path();
    while (deep.size() < 240) {
        deep += L"\\" + std::wstring(std::min<size_t>(40, 240 - deep.size()), L'd');
        ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
    }
    const std::wstring name = std::wstring(259 - deep.size() - 1 - 4, L'x') + L".dft";
    WriteDraft(deep + L"\\" + name, 1);
    ASSERT_EQ((deep + L"\\" + name).size(), 259u);
    BrowseDirect(deep);
    ASSERT_EQ(TextOf(id::Label1), L"1 file(s) found in :");
    EXPECT_TRUE(Press(id::cmdUpdate, {}).empty());
    EXPECT_EQ(StoredCount(deep + L"\\" + name), 1);

    // A folder past the classic limit is listed and its drafts stored too.
    std::wstring deeper = deep;
    while (deeper.size() < 300) {
        deeper += L"\\" + std::wstring(40, L'e');
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + deeper).c_str(), nullptr));
    }
    WriteDraft(L"\\\\?\\" + deeper + L"\\far.dft", 1);
    BrowseDirect(deeper);
    ASSERT_EQ(TextOf(id::Label1), L"1 file(s) found in :");
    EXPECT_TRUE(Press(id::cmdUpdate, {}).empty());
    EXPECT_EQ(StoredCount(L"\\\\?\\" + deeper + L"\\far.dft"), 1);

    // A name of 200+ characters (the file system here allows 255 bytes).
    TestFolder wide(L"wide");
    const std::wstring longName = std::wstring(190, L'n') + L" \u03b1\u03b2\u03b3 #1 & \u56fe.dft";
    ASSERT_GT(longName.size(), 200u);
    WriteDraft(wide / longName, 2);
    BrowseDirect(wide.Path());
    ASSERT_EQ(TextOf(id::Label1), L"1 file(s) found in :");
    EXPECT_TRUE(Press(id::cmdUpdate, {}).empty());
    EXPECT_EQ(StoredCount(wide / longName), 1);
}

// The end of the Windows session during a batch: the query is granted at
// once, and the session's end stops the batch as a close does, before the
// window's answer, with no box and the server told to end.
TEST_F(FaultWindow, TheEndOfTheSessionStopsTheBatchQuietlyBeforeItIsAnswered) {
    TestFolder folder(L"session end");
    WriteDraft(folder / L"a.dft", 1);
    WriteDraft(folder / L"b.dft", 1);
    BrowseTo(folder.Path());
    const auto rows = Rows();
    WriteDraft(folder / rows[0], 1, "fault delay 1500\r\n");
    Journal journal;
    DialogWatcher watcher({});
    Click(id::cmdUpdate);
    // The session ends while the server is opening the first draft.
    const auto opening = [&] {
        const auto lines = journal.Lines();
        return std::any_of(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("documents get 6", 0) == 0; });
    };
    ASSERT_TRUE(PumpUntil(opening, std::chrono::seconds(30)));
    EXPECT_EQ(SendMessageW(window_.Handle(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    EXPECT_TRUE(BatchRunning()) << "the query alone stopped the batch";
    SendMessageW(window_.Handle(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_FALSE(BatchRunning());
    const auto lines = journal.Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "document call 6 VT_BOOL:false");
    EXPECT_EQ(lines.back(), "application call 40");
    EXPECT_EQ(StoredCount(folder / rows[1]), 0);
    EXPECT_TRUE(watcher.Seen().empty());
}

// A real close (the close box, Alt+F4, the task bar: a posted SC_CLOSE)
// during a batch stops it once the call in hand is done: the drawing in hand
// is let go unstored (no view of it was updated yet), no other is opened,
// the server is told to end, and then the program ends.
TEST_F(FaultWindow, ClosingDuringABatchEndsTheServerFirst) {
    TestFolder folder(L"quit");
    WriteDraft(folder / L"a.dft", 1);
    WriteDraft(folder / L"b.dft", 1);
    BrowseTo(folder.Path());
    const auto rows = Rows();
    WriteDraft(folder / rows[0], 1, "fault delay 3000\r\n");
    Journal journal;
    const HWND handle = window_.Handle();
    Click(id::cmdUpdate);
    // The close comes while the server is still opening the first draft.
    PumpUntil([] { return false; }, std::chrono::milliseconds(1500));
    PostMessageW(handle, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(handle); }, std::chrono::seconds(30)));
    const auto lines = journal.Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "document call 6 VT_BOOL:false");
    EXPECT_EQ(lines.back(), "application call 40");
    EXPECT_EQ(StoredCount(folder / rows[0]), 0);
    EXPECT_EQ(StoredCount(folder / rows[1]), 0);
    int opened = 0;
    for (const auto& line : lines) opened += line.rfind("documents get 6", 0) == 0;
    EXPECT_EQ(opened, 1);
    // The program would end now; the test goes on with the next window.
    MSG quit;
    while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}
