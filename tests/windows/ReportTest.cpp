// The morning after, through Kestrow.exe: /report over two machines' logs
// and its page, a file that is no log refused, and /whatif, which lists
// what the run then does and does nothing itself.
#include <gtest/gtest.h>

#include "RunFixture.h"

using namespace kestrow::wintest;

namespace {

// The names a run lists ("<prefix><name>"), in order.
std::vector<std::wstring> NamesAfter(const ProgramRun& run, const std::wstring& prefix) {
    std::vector<std::wstring> names;
    for (const auto& line : run.lines)
        if (line.rfind(prefix, 0) == 0) names.push_back(line.substr(prefix.size(), line.find(L"  ", prefix.size()) - prefix.size()));
    return names;
}

std::vector<std::string> Narrowed(const std::vector<std::wstring>& names) {
    std::vector<std::string> narrow;
    for (const auto& name : names) narrow.push_back(Narrow(name.substr(name.find_last_of(L'\\') + 1)));
    return narrow;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

using Report = RunTest;

TEST_F(Report, TwoSharesLogsGiveTheNightsTotalsTheFailureAndAPage) {
    WriteDrafts(8, {{3, "fault update\r\n"}});
    const std::wstring ws1 = folder / L"ws1.csv", ws2 = folder / L"ws2.csv", page = folder / L"night.html";
    log = ws1;
    EXPECT_NE(Update(L"/shard 1/2").exitCode, 3u);
    log = ws2;
    EXPECT_NE(Update(L"/shard 2/2").exitCode, 3u);

    const ProgramRun report = RunKestrow(L"/report " + Quoted(folder / L"ws*.csv") + L" /html " + Quoted(page));
    EXPECT_EQ(report.exitCode, 1u) << Narrow(report.Text());
    EXPECT_TRUE(Contains(report, L"In total: stored 7, failed 1, not reached 0, in hand 0;")) << Narrow(report.Text());
    EXPECT_TRUE(Contains(report, L"ws1.csv: run 1 (shard 1/2)")) << Narrow(report.Text());
    EXPECT_TRUE(Contains(report, L"Simulated failure to update view 1 of " + folder / L"d03.dft" + L"  [1 draft]\n    " +
                                     folder / L"d03.dft"))
        << Narrow(report.Text());
    const std::string html = ReadUtf8(page);
    EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(html.find("d03.dft"), std::string::npos);
    EXPECT_EQ(html.find("<script"), std::string::npos);
}

TEST_F(Report, AFileThatIsNoLogIsRefusedAndNothingIsWritten) {
    const auto drafts = WriteDrafts(1);
    const std::wstring page = folder / L"night.html";
    const ProgramRun refused = RunKestrow(L"/report " + Quoted(drafts[0]) + L" /html " + Quoted(page));
    EXPECT_EQ(refused.exitCode, 3u);
    EXPECT_TRUE(Contains(refused, L"this file is not a Kestrow log: " + drafts[0])) << Narrow(refused.Text());
    EXPECT_FALSE(Exists(page));
    // Nor is a page written over a file that is no page.
    const ProgramRun kept = RunKestrow(L"/report " + Quoted(drafts[0]) + L" /html " + Quoted(drafts[0]));
    EXPECT_EQ(kept.exitCode, 3u);
    EXPECT_EQ(StoredCount(drafts[0]), 0);
}

// A run without its end row is running now while a program writes its
// log, and was cut short once nobody does; the report reads the log beside
// its writer.
TEST_F(Report, ARunWhoseLogIsBeingWrittenIsStillRunning) {
    WriteUtf8(log, "\xEF\xBB\xBFtime,result,file,error,source,description,run,seconds,size,written,session,detail\r\n"
                   "2026-12-07T02:00:00+01:00,run-start,P:\\D\\,,,,1,,,,,\r\n"
                   "2026-12-07T02:00:01+01:00,in-hand,P:\\D\\a.dft,,,,1,,,,1,\r\n");
    HANDLE writer = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    const ProgramRun running = RunKestrow(L"/report " + Quoted(log));
    CloseHandle(writer);
    EXPECT_EQ(running.exitCode, 1u) << Narrow(running.Text());
    EXPECT_TRUE(Contains(running, L"02:00 to 02:00 (1 s), running now")) << Narrow(running.Text());
    EXPECT_TRUE(Contains(running, L"In hand when the log ends (1 draft):\n    P:\\D\\a.dft")) << Narrow(running.Text());
    EXPECT_TRUE(Contains(RunKestrow(L"/report " + Quoted(log)), L"did not end (cut short)"));
}

using WhatIf = RunTest;

// /whatif over a tree and a share lists, in order, what the real run then
// opens, and starts no server, writes no log and changes no draft.
TEST_F(WhatIf, ListsWhatTheRealRunThenDoesAndDoesNothing) {
    for (const wchar_t* sub : {L"A", L"B"}) {
        CreateDirectoryW((folder / sub).c_str(), nullptr);
        for (int i = 0; i < 5; ++i) WriteDraft(folder / (std::wstring(sub) + L"\\d" + std::to_wstring(i) + L".dft"), 1);
    }
    const ProgramRun dry = Update(L"/subfolders /shard 2/3 /whatif");
    EXPECT_EQ(dry.exitCode, 0u) << Narrow(dry.Text());
    const std::vector<std::wstring> listed = NamesAfter(dry, L"would update  ");
    EXPECT_TRUE(Contains(dry, L"Kestrow would update " + std::to_wstring(listed.size()) + L" of the 10 drafts listed in "))
        << Narrow(dry.Text());
    EXPECT_TRUE(Contains(dry, L" are in other shares (this run takes share 2 of 3)")) << Narrow(dry.Text());
    EXPECT_TRUE(journal.Lines().empty()) << "a server was started";
    EXPECT_EQ(StandInProcessCount(), 0);
    EXPECT_FALSE(Exists(log));
    EXPECT_EQ(StoredCount(folder / L"A\\d0.dft"), 0);

    const ProgramRun real = Update(L"/subfolders /shard 2/3");
    EXPECT_EQ(real.exitCode, 0u) << Narrow(real.Text());
    EXPECT_EQ(OpenedNames(journal.Lines()), Narrowed(listed));
    EXPECT_EQ(NamesAfter(real, L"stored  "), listed);
}

// A run that ended early (the CAD system kept failing), resumed: /whatif
// lists only what is left, and the resumed run does exactly that.
TEST_F(WhatIf, WithResumeListsOnlyWhatIsLeft) {
    const auto drafts = WriteDrafts(6, {{3, "fault crash\r\n"}, {4, "fault crash\r\n"}, {5, "fault crash\r\n"}});
    const ProgramRun cut = Update();
    EXPECT_EQ(cut.exitCode, 2u) << Narrow(cut.Text());
    for (int i : {2, 3, 4}) WriteDraft(drafts[static_cast<size_t>(i)], 1);
    const std::string logBefore = ReadUtf8(log);

    journal.Clear();
    const ProgramRun dry = Update(L"/resume /whatif");
    EXPECT_EQ(dry.exitCode, 0u) << Narrow(dry.Text());
    EXPECT_EQ(NamesAfter(dry, L"would update  "),
              (std::vector<std::wstring>{L"d03.dft", L"d04.dft", L"d05.dft", L"d06.dft"}));
    EXPECT_TRUE(Contains(dry, L"2 were stored by run 1 of the log, which this one resumes")) << Narrow(dry.Text());
    EXPECT_EQ(ReadUtf8(log), logBefore);
    EXPECT_TRUE(journal.Lines().empty());

    const ProgramRun resumed = Update(L"/resume");
    EXPECT_EQ(resumed.exitCode, 0u) << Narrow(resumed.Text());
    EXPECT_EQ(OpenedNames(journal.Lines()), (std::vector<std::string>{"d03.dft", "d04.dft", "d05.dft", "d06.dft"}));
}
