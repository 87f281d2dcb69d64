// A draft is stored whole or left exactly as it was: a CAD system that dies
// halfway through writing a draft in place, a draft that cannot be copied
// before it is opened, and copies left by a run of Kestrow that was killed.
#include <gtest/gtest.h>

#include <algorithm>

#include "MainWindowFixture.h"
#include "RunFixture.h"
#include "TestSupport.h"
#include "files/DraftCopyFolder.h"
#include "unattended/RunLog.h"

using namespace kestrow;
using namespace kestrow::wintest;
namespace id = kestrow::win32::ControlId;

namespace {

// A data folder of the test's own for Kestrow, for the test's process and
// every Kestrow.exe it starts.
class PrivateDataFolder {
public:
    PrivateDataFolder() : folder_(L"data") { SetEnvironmentVariableW(L"KESTROW_DATA_FOLDER", folder_.Path().c_str()); }
    ~PrivateDataFolder() { SetEnvironmentVariableW(L"KESTROW_DATA_FOLDER", nullptr); }
    std::wstring Copies() const { return folder_ / L"Copies"; }
    // Every file and folder under the copies folder, by path from it.
    std::vector<std::wstring> CopiesContent() const { return Entries(Copies(), L""); }

private:
    static std::vector<std::wstring> Entries(const std::wstring& folder, const std::wstring& prefix) {
        std::vector<std::wstring> found;
        WIN32_FIND_DATAW entry{};
        const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE) return found;
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            found.push_back(prefix + name);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                for (auto& inner : Entries(folder + L"\\" + name, prefix + name + L"\\")) found.push_back(inner);
        } while (FindNextFileW(find, &entry));
        FindClose(find);
        return found;
    }
    TestFolder folder_;
};

// A draft's bytes and last write time, as the test left it.
struct DraftOnDisk {
    std::string bytes;
    unsigned long long written = 0;
    explicit DraftOnDisk(const std::wstring& path) : bytes(ReadUtf8(path)) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
            written = (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                      data.ftLastWriteTime.dwLowDateTime;
    }
    bool operator==(const DraftOnDisk& other) const { return bytes == other.bytes && written == other.written; }
};

// A draft written an hour ago, so that a put back that loses its time shows.
void WriteOldDraft(const std::wstring& path, const std::string& extra) {
    WriteDraft(path, 2, extra);
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
    t.QuadPart -= 36000000000ULL;
    const FILETIME hourAgo{t.LowPart, t.HighPart};
    SetFileTime(file, nullptr, nullptr, &hourAgo);
    CloseHandle(file);
}

DWORD LinkCount(const std::wstring& path) {
    const HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    const bool read = file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &info);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return read ? info.nNumberOfLinks : 0;
}

bool JournalOpened(const Journal& journal, const std::string& name) {
    for (const auto& line : journal.Lines())
        if (line.rfind("documents get 6", 0) == 0 && line.find(name) != std::string::npos) return true;
    return false;
}

class DraftCopies : public MainWindowTest {
protected:
    DraftCopies() : MainWindowTest({}, win32::Form1Overrides{&picker_, nullptr}) {}
    void TearDown() override {
        EXPECT_TRUE(WaitForNoStandIn(20000)) << "a stand-in server process was left running";
        KillStandIn();
    }
    void BrowseDirect(const std::wstring& folder) {
        picker_.folder = folder;
        Press(id::cmdBrowse, {});
    }
    FixedFolderPicker picker_;
    PrivateDataFolder data_;
};

// Command-line runs with a data folder of their own.
class CopiesRun : public RunTest {
protected:
    std::vector<LoggedRow> RowsOfRun(const std::wstring& run) const {
        std::vector<LoggedRow> rows = Log();
        rows.erase(std::remove_if(rows.begin(), rows.end(), [&](const LoggedRow& row) { return row.run != run; }), rows.end());
        return rows;
    }
    PrivateDataFolder data_;
};

const LoggedRow* RowOf(const std::vector<LoggedRow>& rows, const std::wstring& result, const std::wstring& file) {
    for (const LoggedRow& row : rows)
        if (row.result == result && row.file == file) return &row;
    return nullptr;
}

}  // namespace

TEST_F(DraftCopies, AStoreCutShortByACrashLeavesTheDraftAsItWasAndSaysNotStored) {
    TestFolder folder(L"torn");
    WriteOldDraft(folder / L"a.dft", "fault tornstore\r\n");
    WriteDraft(folder / L"b.dft", 1);
    const DraftOnDisk before(folder / L"a.dft");
    BrowseDirect(folder.Path());
    Journal journal;
    const auto seen = Press(id::cmdUpdate, {Answer{IDCONTINUE}, Answer{IDOK}});

    bool torn = false;
    for (const auto& line : journal.Lines()) torn = torn || line == "  tornstore";
    EXPECT_TRUE(torn) << "the stand-in did not write the draft in place";
    EXPECT_TRUE(DraftOnDisk(folder / L"a.dft") == before) << ReadUtf8(folder / L"a.dft");
    EXPECT_EQ(StoredCount(folder / L"b.dft"), 1);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_NE(seen[0].text.find(L"This drawing was not stored."), std::wstring::npos);
    EXPECT_NE(seen[1].text.find(L"a.dft - "), std::wstring::npos);
    EXPECT_EQ(seen[1].text.find(L"copy kept"), std::wstring::npos) << "put back: no copy of a damaged draft";
    EXPECT_NE(seen[1].text.find(L"a.dft - the version put back over is kept at "), std::wstring::npos);
    EXPECT_EQ(TextOf(id::Label1), L"Updated 1 of 2 files in : ");
    // The half-written draft is kept too: whoever wrote it, nothing is lost.
    EXPECT_EQ(data_.CopiesContent().size(), 4u) << "the run's folder, the copy, the version replaced, the record";
}

// Unattended, and a torn draft whose file has a second name elsewhere: the
// file itself is put back, under both names.
TEST_F(DraftCopies, UnattendedATornDraftIsPutBackAndALockedOneIsNotOpened) {
    TestFolder folder(L"unattended copies"), elsewhere(L"elsewhere");
    WriteOldDraft(folder / L"locked.dft", "");
    WriteOldDraft(folder / L"torn.dft", "fault tornstore\r\n");
    WriteDraft(folder / L"ok.dft", 1);
    const DraftOnDisk tornBefore(folder / L"torn.dft");
    ASSERT_TRUE(CreateHardLinkW((elsewhere / L"same file.dft").c_str(), (folder / L"torn.dft").c_str(), nullptr));
    const std::wstring log = folder / L"run.csv";
    Journal journal;
    ProgramRun run;
    {
        const HANDLE locked = CreateFileW((folder / L"locked.dft").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                          nullptr);
        ASSERT_NE(locked, INVALID_HANDLE_VALUE);
        run = RunKestrow(L"/update " + Quoted(folder.Path()) + L" /log " + Quoted(log));
        CloseHandle(locked);
    }
    std::printf("%s\n", Narrow(run.Text()).c_str());
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_FALSE(JournalOpened(journal, "locked.dft")) << "a draft without a copy was opened";
    EXPECT_TRUE(JournalOpened(journal, "torn.dft"));
    EXPECT_TRUE(DraftOnDisk(folder / L"torn.dft") == tornBefore) << ReadUtf8(folder / L"torn.dft");
    EXPECT_TRUE(DraftOnDisk(elsewhere / L"same file.dft") == tornBefore) << ReadUtf8(elsewhere / L"same file.dft");
    EXPECT_EQ(LinkCount(folder / L"torn.dft"), 2u) << "the draft's name was parted from its file";
    EXPECT_EQ(StoredCount(folder / L"locked.dft"), 0);
    EXPECT_EQ(StoredCount(folder / L"ok.dft"), 1);
    const std::string rows = ReadUtf8(log);
    EXPECT_NE(rows.find(",failed," + Narrow(folder / L"torn.dft")), std::string::npos) << rows;
    EXPECT_NE(rows.find(",failed," + Narrow(folder / L"locked.dft")), std::string::npos) << rows;
    EXPECT_NE(rows.find("not opened, as no copy of it could be kept first"), std::string::npos) << rows;
    EXPECT_NE(rows.find(",stored," + Narrow(folder / L"ok.dft")), std::string::npos) << rows;
    EXPECT_EQ(run.Text().find(L"copy kept"), std::wstring::npos);
    const auto logged = ReadLog(log);
    const LoggedRow* torn = RowOf(logged, L"failed", folder / L"torn.dft");
    ASSERT_TRUE(torn);
    EXPECT_NE(ReadUtf8(kestrow::DetailValue(torn->detail, L"replaced")), ReadUtf8(folder / L"torn.dft"))
        << "the half-written draft is kept beside its copy";
    EXPECT_EQ(data_.CopiesContent().size(), 4u);
}

// The window asks about the copies a killed run left of this batch's
// drafts once, not at every Update, and restores nothing; a run over
// another folder does not name them.
TEST_F(DraftCopies, ACopyLeftByAKilledRunIsAskedAboutOnceAndNotRestored) {
    TestFolder first(L"killed run");
    TestFolder second(L"next run");
    WriteDraft(first / L"hung.dft", 1, "fault hang 30000\r\n");
    WriteDraft(first / L"ok.dft", 1);
    WriteDraft(second / L"next.dft", 1);
    {
        Journal journal;
        // Ended from outside while its server hangs, as a power cut would.
        const ProgramRun killed = RunKestrow(L"/update " + Quoted(first.Path()), L"", 8000);
        EXPECT_EQ(killed.exitCode, 99u);
        EXPECT_TRUE(JournalOpened(journal, "hung.dft"));
    }
    KillStandIn();
    const auto left = data_.CopiesContent();
    ASSERT_EQ(left.size(), 3u) << "the run's folder, a copy and its record";
    WriteUtf8(first / L"hung.dft", "changed by the user since\r\n");

    BrowseDirect(first.Path());
    const auto asked = Press(id::cmdUpdate, {Answer{IDNO}});
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NE(asked[0].text.find(first / L"hung.dft"), std::wstring::npos);
    EXPECT_NE(asked[0].text.find(data_.Copies()), std::wstring::npos);
    EXPECT_NE(std::find(asked[0].buttons.begin(), asked[0].buttons.end(), L"&Open the folder"), asked[0].buttons.end());
    EXPECT_EQ(StoredCount(first / L"ok.dft"), 0) << "No leaves everything as it is";

    const auto again = Press(id::cmdUpdate, {Answer{IDCONTINUE}, Answer{IDOK}});
    ASSERT_EQ(again.size(), 2u) << "the failure and the summary, and no second question about the copy";
    EXPECT_NE(again[0].text.find(L"Not a draft file"), std::wstring::npos);
    EXPECT_EQ(StoredCount(first / L"ok.dft"), 1);

    const ProgramRun next = RunKestrow(L"/update " + Quoted(second.Path()));
    EXPECT_EQ(next.exitCode, 0u);
    EXPECT_FALSE(Contains(next, L"earlier run")) << Narrow(next.Text());
    EXPECT_EQ(ReadUtf8(first / L"hung.dft"), "changed by the user since\r\n");
    EXPECT_EQ(data_.CopiesContent(), left);
}

// A run killed in the middle of a draft leaves its copy; the next run over
// that folder names it in its log, stores the draft and retires the copy;
// the run after says nothing of it.
TEST_F(CopiesRun, ACopyLeftByAKilledRunIsLoggedUntilARunStoresItsDraft) {
    const auto drafts = WriteDrafts(2, {{1, "fault hang 30000\r\n"}});
    EXPECT_EQ(RunKestrow(L"/update " + Quoted(folder.Path()) + L" /log " + Quoted(log), L"", 8000).exitCode, 99u);
    KillStandIn();
    ASSERT_EQ(data_.CopiesContent().size(), 3u);

    WriteDraft(drafts[0], 1);
    EXPECT_EQ(Update().exitCode, 0u);
    const auto next = RowsOfRun(L"2");
    const LoggedRow* kept = RowOf(next, L"kept-copy", drafts[0]);
    const LoggedRow* retired = RowOf(next, L"retired-copy", drafts[0]);
    ASSERT_TRUE(kept && retired && RowOf(next, L"stored", drafts[0])) << ReadUtf8(log);
    const std::wstring copy = kestrow::DetailValue(kept->detail, L"copy");
    EXPECT_EQ(copy.rfind(data_.Copies(), 0), 0u) << Narrow(kept->detail);
    EXPECT_NE(kestrow::DetailValue(kept->detail, L"left by").find(L"run 1 of " + log), std::wstring::npos);
    EXPECT_EQ(kestrow::DetailValue(retired->detail, L"copy"), copy);
    EXPECT_TRUE(data_.CopiesContent().empty());

    EXPECT_EQ(Update().exitCode, 0u);
    for (const LoggedRow& row : RowsOfRun(L"3")) EXPECT_EQ(row.result.find(L"copy"), std::wstring::npos) << Narrow(row.file);
}

// Another program writes the draft while the CAD system has it open
// without holding it, and the attempt fails: the draft is put back as it
// was, and the version found is kept beside the copy; the log names both.
TEST_F(CopiesRun, APutBackOverAnotherWritersSaveKeepsBothVersionsAndNamesThem) {
    const auto drafts = WriteDrafts(1, {{1, "fault unlocked\r\nfault delay 8000\r\nfault update\r\n"}});
    const std::string before = ReadUtf8(drafts[0]);
    const std::string theirs = "KESTROW-DRAFT 1\r\nstored 7\r\nview Front current\r\n";
    PROCESS_INFORMATION run = Start();
    for (int i = 0; i < 1200 && !JournalOpened(journal, "d01.dft"); ++i) Sleep(50);
    // While the server waits, having read the draft; a write that meets its
    // read is made again.
    for (int i = 0; i < 100 && ReadUtf8(drafts[0]) != theirs; ++i, Sleep(20)) WriteUtf8(drafts[0], theirs);
    EXPECT_EQ(WaitForExit(run), 1u);

    EXPECT_EQ(ReadUtf8(drafts[0]), before);
    const auto rows = Log();
    const LoggedRow* failed = RowOf(rows, L"failed", drafts[0]);
    ASSERT_TRUE(failed) << ReadUtf8(log);
    const std::wstring copy = kestrow::DetailValue(failed->detail, L"copy");
    const std::wstring replaced = kestrow::DetailValue(failed->detail, L"replaced");
    EXPECT_EQ(ReadUtf8(copy), before) << Narrow(failed->detail);
    EXPECT_EQ(ReadUtf8(replaced), theirs) << Narrow(failed->detail);
    EXPECT_NE(failed->description.find(replaced), std::wstring::npos);
}

// Each put back over a changed draft keeps what it replaced under a name of
// its own: a second one (Try Again after a failed put back) never writes
// over the first, and the copy's record names both.
TEST_F(CopiesRun, ASecondPutBackKeepsTheVersionTheFirstReplaced) {
    const auto drafts = WriteDrafts(1);
    win32::DraftCopyFolder copies;
    const kestrow::DraftCopy copy = copies.Keep(drafts[0]);
    const std::string before = ReadUtf8(drafts[0]);
    std::vector<std::wstring> kept;
    for (const char* change : {"first change\r\n", "second change\r\n"}) {
        WriteUtf8(drafts[0], change);
        kept.push_back(copies.PutBack(copy));
        EXPECT_EQ(ReadUtf8(kept.back()), change);
        EXPECT_EQ(ReadUtf8(drafts[0]), before);
    }
    EXPECT_EQ(ReadUtf8(kept[0]), "first change\r\n");
    const std::string record = ReadUtf8(copy.copyPath.substr(0, copy.copyPath.size() - 4) + L".txt");
    for (const std::wstring& path : kept) {
        const std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
        const std::string wide(reinterpret_cast<const char*>(name.data()), name.size() * sizeof(wchar_t));
        EXPECT_NE(record.find(wide), std::string::npos) << Narrow(name);
    }
}
