// The report: logs of every version read back (torn rows, runs that never
// ended, resumed runs), the night's counts and failures by error, and the
// page, with everything from a log escaped.
#include <gtest/gtest.h>

#include <cwchar>

#include "report/Html.h"
#include "report/LogTime.h"
#include "report/NightLog.h"
#include "report/NightSummary.h"
#include "report/ReportPage.h"
#include "report/ReportText.h"
#include "report/Timeline.h"
#include "unattended/CommandLine.h"

using namespace kestrow;

namespace {

// A log of `layout` written row by row as Kestrow writes it.
struct LogText {
    explicit LogText(LogLayout layout, bool byteOrderMark = true)
        : layout(layout), text((byteOrderMark ? L"\xFEFF" : L"") + LogHeaderFor(layout) + L"\r\n") {}
    LogText& Row(const wchar_t* time, const wchar_t* result, const std::wstring& file, const wchar_t* run = L"1",
                 const wchar_t* seconds = L"", const wchar_t* session = L"", const std::wstring& error = L"",
                 const std::wstring& description = L"", const std::wstring& detail = L"") {
        LogRow row;
        row.time = std::wstring(L"2026-12-07T") + time + L"+01:00";
        row.result = result;
        row.file = file;
        row.run = run;
        row.seconds = seconds;
        row.session = session;
        row.error = error;
        row.source = std::wstring(result) == LogResult::Dialog ? L"Missing references" : error.empty() ? L"" : L"CAD";
        row.description = description;
        row.detail = detail;
        text += FormatLogRow(row, layout) + L"\r\n";
        return *this;
    }
    LogLayout layout;
    std::wstring text;
};

const std::wstring kA = L"P:\\Drawings\\A.dft", kB = L"P:\\Drawings\\Sub\\B.dft", kC = L"P:\\Drawings\\C.dft";

// Two machines' logs of one night: ws1 in two sessions with failures and
// their dialogs (one picture planted on a share); ws2 cut short with a
// draft in hand.
std::vector<ReportSource> Night(RunsToRead which = RunsToRead::Last) {
    LogText ws1(LogLayout::WithDetails);
    ws1.Row(L"01:00:00", LogResult::RunStart, L"P:\\Drawings\\", L"1")
        .Row(L"01:00:05", LogResult::Stored, kA, L"1", L"5.000", L"1")
        .Row(L"01:00:06", LogResult::RunEnd, L"P:\\Drawings\\", L"1")
        .Row(L"02:00:00", LogResult::RunStart, L"P:\\Drawings\\", L"2")
        .Row(L"02:00:00", LogResult::InHand, kA, L"2", L"", L"1")
        .Row(L"02:00:01", LogResult::InHand, kB, L"2", L"", L"2")
        .Row(L"02:00:40", LogResult::Dialog, kB, L"2", L"", L"2", L"", L"Some models were not found.",
             FormatDetail({{L"buttons", L"OK"}, {L"action", L"left open"}, {L"picture", L"ws1-dialogs\\1.png"}}))
        .Row(L"02:01:00", LogResult::Failed, kB, L"2", L"59.000", L"2", L"-2147467259", L"Could not open\r\nthe file.")
        .Row(L"02:01:00", LogResult::Stored, kA, L"2", L"60.000", L"1")
        .Row(L"02:01:00", LogResult::KeptCopy, kA, L"2", L"", L"", L"", L"", L"copy: C:\\x\\1.dft")
        .Row(L"02:01:57", LogResult::InHand, kC, L"2", L"", L"1")
        .Row(L"02:01:58", LogResult::Dialog, kC, L"2", L"", L"1", L"", L"Planted.",
             FormatDetail({{L"buttons", L"OK"}, {L"action", L"left open"}, {L"picture", L"\\\\host\\share\\pic.png"}}))
        .Row(L"02:02:00", LogResult::Failed, kC, L"2", L"3.000", L"1", L"-2147467259", L"Could not open the file.")
        .Row(L"02:02:00", LogResult::RunEnd, L"P:\\Drawings\\", L"2");
    LogText ws2(LogLayout::WithRuns, false);
    ws2.Row(L"02:00:00", LogResult::RunStart, L"P:\\Drawings\\", L"7")
        .Row(L"02:30:00", LogResult::Stored, L"P:\\Drawings\\D.dft", L"7", L"10.000")
        .Row(L"03:00:00", LogResult::InHand, L"P:\\Drawings\\E.dft", L"7");
    std::vector<ReportSource> sources;
    for (auto& [name, log] : {std::pair{L"ws1.csv", &ws1}, std::pair{L"ws2.csv", &ws2}})
        sources.push_back(ReportSource{name, std::wstring(L"P:\\Logs\\") + name, *ReadReportedLog(log->text, which)});
    return sources;
}

std::wstring Joined(const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (const auto& line : lines) text += line + L"\n";
    return text;
}

}  // namespace

TEST(ReportLog, EveryVersionIsReadAndAnythingElseRefused) {
    LogText six(LogLayout::SixColumns, false);
    six.Row(L"01:00:00", LogResult::Stored, kA).Row(L"01:00:09", LogResult::Failed, kB, L"", L"", L"", L"5", L"x");
    six.Row(L"02:00:00", LogResult::Stored, kB);  // a later night: its last row is its fate
    const auto old = ReadReportedLog(six.text, RunsToRead::Last);
    ASSERT_TRUE(old);
    ASSERT_EQ(old->runs.size(), 1u);
    const FateCounts oldCounts = CountFates(old->runs[0]);
    EXPECT_EQ(oldCounts.stored, 2);
    EXPECT_EQ(oldCounts.failed, 0);
    EXPECT_EQ(old->runs[0].sessions, 0);

    const std::vector<ReportSource> night = Night();
    EXPECT_EQ(night[0].log.layout, LogLayout::WithDetails);
    ASSERT_EQ(night[0].log.runs.size(), 1u);  // the last run only
    const ReportedRun& run = night[0].log.runs[0];
    EXPECT_EQ(run.number, 2);
    EXPECT_EQ(run.sessions, 2);
    ASSERT_EQ(run.drafts.size(), 3u);  // a kept copy tells no draft's fate
    EXPECT_EQ(run.drafts[1].fate, DraftFate::Failed);
    EXPECT_EQ(run.drafts[1].dialogs, std::vector<std::uint32_t>{0});
    EXPECT_EQ(run.dialogs.at(0).picture, L"ws1-dialogs\\1.png");
    EXPECT_DOUBLE_EQ(run.drafts[0].seconds, 60.0);
    EXPECT_EQ(Night(RunsToRead::All)[0].log.runs.size(), 2u);

    for (const std::wstring& text : {std::wstring(L"KESTROW-DRAFT 1\r\nstored 0\r\n"), std::wstring(),
                                     std::wstring(L"time,result,file\r\n")})
        EXPECT_FALSE(ReadReportedLog(text, RunsToRead::Last)) << text.size();
}

// A row cut short by a power cut, at the end or (once the next run went
// on after it) in the middle, even inside quotes, costs that row only.
TEST(ReportLog, RowsCutShortAreLeftOutAndCounted) {
    LogText log(LogLayout::WithDetails);
    log.Row(L"01:00:00", LogResult::RunStart, L"P:\\", L"1").Row(L"01:00:04", LogResult::Stored, kA, L"1", L"4.0");
    log.text += L"2026-12-07T01:00:09+01:00,failed,P:\\Drawings\\B.dft,-1,CAD,\"Could not\r\n";
    log.Row(L"01:05:00", LogResult::RunResume, L"P:\\", L"1").Row(L"01:05:03", LogResult::Stored, kC, L"1", L"3.0");
    log.text += L"2026-12-07T01:05:04+01:00,in-h";
    const auto read = ReadReportedLog(log.text, RunsToRead::Last);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->tornRows, 2);
    ASSERT_EQ(read->runs.size(), 1u);
    EXPECT_EQ(CountFates(read->runs[0]).stored, 2);
    EXPECT_EQ(read->runs[0].drafts.size(), 2u);
    EXPECT_EQ(read->runs[0].resumptions, 1);
}

// A run cut short and resumed later counts the time it ran, not the pause;
// a run with no end row is running now while its log is being written, and
// cut short otherwise.
TEST(ReportLog, RunsThatNeverEndedAndRunsResumed) {
    LogText log(LogLayout::WithDetails);
    log.Row(L"01:00:00", LogResult::RunStart, L"P:\\", L"3")
        .Row(L"01:10:00", LogResult::Stored, kA, L"3", L"600.0", L"1")
        .Row(L"01:10:00", LogResult::InHand, kB, L"3", L"", L"1")
        .Row(L"05:00:00", LogResult::RunResume, L"P:\\", L"3")
        .Row(L"05:20:00", LogResult::Stored, kB, L"3", L"1200.0", L"1")
        .Row(L"05:20:01", LogResult::InHand, kC, L"3", L"", L"1");
    ReportSource source{L"n.csv", L"P:\\n.csv", *ReadReportedLog(log.text, RunsToRead::Last)};
    const ReportedRun& run = source.log.runs.at(0);
    EXPECT_DOUBLE_EQ(run.activeSeconds, 10 * 60 + 20 * 60 + 1);
    EXPECT_FALSE(run.ended);
    EXPECT_EQ(CountFates(run).inHand, 1);
    EXPECT_EQ(RunStateText(source, run), L"did not end (cut short)");
    source.beingWritten = true;
    EXPECT_EQ(RunStateText(source, run), L"running now");
    EXPECT_EQ(TotalsOf({source}).runsNotEnded, 1);
    EXPECT_FALSE(NightWentWell({source}));
    log.Row(L"05:20:09", LogResult::Stored, kC, L"3", L"8.0", L"1").Row(L"05:20:10", LogResult::RunEnd, L"P:\\", L"3");
    source.log = *ReadReportedLog(log.text, RunsToRead::Last);
    EXPECT_FALSE(NightWentWell({source}));  // it ended, but not as completed
    log.text.replace(log.text.rfind(L",,,,3,"), 6, L",,,completed,3,");
    source.log = *ReadReportedLog(log.text, RunsToRead::Last);
    EXPECT_TRUE(NightWentWell({source}));
}

// A file listed under two names is done once; its other name's row says
// under which, and the night counts it as the run did: with that name's fate.
TEST(ReportLog, AnotherNameOfAFileSharesItsFate) {
    const std::wstring kD = L"P:\\Drawings\\D.dft";
    LogText log(LogLayout::WithDetails);
    log.Row(L"01:00:00", LogResult::RunStart, L"P:\\Drawings\\")
        .Row(L"01:00:05", LogResult::Stored, kA, L"1", L"5.000", L"1")
        .Row(L"01:00:05", LogResult::SameFile, kB, L"1", L"", L"", L"", L"", FormatDetail({{L"done under", kA}}))
        .Row(L"01:00:09", LogResult::Failed, kC, L"1", L"4.000", L"1", L"-2147467259", L"Could not open the file.")
        .Row(L"01:00:09", LogResult::SameFile, kD, L"1", L"", L"", L"", L"", FormatDetail({{L"done under", kC}}))
        .Row(L"01:00:10", LogResult::RunEnd, L"P:\\Drawings\\");
    const std::vector<ReportSource> night = {
        ReportSource{L"l.csv", L"P:\\Logs\\l.csv", *ReadReportedLog(log.text, RunsToRead::Last)}};
    const NightTotals totals = TotalsOf(night);
    EXPECT_EQ(totals.fates.stored, 2);
    EXPECT_EQ(totals.fates.failed, 2);
    EXPECT_EQ(SlowestDrafts(night, 4).size(), 2u) << "a file's time counts once";
}

TEST(ReportSummary, TotalsAndFailuresGroupedByErrorMostCommonFirst) {
    const std::vector<ReportSource> night = Night();
    const NightTotals totals = TotalsOf(night);
    EXPECT_EQ(totals.fates.stored, 2);
    EXPECT_EQ(totals.fates.failed, 2);
    EXPECT_EQ(totals.fates.inHand, 1);
    EXPECT_EQ(totals.runsNotEnded, 1);
    EXPECT_EQ(totals.end - totals.start, 3600);  // 02:00 to 03:00 across both machines
    EXPECT_DOUBLE_EQ(totals.DraftsPerHour(), 4.0);

    const std::vector<FailureGroup> groups = FailuresByError(night);
    ASSERT_EQ(groups.size(), 1u);  // line breaks in a description do not part a group
    EXPECT_EQ(groups[0].description, L"Could not open the file.");
    ASSERT_EQ(groups[0].drafts.size(), 2u);
    EXPECT_EQ(groups[0].drafts[0].draft->file, kB);  // the earlier first

    const std::wstring text = Joined(ReportLines(night, RunsToRead::Last));
    for (const wchar_t* said :
         {L"ws1.csv: run 2 over P:\\Drawings\\", L"  stored 1, failed 2, not reached 0, in hand 0; 90 drafts an hour",
          L"ws2.csv: run 7 over P:\\Drawings\\", L"did not end (cut short)",
          L"In total: stored 2, failed 2, not reached 0, in hand 1; 2026-12-07 02:00 to 03:00 (1 h); 4 drafts an hour",
          L"Failed, by error (2 drafts):\n  Error -2147467259 (0x80004005) in CAD: Could not open the file.  [2 drafts]\n"
          L"    P:\\Drawings\\Sub\\B.dft  (ws1.csv, 02:01, session 2)",
          L"In hand when the log ends (1 draft):\n    P:\\Drawings\\E.dft  (ws2.csv, 03:00)"})
        EXPECT_NE(text.find(said), std::wstring::npos) << said << L"\n" << text;
    const auto slowest = SlowestDrafts(night, 2);
    ASSERT_EQ(slowest.size(), 2u);
    EXPECT_DOUBLE_EQ(slowest[0].draft->seconds, 60.0);
}

// The page: the totals, the failure with its dialog's picture by a
// relative reference, no script, and nothing from a log taken as markup.
TEST(ReportPage, ShowsTheNightAndEscapesWhatTheLogsSay) {
    std::vector<ReportSource> night = Night();
    night[0].name = L"<script>alert(1)</script>.csv";
    const std::wstring page = ReportPage(night, RunsToRead::Last, PageSetting{L"P:\\Logs", L"2026-12-07T08:00:00+01:00"});
    EXPECT_EQ(page.rfind(L"<!DOCTYPE html>", 0), 0u);
    EXPECT_EQ(page.find(L"<script"), std::wstring::npos);
    EXPECT_NE(page.find(L"&lt;script&gt;alert(1)&lt;/script&gt;.csv"), std::wstring::npos);
    EXPECT_NE(page.find(L"<img src=\"ws1-dialogs/1.png\" alt=\"Missing references\">"), std::wstring::npos);
    EXPECT_NE(page.find(L"not in the log's dialogs folder: \\\\host\\share\\pic.png"), std::wstring::npos);
    EXPECT_EQ(page.find(L"host/share"), std::wstring::npos);
    EXPECT_NE(page.find(L"<b>2</b><span>failed</span>"), std::wstring::npos);
    EXPECT_NE(page.find(L"<svg"), std::wstring::npos);
    EXPECT_NE(page.find(L"class=\"failed\""), std::wstring::npos);  // a red mark on the timeline
    EXPECT_NE(page.find(L"\u00B7 session 2"), std::wstring::npos);   // a lane per session
    EXPECT_EQ(page.find(L"http"), page.find(L"http://www.w3.org/2000/svg"));  // nothing from outside
}

// However many drafts a night holds, the timeline is drawn in runs of
// pixels: its size follows the page's width, not the drafts.
TEST(ReportPage, ATimelineOfManyDraftsStaysSmall) {
    LogText log(LogLayout::WithDetails);
    log.Row(L"00:00:00", LogResult::RunStart, L"P:\\", L"1");
    for (int i = 0; i < 20000; ++i) {
        wchar_t time[16];
        std::swprintf(time, 16, L"%02d:%02d:%02d", i * 2 / 3600, i * 2 / 60 % 60, i * 2 % 60);
        log.Row(time, i == 12345 ? LogResult::Failed : LogResult::Stored, L"P:\\" + std::to_wstring(i) + L".dft", L"1",
                L"1.500", L"1", i == 12345 ? L"-1" : L"");
    }
    const std::vector<ReportSource> sources{{L"big.csv", L"P:\\big.csv", *ReadReportedLog(log.text, RunsToRead::Last)}};
    const std::wstring page = ReportPage(sources, RunsToRead::Last, PageSetting{L"P:\\", L""});
    EXPECT_LT(page.size(), 40000u);
    EXPECT_NE(page.find(L"<title>P:\\12345.dft"), std::wstring::npos);
}

// A batch's page lists each draft with its fate and its exports, up to a
// bound it says it kept to; a night's lists none. A batch of seconds tells
// no pace an hour, and its timeline spans the page, its ticks in seconds.
TEST(ReportPage, ABatchsPageListsEveryDraftWithItsExports) {
    LogText log(LogLayout::WithDetails);
    log.Row(L"09:00:00", LogResult::RunStart, L"P:\\Drawings\\")
        .Row(L"09:00:02", LogResult::Stored, kA, L"1", L"2.000", L"1")
        .Row(L"09:00:02", LogResult::Exported, kA, L"1", L"", L"1", L"", L"",
             FormatDetail({{L"to", L"P:\\Drawings\\A.pdf"}, {L"format", L"pdf"}}))
        .Row(L"09:00:02", LogResult::ExportFailed, kA, L"1", L"", L"1", L"-5", L"read-only",
             FormatDetail({{L"to", L"P:\\Drawings\\A.dxf"}, {L"format", L"dxf"}}))
        .Row(L"09:00:04", LogResult::Failed, kB, L"1", L"2.000", L"1", L"-2147467259", L"Could not open the file.")
        .Row(L"09:00:04", LogResult::NotReached, kC, L"1")
        .Row(L"09:00:04", LogResult::RunEnd, L"P:\\Drawings\\", L"1", L"", L"", L"", L"stopped");
    const std::vector<ReportSource> sources{{L"b.csv", L"P:\\b.csv", *ReadReportedLog(log.text, RunsToRead::Last)}};
    PageSetting setting{L"P:\\", L""};
    EXPECT_EQ(ReportPage(sources, RunsToRead::Last, setting).find(L"Every draft"), std::wstring::npos);
    setting.everyDraftShown = 2;
    const std::wstring page = ReportPage(sources, RunsToRead::Last, setting);
    EXPECT_NE(page.find(L"<td class=\"path\">P:\\Drawings\\A.dft</td><td>stored</td><td class=\"n\">2.0 s</td>"
                        L"<td>pdf, dxf failed</td>"),
              std::wstring::npos);
    EXPECT_NE(page.find(L"<td class=\"err\">failed: Error -2147467259"), std::wstring::npos);
    EXPECT_EQ(page.find(L">P:\\Drawings\\C.dft<"), std::wstring::npos);
    EXPECT_NE(page.find(L"<p>1 more drafts are not shown here; the log lists every one.</p>"), std::wstring::npos);
    EXPECT_EQ(page.find(L"drafts an hour</span>"), std::wstring::npos);
    EXPECT_EQ(Joined(ReportLines(sources, RunsToRead::Last)).find(L"an hour"), std::wstring::npos);
    EXPECT_NE(page.find(L">09:00:02</text>"), std::wstring::npos);
    // B, failed from 2 s to 4 s of the 4: its mark fills the right half.
    const TimelineLayout layout;
    EXPECT_NE(page.find(L"class=\"failed\" x=\"" + std::to_wstring(layout.labelWidth + layout.plotWidth / 2) + L"\""),
              std::wstring::npos);
}

TEST(ReportPage, PicturesAreReferredToFromThePage) {
    const struct {
        const wchar_t *page, *base, *target, *reference;
    } cases[] = {
        {L"P:\\Logs", L"P:\\Logs", L"P:\\Logs\\ws1-dialogs\\1.png", L"ws1-dialogs/1.png"},
        {L"p:\\logs\\pages", L"P:\\Logs", L"ws1-dialogs\\a b#1.png", L"../ws1-dialogs/a%20b%231.png"},
        {L"D:\\Pages", L"P:\\Logs", L"P:\\Logs\\x.png", L"file:///P:/Logs/x.png"},
        {L"\\\\srv\\cad\\Pages", L"P:\\Logs", L"\\\\srv\\cad\\Logs\\\u00E9.png", L"../Logs/%C3%A9.png"},
        {L"P:\\Pages", L"P:\\Logs", L"\\\\srv\\cad\\x.png", L"file://srv/cad/x.png"},
    };
    for (const auto& c : cases) EXPECT_EQ(FileReference(c.page, c.base, c.target), c.reference) << c.target;
    // Only a picture of the log's own dialogs folder is loaded, found there
    // under whatever root its writer saw; anything else stays text.
    const std::vector<std::pair<std::wstring, std::optional<std::wstring>>> pictures = {
        {L"P:\\Logs\\ws1-dialogs\\d01 02.14.09.png", L"ws1-dialogs/d01%2002.14.09.png"},
        {L"D:\\Night\\WS1-Dialogs\\a.png", L"ws1-dialogs/a.png"},
        {L"ws1-dialogs\\1.png", L"ws1-dialogs/1.png"},
        {L"\\\\host\\share\\pic.png", std::nullopt},
        {L"C:\\Temp\\pic.png", std::nullopt},
        {L"P:\\Logs\\ws2-dialogs\\1.png", std::nullopt},
        {L"ws1-dialogs\\..\\..\\secret.png", std::nullopt},
        {L"..\\ws1-dialogs\\1.png", std::nullopt},
        {L"http://host/ws1-dialogs/pic.png", std::nullopt},
        {L"file://host/share/ws1-dialogs/pic.png", std::nullopt},
        {L"ws1-dialogs\\1.png:hidden", std::nullopt},
        {L"1.png", std::nullopt},
    };
    for (const auto& [picture, reference] : pictures)
        EXPECT_EQ(DialogPictureReference(L"P:\\Logs", L"P:\\Logs\\ws1.csv", picture), reference) << picture;
    EXPECT_EQ(HtmlText(L"a<b>&\"'"), L"a&lt;b&gt;&amp;&quot;&#39;");
}

TEST(ReportTime, TimesOfEveryOffsetMeetOnOneAxis) {
    const auto paris = ParseLogTime(L"2026-12-07T02:14:09+01:00");
    const auto newYork = ParseLogTime(L"2026-12-06T20:14:09-05:00");
    ASSERT_TRUE(paris && newYork);
    EXPECT_EQ(paris->utcSeconds, newYork->utcSeconds);
    EXPECT_EQ(paris->utcSeconds, 1796606049);
    EXPECT_EQ(LocalDateTimeText(*newYork), L"2026-12-06 20:14");
    EXPECT_EQ(LocalClockText(paris->utcSeconds, 330), L"06:44");
    for (const wchar_t* bad : {L"", L"2026-12-07 02:14:09+01:00", L"2026-13-07T02:14:09+01:00", L"2026-12-07T02:14:09Z"})
        EXPECT_FALSE(ParseLogTime(bad)) << bad;
    EXPECT_EQ(DurationText(40), L"40 s");
    EXPECT_EQ(DurationText(3 * 3600 + 12 * 60), L"3 h 12 min");
}

TEST(ReportCommandLine, LogsPageAndRuns) {
    const CommandLine line = ParseCommandLine({L"/report", L"a.csv", L"P:\\Logs\\*.csv", L"/HTML", L"n.html", L"-runs", L"ALL"});
    EXPECT_EQ(line.action, CommandLine::Action::Report);
    EXPECT_EQ(line.reportLogs, (std::vector<std::wstring>{L"a.csv", L"P:\\Logs\\*.csv"}));
    EXPECT_EQ(line.reportPage, L"n.html");
    EXPECT_TRUE(line.allRuns);
    EXPECT_EQ(ParseCommandLine({L"/report", L"a.csv", L"/?"}).action, CommandLine::Action::Usage);
    const CommandLine night = ParseCommandLine({L"/report", L"/queue", L"DSN=night", L"P:\\Drawings", L"/subfolders"});
    EXPECT_EQ(night.action, CommandLine::Action::Report);
    EXPECT_EQ(night.queue, L"DSN=night");
    EXPECT_EQ(night.folder, L"P:\\Drawings");
    EXPECT_TRUE(night.subfolders && night.reportLogs.empty());
    const std::pair<std::vector<std::wstring>, const wchar_t*> invalid[] = {
        {{L"/report"}, L"/report needs at least one log, or /queue and its database."},
        {{L"/report", L"a.csv", L"/html"}, L"/html needs a value."},
        {{L"/report", L"a.csv", L"/runs", L"some"}, L"/runs takes \"all\" or \"last\""},
        {{L"/report", L"a.csv", L"/update", L"D"}, L"/report takes logs, /html and /runs, or /queue, not /update."},
        {{L"/report", L"a.csv", L"/html", L"a", L"/html", L"b"}, L"/html is given twice."},
        {{L"/report", L"/queue", L"no attributes"}, L"/queue: it is no ODBC connection string"},
        {{L"/report", L"/queue", L"DSN=n", L"P:\\A", L"P:\\B"}, L"/report /queue takes one folder at most"},
        {{L"/report", L"/queue", L"DSN=n", L"/runs", L"all"}, L"/runs has no place with /queue"},
        {{L"/report", L"a.csv", L"/subfolders"}, L"/subfolders goes with /report /queue"},
    };
    for (const auto& [arguments, why] : invalid) {
        const CommandLine bad = ParseCommandLine(arguments);
        EXPECT_EQ(bad.action, CommandLine::Action::Invalid);
        EXPECT_EQ(bad.error.rfind(why, 0), 0u) << bad.error;
    }
}
