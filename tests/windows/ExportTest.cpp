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
#include "window/RegistrySettings.h"

using namespace kestrow::wintest;

namespace {

class Exports : public RunTest {
protected:
    Exports() : RunTest(L"exports") {}
    // The files of a folder whose names hold `part`.
    static std::vector<std::wstring> FilesWith(const std::wstring& folderPath, const std::wstring& part) {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW entry{};
        const HANDLE find = FindFirstFileW((folderPath + L"\\*").c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE) return names;
        do {
            if (std::wstring(entry.cFileName).find(part) != std::wstring::npos) names.push_back(entry.cFileName);
        } while (FindNextFileW(find, &entry));
        FindClose(find);
        return names;
    }
    static bool IsPdf(const std::wstring& path) { return ReadUtf8(path).rfind("%PDF-1.4", 0) == 0; }
};

// The calls the stand-in journaled for one draft, from its open to its
// store, a string argument's value left out.
std::vector<std::string> CallsFor(const std::vector<std::string>& lines, const std::string& draft) {
    std::vector<std::string> calls;
    bool in = false;
    for (const std::string& line : lines) {
        if (line.rfind("documents get 6", 0) == 0) in = line.find(draft) != std::string::npos;
        if (!in || (line.rfind("document", 0) != 0 && line.rfind("view call", 0) != 0)) continue;
        calls.push_back(line.find("VT_BSTR") == std::string::npos ? line : line.substr(0, line.find(':') + 1));
        if (line == "document call 6 VT_BOOL:true") in = false;
    }
    return calls;
}

// The file a SaveAs call wrote to.
std::wstring SaveAsTarget(const std::vector<std::string>& lines, const std::string& draft) {
    for (const std::string& line : lines)
        if (line.rfind("document call 10001 VT_BSTR:", 0) == 0 && line.find(draft) != std::string::npos)
            return Widen(line.substr(line.find(':') + 1));
    return std::wstring();
}

}  // namespace

TEST_F(Exports, ThreeDraftsAreExportedBesideThemselvesBetweenTheirUpdateAndTheirStore) {
    const auto drafts = WriteDrafts(3, {}, 2);
    const ProgramRun run = Update(L"/export PDF");
    EXPECT_EQ(run.exitCode, 0u) << Narrow(run.Text());

    const auto lines = journal.Lines();
    EXPECT_EQ(CallsFor(lines, "d01.dft"),
              (std::vector<std::string>{"documents get 6 VT_BSTR|VT_BYREF:", "document get 24677", "view call 107",
                                        "view call 107", "document GetIDsOfNames SaveAs",
                                        "document call 10001 VT_BSTR:", "document call 6 VT_BOOL:true"}));
    // Written under a temporary name of this run's beside the draft, which
    // keeps the extension.
    const std::wstring temporary = SaveAsTarget(lines, "d01");
    EXPECT_EQ(temporary.rfind(folder / L"d01.kestrow-", 0), 0u) << Narrow(temporary);
    EXPECT_EQ(temporary.substr(temporary.size() - 4), L".pdf");
    // The name is looked up once a session.
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "document GetIDsOfNames SaveAs"), 1);
    const auto rows = Log();
    for (int i = 1; i <= 3; ++i) {
        const std::wstring draft = drafts[static_cast<size_t>(i - 1)];
        const std::wstring pdf = folder / (L"d0" + std::to_wstring(i) + L".pdf");
        EXPECT_TRUE(IsPdf(pdf)) << Narrow(pdf);
        EXPECT_EQ(StoredCount(draft), 1);
        const auto exported = std::find_if(rows.begin(), rows.end(), [&](const LoggedRow& row) {
            return row.result == L"exported" && row.file == draft;
        });
        ASSERT_NE(exported, rows.end()) << Narrow(draft);
        EXPECT_EQ(exported->detail, L"to: " + pdf + L" | format: pdf | size: " +
                                        std::to_wstring(ReadUtf8(pdf).size()));
        EXPECT_EQ((exported - 1)->result, L"stored") << "the export's row follows its draft's";
        EXPECT_TRUE(Contains(run, L"exported  d0" + std::to_wstring(i) + L".dft  as pdf: " + pdf));
    }
    EXPECT_TRUE(Contains(run, L"Exported 3 of 3 files."));
    EXPECT_TRUE(FilesWith(folder.Path(), L".kestrow-").empty());
}

// Each old file stays byte for byte: an export that writes half and fails,
// a read-only target, and a target a viewer holds open. The drafts are
// stored all the same, the others exported, and the run says so.
TEST_F(Exports, AFailedExportKeepsTheOldFileAndTheDraftIsStored) {
    const auto drafts = WriteDrafts(4, {{1, "fault exporthalf\r\n"}});
    for (int i = 1; i <= 4; ++i) WriteUtf8(folder / (L"d0" + std::to_wstring(i) + L".pdf"), "%PDF old " + std::to_string(i));
    SetFileAttributesW((folder / L"d02.pdf").c_str(), FILE_ATTRIBUTE_READONLY);
    const HANDLE viewer = CreateFileW((folder / L"d03.pdf").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(viewer, INVALID_HANDLE_VALUE);

    const ProgramRun run = Update(L"/export pdf");
    CloseHandle(viewer);
    SetFileAttributesW((folder / L"d02.pdf").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(run.exitCode, 1u) << Narrow(run.Text());
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(ReadUtf8(folder / (L"d0" + std::to_wstring(i) + L".pdf")), "%PDF old " + std::to_string(i));
    EXPECT_TRUE(IsPdf(folder / L"d04.pdf"));
    for (const auto& draft : drafts) EXPECT_EQ(StoredCount(draft), 1) << Narrow(draft);
    EXPECT_TRUE(FilesWith(folder.Path(), L".kestrow-").empty());

    std::map<std::wstring, std::wstring> failures;
    for (const LoggedRow& row : Log())
        if (row.result == L"export-failed") failures[row.file] = row.description;
    ASSERT_EQ(failures.size(), 3u);
    EXPECT_NE(failures[drafts[0]].find(L"Simulated failure halfway through saving"), std::wstring::npos);
    EXPECT_NE(failures[drafts[1]].find(L"is read-only, so it was not replaced"), std::wstring::npos);
    EXPECT_NE(failures[drafts[2]].find(L"could not be replaced; it is as it was"), std::wstring::npos);
    EXPECT_EQ(Fates(Log()).at(drafts[0]), L"stored");
    EXPECT_TRUE(Contains(run, L"Exported 1 of 4 files; failed: d01.dft as pdf, d02.dft as pdf, d03.dft as pdf."))
        << Narrow(run.Text());
}

// /exportto with two formats: the tree's folders are made under it, one
// deep enough that its paths pass the classic limit; nothing lands beside
// the drafts.
TEST_F(Exports, ATreeExportedToAnotherFolderLandsMirrored) {
    const std::wstring sub = folder / L"Sub";
    CreateDirectoryW(sub.c_str(), nullptr);
    WriteDraft(folder / L"top.dft", 1);
    WriteDraft(sub + L"\\b.dft", 1);
    const TestFolder out(L"exports-out");
    const std::wstring deep = out / (L"Deep " + std::wstring(230, L'x'));

    const ProgramRun run = Update(L"/subfolders /export dxf,pdf /exportto " + Quoted(deep));
    EXPECT_EQ(run.exitCode, 0u) << Narrow(run.Text());
    for (const std::wstring name : {L"top.pdf", L"top.dxf", L"Sub\\b.pdf", L"Sub\\b.dxf"}) {
        const std::wstring target = kestrow::ExtendedLengthPath(deep + L"\\" + name);
        const std::string bytes = ReadUtf8(target);
        EXPECT_EQ(bytes.substr(0, 5), name.find(L".pdf") != std::wstring::npos ? "%PDF-" : "  0\nS") << Narrow(target);
        DeleteFileW(target.c_str());
    }
    for (const std::wstring& beside : {folder.Path(), sub})
        for (const wchar_t* kind : {L".pdf", L".dxf", L".kestrow-"})
            EXPECT_TRUE(FilesWith(beside, kind).empty()) << Narrow(beside) << Narrow(kind);
    RemoveDirectoryW(kestrow::ExtendedLengthPath(deep + L"\\Sub").c_str());
    RemoveDirectoryW(kestrow::ExtendedLengthPath(deep).c_str());
}

// A run killed while the CAD system writes an export leaves the old file
// and a half-written temporary one. The next run with /resume removes that
// file (and no file of a Kestrow that still runs, nor anybody else's),
// skips the draft stored and exported before the kill, and redoes the one
// in hand.
TEST_F(Exports, AKilledRunLeavesTheOldFileAndTheNextRunRemovesItsTemporaryFile) {
    const auto drafts = WriteDrafts(2, {{2, "fault exportslow 60000\r\n"}});
    WriteUtf8(folder / L"d02.pdf", "%PDF old");
    // This test's own process stands for a Kestrow that still runs.
    FILETIME created{}, unused{};
    GetProcessTimes(GetCurrentProcess(), &created, &unused, &unused, &unused);
    wchar_t running[128];
    swprintf(running, 128, L"d09.kestrow-%lu-%016llX-1.pdf", GetCurrentProcessId(),
             (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime);
    WriteUtf8(folder / running, "%PDF half");
    WriteUtf8(folder / L"notes.kestrow-plan.pdf", "somebody's");

    PROCESS_INFORMATION kestrow = StartKestrow(L"/update " + Quoted(folder.Path()) + L" /log " + Quoted(log) +
                                               L" /export pdf");
    ASSERT_NE(kestrow.hProcess, nullptr);
    bool halfWritten = false;
    for (int waited = 0; waited < 60000 && !halfWritten; waited += 100) {
        Sleep(100);
        const auto lines = journal.Lines();
        halfWritten = std::find(lines.begin(), lines.end(), "  export half written") != lines.end();
    }
    TerminateProcess(kestrow.hProcess, 99);
    WaitForSingleObject(kestrow.hProcess, 10000);
    CloseHandle(kestrow.hThread);
    CloseHandle(kestrow.hProcess);
    KillStandIn();
    ASSERT_TRUE(halfWritten);
    EXPECT_EQ(ReadUtf8(folder / L"d02.pdf"), "%PDF old");
    EXPECT_EQ(FilesWith(folder.Path(), L"d02.kestrow-").size(), 1u) << "the killed run's half-written file";

    WriteDraft(drafts[1], 1);  // without its slow export
    journal.Clear();
    const ProgramRun next = Update(L"/resume /export pdf");
    EXPECT_EQ(next.exitCode, 0u) << Narrow(next.Text());
    EXPECT_EQ(OpenedNames(journal.Lines()), (std::vector<std::string>{"d02.dft"}));
    EXPECT_TRUE(IsPdf(folder / L"d02.pdf"));
    std::vector<std::wstring> left = FilesWith(folder.Path(), L".kestrow-");
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::wstring>{running, L"notes.kestrow-plan.pdf"}));
}

namespace {

class ExportMenu : public MainWindowTest {
protected:
    void TearDown() override { RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Kestrow", L"Export"); }
    UINT State(UINT command) const {
        return GetMenuState(GetSystemMenu(window_.Handle(), FALSE), command, MF_BYCOMMAND);
    }
};

}  // namespace

// The system menu's check items follow the registry's Export value and
// change it; the standard commands still reach the window.
TEST_F(ExportMenu, CheckItemsAfterTheStandardOnesKeepTheChoiceInTheRegistry) {
    const HMENU menu = GetSystemMenu(window_.Handle(), FALSE);
    const int count = GetMenuItemCount(menu);
    ASSERT_GE(count, 5);
    EXPECT_EQ(GetMenuItemID(menu, count - 4), 0u) << "a separator before the items";
    EXPECT_EQ(GetMenuItemID(menu, count - 3), kestrow::win32::ExportCommand::Pdf);
    EXPECT_EQ(GetMenuItemID(menu, count - 1), kestrow::win32::ExportCommand::Dxf);
    EXPECT_NE(GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND), static_cast<UINT>(-1));

    SendMessageW(window_.Handle(), WM_SYSCOMMAND, kestrow::win32::ExportCommand::Dxf, 0);
    SendMessageW(window_.Handle(), WM_SYSCOMMAND, kestrow::win32::ExportCommand::Pdf | 0x3, 0);
    EXPECT_EQ(kestrow::ExportFormatsText(kestrow::win32::ReadExportFormats()), L"pdf,dxf");
    EXPECT_TRUE(State(kestrow::win32::ExportCommand::Pdf) & MF_CHECKED);
    EXPECT_FALSE(State(kestrow::win32::ExportCommand::Dwg) & MF_CHECKED);
    SendMessageW(window_.Handle(), WM_SYSCOMMAND, kestrow::win32::ExportCommand::Pdf, 0);
    EXPECT_EQ(kestrow::ExportFormatsText(kestrow::win32::ReadExportFormats()), L"dxf");

    // Another program changes the value: the menu shows it when it opens.
    kestrow::win32::WriteExportFormats({kestrow::ExportFormat::Dwg});
    SendMessageW(window_.Handle(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(0, TRUE));
    EXPECT_TRUE(State(kestrow::win32::ExportCommand::Dwg) & MF_CHECKED);
    EXPECT_FALSE(State(kestrow::win32::ExportCommand::Dxf) & MF_CHECKED);
}
