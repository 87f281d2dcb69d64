// Exports under Wine, against the stand-in's SaveAs: files made beside the
// drafts in the same open, old files kept whole whatever fails, a tree
// mirrored under another folder, a killed run's temporary file removed by
// the next run, and the window's system menu.
#include <gtest/gtest.h>

#include <algorithm>

#include "MainWindowFixture.h"
#include "RunFixture.h"
#include "common/LongPath.h"
#include "window/ExportMenu.h"
#include "settings/RegistrySettings.h"

using namespace kestrow::wintest;
namespace win32 = kestrow::win32;

namespace {

class Exports : public RunTest {
protected:
    Exports() : RunTest(L"exports") {}
    // The names of a folder's files that hold `part`, in order.
    static std::vector<std::wstring> FilesWith(const std::wstring& folderPath, const std::wstring& part) {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW entry{};
        const HANDLE find = FindFirstFileW((folderPath + L"\\*").c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE) return names;
        do
            if (std::wstring(entry.cFileName).find(part) != std::wstring::npos) names.push_back(entry.cFileName);
        while (FindNextFileW(find, &entry));
        FindClose(find);
        std::sort(names.begin(), names.end());
        return names;
    }
    std::wstring Pdf(int draft) const { return folder / (L"d0" + std::to_wstring(draft) + L".pdf"); }
    static bool IsPdf(const std::wstring& path) { return ReadUtf8(path).rfind("%PDF-1.4", 0) == 0; }
};

}  // namespace

TEST_F(Exports, ThreeDraftsAreExportedBesideThemselvesBetweenTheirUpdateAndTheirStore) {
    const auto drafts = WriteDrafts(3, {}, 2);
    const ProgramRun run = Update(L"/export PDF");
    EXPECT_EQ(run.exitCode, 0u) << Narrow(run.Text());

    // Each draft: its views, SaveAs (looked up once a session) to a
    // temporary name beside it that keeps the extension, then its store.
    std::vector<std::string> order;
    for (const std::string& line : journal.Lines()) {
        if (line.rfind("document call 10001 VT_BSTR:", 0) == 0)
            EXPECT_EQ(Widen(line.substr(28)).rfind(folder / L"d0", 0), 0u) << line;
        if (line == "view call 107" || line.rfind("document call", 0) == 0 || line.rfind("document GetIDs", 0) == 0)
            order.push_back(line.substr(0, line.find(" VT_BSTR:")));
    }
    const std::vector<std::string> each{"view call 107", "view call 107", "document call 10001",
                                        "document call 6 VT_BOOL:true"};
    std::vector<std::string> expected{each[0], each[1], "document GetIDsOfNames SaveAs", each[2], each[3]};
    for (int i = 1; i < 3; ++i) expected.insert(expected.end(), each.begin(), each.end());
    EXPECT_EQ(order, expected);

    // Each stored row is followed by its export's, which tells the file and its size.
    const auto rows = Log();
    std::vector<std::wstring> exported;
    for (size_t i = 1; i < rows.size(); ++i)
        if (rows[i].result == L"exported" && rows[i - 1].result == L"stored" && rows[i].file == rows[i - 1].file)
            exported.push_back(rows[i].detail);
    ASSERT_EQ(exported.size(), 3u);
    EXPECT_EQ(exported[2], L"to: " + Pdf(3) + L" | format: pdf | size: " + std::to_wstring(ReadUtf8(Pdf(3)).size()));
    for (int i = 1; i <= 3; ++i) EXPECT_TRUE(IsPdf(Pdf(i)) && StoredCount(drafts[static_cast<size_t>(i - 1)]) == 1) << i;
    EXPECT_TRUE(Contains(run, L"exported  d03.dft  as pdf: " + Pdf(3)));
    EXPECT_TRUE(Contains(run, L"Exported 3 of 3 files."));
    EXPECT_TRUE(FilesWith(folder.Path(), L".kestrow-").empty());
}

// Each old file stays byte for byte: an export that writes half and fails,
// a read-only target, and a target a viewer holds open. The drafts are
// stored all the same, the other one exported, and the run says so.
TEST_F(Exports, AFailedExportKeepsTheOldFileAndTheDraftIsStored) {
    const auto drafts = WriteDrafts(4, {{1, "fault exporthalf\r\n"}});
    for (int i = 1; i <= 4; ++i) WriteUtf8(Pdf(i), "%PDF old " + std::to_string(i));
    SetFileAttributesW(Pdf(2).c_str(), FILE_ATTRIBUTE_READONLY);
    const HANDLE viewer = CreateFileW(Pdf(3).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(viewer, INVALID_HANDLE_VALUE);

    const ProgramRun run = Update(L"/export pdf");
    CloseHandle(viewer);
    SetFileAttributesW(Pdf(2).c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(run.exitCode, 1u) << Narrow(run.Text());
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(ReadUtf8(Pdf(i)), "%PDF old " + std::to_string(i));
    EXPECT_TRUE(IsPdf(Pdf(4)));
    EXPECT_TRUE(FilesWith(folder.Path(), L".kestrow-").empty());
    std::map<std::wstring, std::wstring> failed;
    for (const LoggedRow& row : Log())
        if (row.result == L"export-failed") failed[row.file] = row.description;
    const std::vector<std::wstring> why{L"Simulated failure halfway through saving", L"is read-only, so it was not replaced",
                                        L"could not be replaced; it is as it was"};
    EXPECT_EQ(failed.size(), 3u);
    for (size_t i = 0; i < why.size(); ++i) EXPECT_NE(failed[drafts[i]].find(why[i]), std::wstring::npos) << i;
    for (const auto& [draft, fate] : Fates(Log())) EXPECT_EQ(fate, L"stored") << Narrow(draft);
    EXPECT_TRUE(Contains(run, L"Exported 1 of 4 files; failed: d01.dft as pdf, d02.dft as pdf, d03.dft as pdf."));
}

// /exportto with two formats: the tree's folders are made under it, deep
// enough that its paths pass the classic limit; nothing lands beside the
// drafts.
TEST_F(Exports, ATreeExportedToAnotherFolderLandsMirrored) {
    const std::wstring sub = folder / L"Sub";
    CreateDirectoryW(sub.c_str(), nullptr);
    WriteDraft(folder / L"top.dft", 1);
    WriteDraft(sub + L"\\b.dft", 1);
    const TestFolder out(L"exports-out");
    const std::wstring deep = kestrow::ExtendedLengthPath(out / (L"Deep " + std::wstring(230, L'x')));

    const ProgramRun run = Update(L"/subfolders /export dxf,pdf /exportto " + Quoted(kestrow::OrdinaryPath(deep)));
    EXPECT_EQ(run.exitCode, 0u) << Narrow(run.Text());
    for (const std::wstring name : {L"top.pdf", L"top.dxf", L"Sub\\b.pdf", L"Sub\\b.dxf"}) {
        const bool pdf = name.find(L".pdf") != std::wstring::npos;
        EXPECT_EQ(ReadUtf8(deep + L"\\" + name).substr(0, 5), pdf ? "%PDF-" : "  0\nS") << Narrow(name);
        DeleteFileW((deep + L"\\" + name).c_str());
    }
    for (const std::wstring& beside : {folder.Path(), sub})
        for (const wchar_t* kind : {L".pdf", L".dxf", L".kestrow-"}) EXPECT_TRUE(FilesWith(beside, kind).empty());
    RemoveDirectoryW((deep + L"\\Sub").c_str());
    RemoveDirectoryW(deep.c_str());
}

// A run killed while the CAD system writes an export leaves the old file
// and a half-written temporary one. The next run with /resume removes that
// file (and no file of a Kestrow that still runs, nor anybody else's, nor
// another computer's written within the day), skips the draft stored and
// exported before the kill, and redoes the one in hand.
TEST_F(Exports, AKilledRunLeavesTheOldFileAndTheNextRunRemovesItsTemporaryFile) {
    const auto drafts = WriteDrafts(2, {{2, "fault exportslow 60000\r\n"}});
    WriteUtf8(Pdf(2), "%PDF old");
    // This test's own process stands for a Kestrow that still runs.
    FILETIME created{}, unused{};
    GetProcessTimes(GetCurrentProcess(), &created, &unused, &unused, &unused);
    wchar_t running[128];
    swprintf(running, 128, L"d09.kestrow-%lu-%08lX%08lX-1.pdf", GetCurrentProcessId(), created.dwHighDateTime,
             created.dwLowDateTime);
    WriteUtf8(folder / running, "%PDF half");
    WriteUtf8(folder / L"notes.kestrow-plan.pdf", "somebody's");
    // Another computer's, whose process ids mean nothing here: one written
    // now, one two days ago.
    const std::wstring otherComputers = L"d08.kestrow-00C0FFEE-77-0000000000000005-1.pdf";
    WriteUtf8(folder / otherComputers, "%PDF being written");
    WriteUtf8(folder / L"d07.kestrow-00C0FFEE-77-0000000000000005-1.pdf", "%PDF left");
    {
        const HANDLE file = CreateFileW((folder / L"d07.kestrow-00C0FFEE-77-0000000000000005-1.pdf").c_str(),
                                        FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        FILETIME now{};
        GetSystemTimeAsFileTime(&now);
        const ULONGLONG twoDaysAgo = ((ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime) - 2 * 864000000000ULL;
        const FILETIME written{DWORD(twoDaysAgo), DWORD(twoDaysAgo >> 32)};
        SetFileTime(file, nullptr, nullptr, &written);
        CloseHandle(file);
    }

    PROCESS_INFORMATION kestrow =
        StartKestrow(L"/update " + Quoted(folder.Path()) + L" /log " + Quoted(log) + L" /export pdf");
    ASSERT_NE(kestrow.hProcess, nullptr);
    bool halfWritten = false;
    for (int waited = 0; waited < 60000 && !halfWritten; waited += 100) {
        Sleep(100);
        const auto lines = journal.Lines();
        halfWritten = std::find(lines.begin(), lines.end(), "  export half written") != lines.end();
    }
    TerminateProcess(kestrow.hProcess, 99);
    WaitForExit(kestrow);
    KillStandIn();
    ASSERT_TRUE(halfWritten);
    EXPECT_EQ(ReadUtf8(Pdf(2)), "%PDF old");
    EXPECT_EQ(FilesWith(folder.Path(), L"d02.kestrow-").size(), 1u) << "the killed run's half-written file";

    WriteDraft(drafts[1], 1);  // without its slow export
    journal.Clear();
    const ProgramRun next = Update(L"/resume /export pdf");
    EXPECT_EQ(next.exitCode, 0u) << Narrow(next.Text());
    EXPECT_EQ(OpenedNames(journal.Lines()), std::vector<std::string>{"d02.dft"});
    EXPECT_TRUE(IsPdf(Pdf(2)));
    EXPECT_EQ(FilesWith(folder.Path(), L".kestrow-"),
              (std::vector<std::wstring>{otherComputers, running, L"notes.kestrow-plan.pdf"}));
}

using ExportMenu = MainWindowTest;

// The system menu's check items, after the standard ones behind a
// separator, change the registry's Export value and show what it holds
// when the menu opens, whoever changed it (by hand too, with a name that
// is no format).
TEST_F(ExportMenu, CheckItemsAfterTheStandardOnesKeepTheChoiceInTheRegistry) {
    const HMENU menu = GetSystemMenu(window_.Handle(), FALSE);
    const int count = GetMenuItemCount(menu);
    EXPECT_NE(GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND), static_cast<UINT>(-1));
    // Before the last batch's report, behind a separator of its own.
    EXPECT_EQ(GetMenuItemID(menu, count - 6), 0u);
    EXPECT_EQ(GetMenuItemID(menu, count - 5), win32::ExportCommand::Pdf);
    EXPECT_EQ(GetMenuItemID(menu, count - 3), win32::ExportCommand::Dxf);
    const auto checks = [&] {
        std::wstring marks;
        for (const UINT command : {win32::ExportCommand::Pdf, win32::ExportCommand::Dwg, win32::ExportCommand::Dxf})
            marks += GetMenuState(menu, command, MF_BYCOMMAND) & MF_CHECKED ? L"x" : L"-";
        return marks + L" " + kestrow::ExportFormatsText(win32::ReadExportFormats());
    };
    for (const UINT command : {win32::ExportCommand::Dxf, win32::ExportCommand::Pdf | 0x3})  // low bits: the system's
        SendMessageW(window_.Handle(), WM_SYSCOMMAND, command, 0);
    EXPECT_EQ(checks(), L"x-x pdf,dxf");
    win32::WriteExportFormats({kestrow::ExportFormat::Dwg});
    SendMessageW(window_.Handle(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(0, TRUE));
    EXPECT_EQ(checks(), L"-x- dwg");
    SendMessageW(window_.Handle(), WM_SYSCOMMAND, win32::ExportCommand::Dwg, 0);
    EXPECT_EQ(checks(), L"--- ");
    // Written by hand with a name that is no format: the known ones count,
    // and ticking another keeps them.
    const std::wstring byHand = L"pdf,step";
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Kestrow", L"Export", REG_SZ, byHand.c_str(),
                    static_cast<DWORD>((byHand.size() + 1) * sizeof(wchar_t)));
    SendMessageW(window_.Handle(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(0, TRUE));
    EXPECT_EQ(checks(), L"x-- pdf");
    SendMessageW(window_.Handle(), WM_SYSCOMMAND, win32::ExportCommand::Dxf, 0);
    EXPECT_EQ(checks(), L"x-x pdf,dxf");
    win32::WriteExportFormats({});  // the window's later batches export nothing
}
