// Kestrow /check against the stand-in in each state a user's CAD system may
// be in: the verdict the user must see. After every check the user's draft
// is as it was and was never opened, the user's registry is as it was, no
// folder of the check is left and no stand-in process runs.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <map>
#include <optional>

#include "RunFixture.h"
#include "scheduler/NightMenu.h"

#include "MainWindowFixture.h"
#include "resources/DialogIds.h"
#include "settings/SettingsStore.h"

using namespace kestrow::wintest;

namespace {

using RegistryValues = std::map<std::wstring, std::vector<BYTE>>;

// Every value under a key and the keys below it, by path and name.
void ReadTree(HKEY key, const std::wstring& path, RegistryValues& values) {
    wchar_t name[16384];
    BYTE data[65536];
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = 16384, size = sizeof(data), type = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        values[path + L"\\" + name + L":" + std::to_wstring(type)] = std::vector<BYTE>(data, data + size);
    }
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = 16384;
        if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY sub = nullptr;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, &sub) != ERROR_SUCCESS) continue;
        ReadTree(sub, path + L"\\" + name, values);
        RegCloseKey(sub);
    }
}

RegistryValues KestrowSettings() {
    RegistryValues values;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Kestrow", 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
    ReadTree(key, L"", values);
    RegCloseKey(key);
    return values;
}

// The folders checks made in the temporary folder and left there.
int ChecksLeftInTemp() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW((std::wstring(temp) + L"Kestrow check *").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    do ++count;
    while (FindNextFileW(find, &found));
    FindClose(find);
    return count;
}

ULONGLONG WrittenTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

// What must hold after any check, whatever it found.
class LeavesNothing {
public:
    LeavesNothing(const std::wstring& sample, const Journal& journal, std::wstring userFolder)
        : sample_(sample), journal_(journal), userFolder_(std::move(userFolder)), bytes_(ReadUtf8(sample)),
          written_(WrittenTime(sample)), settings_(KestrowSettings()) {}
    void Verify() const {
        EXPECT_EQ(ReadUtf8(sample_), bytes_) << "the user's draft was written";
        EXPECT_EQ(WrittenTime(sample_), written_) << "the user's draft was written";
        // Its copy, beside it, was opened; the draft itself never.
        const std::string sample = Narrow(sample_);
        for (const auto& line : journal_.Lines())
            EXPECT_FALSE(line.size() >= sample.size() && line.compare(line.size() - sample.size(), sample.size(), sample) == 0)
                << "the user's draft was opened: " << line;
        WIN32_FIND_DATAW found{};
        const HANDLE copies = FindFirstFileW((userFolder_ + L"\\*.kestrow-*").c_str(), &found);
        EXPECT_EQ(copies, INVALID_HANDLE_VALUE) << "the check left " << Narrow(found.cFileName);
        if (copies != INVALID_HANDLE_VALUE) FindClose(copies);
        EXPECT_TRUE(WaitForNoStandIn(20000)) << "a stand-in process was left running";
        EXPECT_EQ(ChecksLeftInTemp(), 0) << "the check's temporary folder was left";
        EXPECT_EQ(KestrowSettings(), settings_) << "the check changed the user's registry";
    }

private:
    const std::wstring& sample_;
    const Journal& journal_;
    std::wstring userFolder_;
    std::string bytes_;
    ULONGLONG written_;
    RegistryValues settings_;
};

class Checks : public RunTest {
protected:
    Checks() : RunTest(L"check drafts") {}
    void SetUp() override { WriteDraft(sample, 2); }

    // Kestrow.exe /check <arguments>; `userSession`, when given, still runs
    // afterwards and is ended before what must hold is verified.
    ProgramRun Check(const std::wstring& arguments, HANDLE userSession = nullptr) {
        const LeavesNothing after(sample, journal, folder.Path());
        ProgramRun run = RunKestrow(L"/check " + arguments, L"", 3 * 60 * 1000);
        std::printf("%s", Narrow(run.Text()).c_str());
        if (userSession) {
            EXPECT_EQ(WaitForSingleObject(userSession, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the user's session ended";
            EndStandInGently(userSession);
        }
        after.Verify();
        return run;
    }
    std::wstring Sample() const { return Quoted(sample); }

    const std::wstring sample = folder / L"Bracket.dft";
};

}  // namespace

// The check opens, updates, exports and stores a copy, writes its page, and
// refuses a page that would replace a file that is no page, as /report does.
TEST_F(Checks, APlainServerIsReadyAndOnlyACopyOfTheSampleIsOpened) {
    const std::wstring page = folder / L"check.html";
    const ProgramRun run = Check(Sample() + L" /export pdf /html " + Quoted(page));
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(Contains(run, L"\nA night can run.\n"));
    EXPECT_TRUE(Contains(run, L"/timeout 60 "));
    // One copy, beside the sample, where the draft's links resolve as in a night.
    const std::vector<std::string> opened = OpenedNames(journal.Lines());
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].rfind("Bracket.kestrow-", 0), 0u) << opened[0];
    EXPECT_TRUE(Contains(run, L"a copy of " + sample + L" beside it, under a name no night lists"));
    EXPECT_EQ(LinesWith(journal.Lines(), std::string("SaveAs")), 1);
    EXPECT_NE(ReadUtf8(page).find("A night can run."), std::string::npos);

    // Without a sample the rest is checked, and the sample's part is said
    // to be left out.
    const ProgramRun bare = Check(L"");
    EXPECT_EQ(bare.exitCode, 0u);
    EXPECT_TRUE(Contains(bare, L"no sample draft was given"));

    EXPECT_EQ(Check(Sample() + L" /html " + Sample()).exitCode, 3u);
    // A page that could not be written is said before anything is started.
    const size_t linesBefore = journal.Lines().size();
    EXPECT_EQ(Check(Sample() + L" /html " + Quoted(folder / L"no such folder\\check.html")).exitCode, 3u);
    EXPECT_EQ(journal.Lines().size(), linesBefore);
    EXPECT_EQ(Check(Sample() + L" /timeout 0").exitCode, 3u);
}

TEST_F(Checks, AnUnquotedRegistrationUnderAPathWithSpacesIsReadAsWindowsReadsIt) {
    const UnquotedRegistration registration;
    ASSERT_TRUE(registration.registered);
    const ProgramRun run = Check(Sample());
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(Contains(run, L"served by " + registration.exe + L" (without quotes)"));
    EXPECT_TRUE(Contains(run, L"Windows starts " + registration.exe + L":"));
}

TEST_F(Checks, WithoutARegistrationANightCannotRun) {
    const UnregisteredStandIn unregistered;
    ASSERT_TRUE(unregistered.done);
    const ProgramRun run = Check(Sample());
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_TRUE(Contains(run, L"SolidEdge.Application is not registered on this computer"));
}

// Not a single call reaches the user's session, and nothing starts beside it.
TEST_F(Checks, TheUsersOwnSessionIsLeftUntouchedAndTheCheckEndsThere) {
    SetStandIn(L"JournalPids", L"1");
    HANDLE user = StartStandInUserSession();
    ASSERT_NE(user, nullptr);
    const DWORD userPid = GetProcessId(user);
    const ProgramRun run = Check(Sample(), user);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_TRUE(Contains(run, L"Close Solid Edge (if it is still starting, let it open first) and check again."));
    for (const auto& line : journal.Lines()) {
        const std::optional<JournalEntry> entry = ReadJournalEntry(line);
        ASSERT_TRUE(entry) << line;
        EXPECT_EQ(entry->pid, userPid) << "another server was started: " << line;
        EXPECT_TRUE(entry->call == "start" || entry->call == "user session") << "the user's session got a call: " << line;
    }
}

// A check's copy, named as Kestrow's temporary files are, is never listed as
// a draft, whatever the CAD system's store left of its attributes.
TEST_F(Checks, ACheckCopyBesideTheSampleIsNoDraftOfANight) {
    WriteDraft(folder / L"Bracket.kestrow-9E3A51C0-4312-01DB4C2A9F3E1200-0.dft", 1);
    const ProgramRun run = Update(L"");
    EXPECT_EQ(run.exitCode, 0u) << Narrow(run.Text());
    EXPECT_EQ(OpenedNames(journal.Lines()), std::vector<std::string>{"Bracket.dft"});
    DeleteFileW((folder / L"Bracket.kestrow-9E3A51C0-4312-01DB4C2A9F3E1200-0.dft").c_str());
}

// The user's Solid Edge, slow to start, has not yet offered its class as
// the check begins: the check starts nothing and calls nothing.
TEST_F(Checks, AUserSessionStillStartingStopsTheCheckBeforeAnyStart) {
    SetStandIn(L"JournalPids", L"1");
    SetStandIn(L"MultipleUse", L"1");
    SetStandIn(L"StartDelayMs", L"7000");
    HANDLE user = StartStandIn(L"/UserSession");
    ASSERT_NE(user, nullptr);
    const DWORD userPid = GetProcessId(user);
    Sleep(1500);
    const ProgramRun run = Check(Sample(), user);
    EXPECT_EQ(run.exitCode, 1u) << Narrow(run.Text());
    EXPECT_TRUE(Contains(run, L"problem  your Solid Edge")) << Narrow(run.Text());
    for (const auto& line : journal.Lines()) {
        const std::optional<JournalEntry> entry = ReadJournalEntry(line);
        ASSERT_TRUE(entry) << line;
        EXPECT_EQ(entry->pid, userPid) << "another server was started: " << line;
    }
}

// A Solid Edge that hangs before any draft is opened would hang every
// night at the same place: the check names the call and says no.
TEST_F(Checks, AHangOnTheDocumentCollectionIsAProblemNamedByItsCall) {
    SetStandIn(L"DocumentsHangMs", L"600000");
    const ProgramRun run = Check(Sample() + L" /timeout 5");
    EXPECT_EQ(run.exitCode, 1u) << Narrow(run.Text());
    EXPECT_TRUE(Contains(run, L"the document collection did not answer within 5 s (/timeout)")) << Narrow(run.Text());
    EXPECT_FALSE(Contains(run, L"A night can run.")) << Narrow(run.Text());
}

TEST_F(Checks, AStartThatHangsIsGivenUpAtTheTimeoutAndItsProcessEnded) {
    SetStandIn(L"CreateHangMs", L"600000");
    const ProgramRun run = Check(Sample() + L" /timeout 5");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_TRUE(Contains(run, L"start did not answer within 5 s"));
    EXPECT_TRUE(Contains(run, L"ended its process"));
}

// Left open, the dialog stops a night, and the check says which /answer
// would press its button, after giving the dialog a short while to close by
// itself; with that rule, a night can run.
TEST_F(Checks, ADialogOnOpenNeedsARuleAndWithOneANightCanRun) {
    WriteDraft(sample, 1, "fault dialog 1 Missing references|Some models were not found.|OK/Cancel\r\n");
    const ProgramRun unanswered = Check(Sample());
    EXPECT_EQ(unanswered.exitCode, 1u);
    EXPECT_TRUE(Contains(unanswered, L"left open: no rule answers it"));
    // It decides the verdict: the check ends after its grace, not at 120 s.
    EXPECT_TRUE(Contains(unanswered, L"stood open for 10 s with no rule to answer it: the check ended there"));
    EXPECT_TRUE(Contains(unanswered, L" /answer \"Missing references=OK\"\n"));

    // The page carries the dialog's picture itself: the check's folder,
    // where it was kept, is gone by then.
    // OK greyed out while the dialog gets ready: pressed once enabled.
    WriteDraft(sample, 1, "fault dialog 1 Missing references|Some models were not found.|~OK/Cancel\r\n");
    const std::wstring page = folder / L"check.html";
    const ProgramRun answered = Check(Sample() + L" /answer \"Missing*=OK\" /html " + Quoted(page));
    EXPECT_EQ(answered.exitCode, 0u);
    EXPECT_TRUE(Contains(answered, L"during the sample: pressed OK"));
    EXPECT_FALSE(Contains(answered, L"left open"));
    EXPECT_TRUE(Contains(answered, L"/answer \"Missing*=OK\""));
    EXPECT_NE(ReadUtf8(page).find("src=\"data:image/png;base64,iVBOR"), std::string::npos);
}

TEST_F(Checks, AServerForEveryProgramIsReadyForOneSession) {
    SetStandIn(L"MultipleUse", L"1");
    const ProgramRun run = Check(Sample());
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(Contains(run, L"handed the first session's process"));
    EXPECT_TRUE(Contains(run, L"\n  /sessions 1 "));
    EXPECT_TRUE(Contains(run, L"Solid Edge serves every program from one process: a second session"));
}

TEST_F(Checks, WithoutSaveAsAnExportCannotBeMadeAndTheCheckNamesTheCall) {
    SetStandIn(L"NoSaveAs", L"1");
    const ProgramRun run = Check(Sample() + L" /export pdf");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_TRUE(Contains(run, L"saving the sample as pdf (the document's SaveAs) failed"));
}

namespace {

// What the check's window showed once it was done: its status, its list's
// rows (cells joined by " | "), the finding shown whole and the switches.
struct CheckShown {
    std::wstring status, detail, switches;
    std::vector<std::wstring> rows;
};

class CheckFromTheWindow : public MainWindowTest {
protected:
    CheckFromTheWindow() : MainWindowTest({}, kestrow::win32::Form1Overrides{&picker_, nullptr}) {}
    void TearDown() override { kestrow::win32::WriteStoredSettings(kept_); }

    // Closes the check's window once it is done, having read it and, with
    // `use`, pressed "Use these settings".
    Answer ReadAndClose(CheckShown& shown, bool use) {
        Answer close{IDCANCEL};
        close.before = [&shown, use] {
            const HWND dialog = FindWindowW(nullptr, L"Check Solid Edge");
            PumpUntil([&] { return IsWindowEnabled(GetDlgItem(dialog, IDC_CHECK_COPY)) != FALSE; },
                      std::chrono::minutes(2));
            const HWND list = GetDlgItem(dialog, IDC_CHECK_LIST);
            for (int row = 0; row < ListView_GetItemCount(list); ++row) {
                std::wstring cells;
                for (int column = 0; column < 4; ++column) {
                    wchar_t text[1024] = L"";
                    ListView_GetItemText(list, row, column, text, 1024);
                    cells += (column ? L" | " : L"") + std::wstring(text);
                }
                shown.rows.push_back(cells);
            }
            shown.detail = kestrow::win32::WindowText(GetDlgItem(dialog, IDC_CHECK_TEXT));
            shown.switches = kestrow::win32::WindowText(GetDlgItem(dialog, IDC_CHECK_SWITCHES));
            if (use) {
                SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_CHECK_USE, BN_CLICKED), 0);
                PumpUntil([&] { return !IsWindowEnabled(GetDlgItem(dialog, IDC_CHECK_USE)); }, std::chrono::seconds(5));
            }
            shown.status = kestrow::win32::WindowText(GetDlgItem(dialog, IDC_CHECK_STATUS));
        };
        return close;
    }
    static bool HasRow(const CheckShown& shown, const std::wstring& start) {
        return std::any_of(shown.rows.begin(), shown.rows.end(),
                           [&](const std::wstring& row) { return row.rfind(start, 0) == 0; });
    }

    FixedFolderPicker picker_;
    TestFolder folder{L"check window"};
    const kestrow::StoredSettings kept_ = kestrow::win32::ReadStoredSettings();
};

}  // namespace

// "Check Solid Edge..." checks with the listed folder's first draft; its
// findings are a list, the first problem (or the first row) shown whole
// below it; "Use these settings" takes the suggested switches into the
// window's settings.
TEST_F(CheckFromTheWindow, ChecksWithTheFirstListedDraftAndItsSuggestionsBecomeTheSettings) {
    WriteDraft(folder / L"a.dft", 1);
    picker_.folder = folder.Path();
    Press(kestrow::win32::ControlId::cmdBrowse, {});
    kestrow::StoredSettings before;
    before.restartEvery = 200;
    before.answers = {L"Other=Yes"};
    kestrow::win32::WriteStoredSettings(before);
    CheckShown shown;
    DialogWatcher watcher({ReadAndClose(shown, true)});
    SendMessageW(window_.Handle(), WM_SYSCOMMAND, kestrow::win32::NightMenuCommand::Check, 0);
    EXPECT_TRUE(HasRow(shown, L"ok | sample |  | a copy of " + folder.Path() + L"\\a.dft beside it"))
        << Narrow(shown.rows.empty() ? L"" : shown.rows.front());
    EXPECT_EQ(shown.detail.rfind(L"ok \u00B7 registration\r\nSolidEdge.Application is the class ", 0), 0u)
        << Narrow(shown.detail);
    EXPECT_NE(shown.switches.find(L"/timeout 60 /sessions 1 /restart-memory "), std::wstring::npos);
    EXPECT_EQ(shown.status, L"Settings now hold what the check suggests; Settings... shows them.");
    const kestrow::StoredSettings after = kestrow::win32::ReadStoredSettings();
    EXPECT_EQ(after.callSeconds, 60u);
    EXPECT_EQ(after.sessions, 1u);
    EXPECT_TRUE(after.restartMemoryMB.has_value());
    EXPECT_EQ(after.restartEvery, 200u);
    EXPECT_EQ(after.answers, before.answers);
    EXPECT_TRUE(WaitForNoStandIn(20000));
    EXPECT_EQ(ChecksLeftInTemp(), 0);
}

// With no folder listed the window asks for a draft to check with; a
// dialog no rule answers decides the verdict, and the check ends after a
// short grace rather than waiting out its call limit.
TEST_F(CheckFromTheWindow, WithoutAListedFolderItAsksForASampleAndADialogEndsItSoon) {
    WriteDraft(folder / L"chosen.dft", 1, "fault dialog 1 Missing references|Some models were not found.|OK/Cancel\r\n");
    Answer choose{IDOK};
    choose.fileName = folder / L"chosen.dft";
    CheckShown shown;
    DialogWatcher watcher({choose, ReadAndClose(shown, false)});
    const ULONGLONG started = GetTickCount64();
    SendMessageW(window_.Handle(), WM_SYSCOMMAND, kestrow::win32::NightMenuCommand::Check, 0);
    const ULONGLONG took = GetTickCount64() - started;
    const auto seen = watcher.Seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].title, L"Check Solid Edge");
    EXPECT_TRUE(HasRow(shown, L"ok | sample |  | a copy of " + folder.Path() + L"\\chosen.dft")) << shown.rows.size();
    EXPECT_TRUE(HasRow(shown, L"problem | dialog |  | 'Missing references: Some models were not found.'"));
    EXPECT_EQ(shown.detail.rfind(L"problem \u00B7 dialog\r\n", 0), 0u) << Narrow(shown.detail);
    EXPECT_NE(shown.detail.find(L"What to do: A night would wait on it"), std::wstring::npos) << Narrow(shown.detail);
    EXPECT_EQ(shown.status, L"A night cannot run: the problems say what to do.");
    EXPECT_TRUE(std::any_of(shown.rows.begin(), shown.rows.end(), [](const std::wstring& row) {
        return row.find(L"stood open for 10 s with no rule to answer it: the check ended there rather than wait out "
                        L"120 s (/timeout)") != std::wstring::npos;
    }));
    std::printf("the check over a dialog no rule answers took %.1f s\n", static_cast<double>(took) / 1000);
    EXPECT_TRUE(WaitForNoStandIn(20000));
}
