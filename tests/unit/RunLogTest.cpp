// The log read back: its layouts, the last run in it, and what /resume
// does again or skips.
#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "unattended/LogTail.h"
#include "unattended/ResumePlan.h"
#include "unattended/RunLog.h"

using namespace kestrow;

namespace {

const std::wstring kHeader = L"time,result,file,error,source,description,run,seconds,size,written\r\n";

std::wstring Row(const std::wstring& result, const std::wstring& file, const std::wstring& run,
                 const std::wstring& description = L"", const std::wstring& size = L"",
                 const std::wstring& written = L"") {
    LogRow row;
    row.time = L"2026-12-07T02:00:00+01:00";
    row.result = result;
    row.file = file;
    row.description = description;
    row.run = run;
    row.size = size;
    row.written = written;
    return FormatLogRow(row, LogLayout::WithRuns) + L"\r\n";
}

// Drafts on disk as the facts look-up sees them.
struct Disk {
    std::map<std::wstring, DraftFacts> files;
    std::function<std::optional<DraftFacts>(const std::wstring&)> Facts() const {
        return [this](const std::wstring& path) -> std::optional<DraftFacts> {
            const auto found = files.find(path);
            if (found == files.end()) return std::nullopt;
            return found->second;
        };
    }
};

// A log held in memory, as ASCII bytes; counts what was read of it.
struct MemoryLog : LogBytes {
    std::string bytes;
    std::size_t read = 0;
    explicit MemoryLog(const std::wstring& text) : bytes(text.begin(), text.end()) {}
    std::uint64_t Size() override { return bytes.size(); }
    std::string Read(std::uint64_t offset, std::size_t count) override {
        read += count;
        return bytes.substr(static_cast<std::size_t>(offset), count);
    }
};

std::wstring Widened(const std::string& bytes) { return std::wstring(bytes.begin(), bytes.end()); }

const std::wstring kFolder = L"C:\\Drawings\\";
const std::vector<std::wstring> kNames = {L"a.dft", L"b.dft", L"c.dft", L"d.dft", L"e.dft"};

}  // namespace

TEST(RunLog, HeadersOfEveryLayoutAreKnownAndAnythingElseIsNot) {
    const std::vector<std::pair<std::wstring, std::optional<LogLayout>>> headers = {
        {L"\xFEFFtime,result,file,error,source,description,run,seconds,size,written\r", LogLayout::WithRuns},
        {L"time,result,file,error,source,description", LogLayout::SixColumns},
        {L"\xFEFFtime,result,file,error,source,description,run,seconds,size,written,session,detail\r\n",
         LogLayout::WithDetails},
        {L"KESTROW-DRAFT 1", std::nullopt},
        {L"time,result,file", std::nullopt},
        {L"time,result,file,error,source,description,run,seconds,size,written,session", std::nullopt},
        {L"", std::nullopt},
    };
    for (const auto& [header, layout] : headers) EXPECT_EQ(LogLayoutOf(header), layout) << header.size();
    EXPECT_EQ(LogLayoutOf(LogHeaderFor(kNewLogLayout)), kNewLogLayout);

    // Each layout keeps its columns; a field with a line break reads back whole.
    LogRow row;
    row.result = L"failed";
    row.file = L"C:\\x, y.dft";
    row.description = L"two\r\nlines";
    row.run = L"4";
    row.session = L"2";
    row.detail = L"copy: C:\\c\\1.dft";
    EXPECT_EQ(FormatLogRow(row, LogLayout::SixColumns), L",failed,\"C:\\x, y.dft\",,,\"two\r\nlines\"");
    EXPECT_EQ(FormatLogRow(row, LogLayout::WithDetails),
              L",failed,\"C:\\x, y.dft\",,,\"two\r\nlines\",4,,,,2,copy: C:\\c\\1.dft");
    const std::wstring text = FormatLogRow(row, LogLayout::WithRuns) + L"\r\nnext\n";
    CsvReader reader(text);
    std::vector<std::wstring> fields;
    ASSERT_TRUE(reader.Next(fields));
    EXPECT_EQ(fields, (std::vector<std::wstring>{L"", L"failed", L"C:\\x, y.dft", L"", L"", L"two\r\nlines", L"4",
                                                 L"", L"", L""}));
    ASSERT_TRUE(reader.Next(fields));
    EXPECT_EQ(fields, std::vector<std::wstring>{L"next"});
    EXPECT_FALSE(reader.Next(fields));
}

TEST(RunLog, ADetailIsNamedPartsThatReadBackAsWritten) {
    const std::wstring detail = FormatDetail({{L"buttons", L"OK / Cancel"}, {L"action", L"pressed OK"},
                                              {L"picture", L"C:\\Logs\\night-dialogs\\1.png"}, {L"odd", L"a|b"}});
    EXPECT_EQ(detail, L"buttons: OK / Cancel | action: pressed OK | picture: C:\\Logs\\night-dialogs\\1.png | odd: a/b");
    EXPECT_EQ(DetailValue(detail, L"picture"), L"C:\\Logs\\night-dialogs\\1.png");
    EXPECT_EQ(DetailValue(detail, L"action"), L"pressed OK");
    EXPECT_EQ(DetailValue(detail, L"missing"), L"");
    EXPECT_EQ(ParseDetail(L"").size(), 0u);
    EXPECT_EQ(ParseDetail(L"no colon")[0].name, L"no colon");
}

// Run 2 was killed with c in hand: it stored a and b (b changed on disk
// since), d failed, e was never reached, and f is new in the folder.
TEST(RunLog, AKilledRunIsResumedFromItsRowsOnly) {
    Disk disk;
    disk.files[kFolder + L"a.dft"] = {L"100", L"T1"};
    disk.files[kFolder + L"b.dft"] = {L"120", L"T9"};
    const std::wstring log = kHeader + Row(L"run-start", kFolder, L"1") + Row(L"stored", kFolder + L"e.dft", L"1", L"", L"5", L"T0") +
                             Row(L"run-end", kFolder, L"1", L"completed") + Row(L"run-start", kFolder, L"2") +
                             Row(L"in-hand", kFolder + L"a.dft", L"2") +
                             Row(L"stored", kFolder + L"A.DFT", L"2", L"", L"100", L"T1") +
                             Row(L"stored", kFolder + L"b.dft", L"2", L"", L"120", L"T2") +
                             Row(L"failed", kFolder + L"d.dft", L"2") + Row(L"in-hand", kFolder + L"c.dft", L"2") +
                             // A dialog was open when the power went: c was still in hand.
                             Row(L"dialog", kFolder + L"c.dft", L"2") + Row(L"dialog", kFolder + L"b.dft", L"2") +
                             L"2026-12-07T02:00:00+01:00,stor";  // torn by the power cut
    const LastRun last = ReadLastRun(log, LogLayout::WithRuns);
    EXPECT_EQ(last.number, 2);
    EXPECT_FALSE(last.completed);

    std::vector<std::wstring> names = kNames;
    names.push_back(L"f.dft");
    const RunPlan plan = PlanRun(last, true, kFolder, L"", names, disk.Facts());
    EXPECT_TRUE(plan.resumes);
    EXPECT_EQ(plan.run, 2);
    EXPECT_EQ(plan.skipped, 1);
    // e's row from run 1 does not count: only the last run is consulted.
    EXPECT_EQ(plan.toDo, (std::vector<std::wstring>{L"b.dft", L"c.dft", L"d.dft", L"e.dft", L"f.dft"}));
    EXPECT_EQ(plan.wasInHand, std::vector<std::wstring>{L"c.dft"});

    // Without /resume, over another folder or another share: everything, as a new run.
    for (const auto& request : std::vector<std::tuple<bool, std::wstring, std::wstring>>{
             {false, kFolder, L""}, {true, L"C:\\Other\\", L""}, {true, kFolder, L"shard 1/2"}}) {
        const RunPlan fresh = PlanRun(last, std::get<0>(request), std::get<1>(request), std::get<2>(request),
                                      kNames, disk.Facts());
        EXPECT_FALSE(fresh.resumes);
        EXPECT_EQ(fresh.run, 3);
        EXPECT_EQ(fresh.toDo, kNames);
    }

    // A resumed run that is cut short again keeps what its first part
    // stored; a row about a's copy is no fate of a.
    const std::wstring again = log + L"\r\n" + Row(L"run-resume", kFolder, L"2") + Row(L"kept-copy", kFolder + L"a.dft", L"2") +
                               Row(L"in-hand", kFolder + L"b.dft", L"2");
    const RunPlan third = PlanRun(ReadLastRun(again, LogLayout::WithRuns), true, kFolder, L"", kNames, disk.Facts());
    EXPECT_EQ(third.toDo, (std::vector<std::wstring>{L"b.dft", L"c.dft", L"d.dft", L"e.dft"}));
    EXPECT_EQ(third.wasInHand, (std::vector<std::wstring>{L"b.dft", L"c.dft"}));
}

TEST(RunLog, ARunThatEndedOrASixColumnLogMeansEverythingAgain) {
    Disk disk;
    disk.files[kFolder + L"a.dft"] = {L"100", L"T1"};
    const std::wstring completed = kHeader + Row(L"run-start", kFolder, L"7") +
                                   Row(L"stored", kFolder + L"a.dft", L"7", L"", L"100", L"T1") +
                                   Row(L"run-end", kFolder, L"7", L"completed");
    RunPlan plan = PlanRun(ReadLastRun(completed, LogLayout::WithRuns), true, kFolder, L"", kNames, disk.Facts());
    EXPECT_FALSE(plan.resumes);
    EXPECT_EQ(plan.run, 8);
    EXPECT_EQ(plan.toDo, kNames);

    // Stopped, or the server kept failing: the run did not end, and is resumed.
    const std::wstring stopped = kHeader + Row(L"run-start", kFolder, L"7") +
                                 Row(L"stored", kFolder + L"a.dft", L"7", L"", L"100", L"T1") +
                                 Row(L"run-end", kFolder, L"7", L"server-kept-failing");
    plan = PlanRun(ReadLastRun(stopped, LogLayout::WithRuns), true, kFolder, L"", kNames, disk.Facts());
    EXPECT_TRUE(plan.resumes);
    EXPECT_EQ(plan.skipped, 1);

    // Six columns: no run is recorded, so there is nothing to resume.
    const std::wstring six = L"time,result,file,error,source,description\r\n"
                             L"2026-12-07T02:00:00+01:00,stored,C:\\Drawings\\a.dft,,,\r\n";
    const LastRun none = ReadLastRun(six, LogLayout::SixColumns);
    EXPECT_EQ(none.number, 0);
    plan = PlanRun(none, true, kFolder, L"", kNames, disk.Facts());
    EXPECT_FALSE(plan.resumes);
    EXPECT_EQ(plan.run, 1);
    EXPECT_EQ(plan.toDo, kNames);
}

// The last run found from the end reads as the whole log reads, whatever
// the chunks: quoted fields with line breaks (one holding "run-start"), a
// row torn by a power cut, and a line that looks like a run's start but
// carries no run number.
TEST(RunLog, TheLastRunIsFoundFromTheEndOfTheLog) {
    const std::wstring lastRun =
        Row(L"run-start", kFolder, L"12") + Row(L"in-hand", kFolder + L"a.dft", L"12") +
        Row(L"failed", kFolder + L"a.dft", L"12", L"two\r\nlines,\r\n2026-12-07T02:00:00+01:00 run-start, \"x\"") +
        Row(L"stored", kFolder + L"b.dft", L"12", L"", L"5", L"T5") + Row(L"in-hand", kFolder + L"c.dft", L"12") +
        L"2026-12-07T02:00:00+01:00,stor\r\n" + Row(L"run-resume", kFolder, L"12") +
        Row(L"stored", kFolder + L"c.dft", L"12", L"", L"6", L"T6");
    std::wstring earlier = kHeader;
    for (int run = 1; run <= 11; ++run)
        earlier += Row(L"run-start", kFolder, std::to_wstring(run)) +
                   Row(L"stored", kFolder + L"d.dft", std::to_wstring(run), L"", L"1", L"T1") +
                   Row(L"run-end", kFolder, std::to_wstring(run), L"completed");
    const std::wstring noNumber = L"2026-12-07T02:00:00+01:00,run-start,C:\\,,,,x\r\n";
    for (const std::wstring& log : {earlier + lastRun, earlier + lastRun + noNumber}) {
        const LastRun whole = ReadLastRun(log, LogLayout::WithRuns);
        ASSERT_EQ(whole.number, 12);
        for (std::size_t chunk : {1u, 7u, 36u, 37u, 38u, 100u, 1u << 20}) {
            SCOPED_TRACE(chunk);
            MemoryLog memory(log);
            const LastRun tail = ReadLastRunFromEnd(memory, LogLayout::WithRuns, Widened, chunk);
            EXPECT_EQ(std::tie(tail.number, tail.completed, tail.folder), std::tie(whole.number, whole.completed, whole.folder));
            ASSERT_EQ(tail.fates.size(), 3u);
            for (const auto& [path, fate] : whole.fates)
                EXPECT_EQ(tail.fates.at(path).result + tail.fates.at(path).written, fate.result + fate.written);
            if (chunk == 100u) EXPECT_LT(memory.read, 2 * (log.size() - earlier.size()) + 400);
        }
    }
    MemoryLog none(kHeader);
    EXPECT_EQ(ReadLastRunFromEnd(none, LogLayout::WithRuns, Widened, 16).number, 0);
}

// Every reader of a log (the report, /resume, /whatif, a run's start) takes
// its rows through LogRowReader: a row torn by a power cut, at the end or
// before later rows, even inside quotes, costs that row only.
TEST(RunLog, ARowCutShortCostsThatRowOnly) {
    const std::wstring stored = Row(L"stored", kFolder + L"b.dft", L"3", L"", L"5", L"T5");
    const std::wstring tornInQuotes = L"2026-12-07T02:00:00+01:00,failed,C:\\Drawings\\a.dft,-1,CAD,\"Could not\r\n";
    const struct {
        const char* name;
        std::wstring text;
        int rows;
        std::int64_t torn;
    } cases[] = {
        {"at the end", stored + L"2026-12-07T02:00:00+01:00,stor", 1, 1},
        {"before later rows", L"2026-12-07T02:00:00+01:00,failed,C:\\Drawings\\a.dft\r\n" + stored, 1, 1},
        {"inside quotes", tornInQuotes + stored + stored, 2, 1},
        {"inside quotes a later row closes", tornInQuotes + Row(L"failed", kFolder + L"x, y.dft", L"3") + stored, 2, 1},
        {"a blank line is no row", L"\r\n" + stored, 1, 0},
        {"a quoted line break is no tear", Row(L"failed", kFolder + L"c.dft", L"3", L"two\r\nlines") + stored, 2, 0},
    };
    for (const auto& c : cases) {
        LogRowReader reader(c.text, 0, LogLayout::WithRuns);
        std::vector<std::wstring> fields;
        int rows = 0;
        while (reader.Next(fields)) {
            ++rows;
            EXPECT_EQ(fields.size(), 10u) << c.name;
        }
        EXPECT_EQ(rows, c.rows) << c.name;
        EXPECT_EQ(reader.TornRows(), c.torn) << c.name;
    }
}

// Run 4 was cut short in the middle of a row (inside quotes), resumed, and
// stopped again: /resume skips what the resumed part stored.
TEST(RunLog, ARowTornInsideQuotesHidesNoLaterRowFromResume) {
    Disk disk;
    const std::wstring log =
        kHeader + Row(L"run-start", kFolder, L"4") + Row(L"in-hand", kFolder + L"a.dft", L"4") +
        L"2026-12-07T02:00:09+01:00,failed,C:\\Drawings\\a.dft,-1,CAD,\"Could not\r\n" + Row(L"run-resume", kFolder, L"4") +
        Row(L"stored", kFolder + L"b.dft", L"4", L"", L"5", L"T5") + Row(L"stored", kFolder + L"c.dft", L"4", L"", L"6", L"T6") +
        Row(L"run-end", kFolder, L"4", L"stopped");
    disk.files[kFolder + L"b.dft"] = {L"5", L"T5"};
    disk.files[kFolder + L"c.dft"] = {L"6", L"T6"};
    MemoryLog memory(log);
    const RunPlan plan =
        PlanRun(ReadLastRunFromEnd(memory, LogLayout::WithRuns, Widened), true, kFolder, L"", kNames, disk.Facts());
    EXPECT_TRUE(plan.resumes);
    EXPECT_EQ(plan.skipped, 2);
    EXPECT_EQ(plan.toDo, (std::vector<std::wstring>{L"a.dft", L"d.dft", L"e.dft"}));
    EXPECT_EQ(plan.wasInHand, std::vector<std::wstring>{L"a.dft"});
}
