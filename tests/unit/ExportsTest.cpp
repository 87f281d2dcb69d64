// Exports: where each file goes and under which temporary name, the order
// of the CAD system's calls, what becomes of a target when its export or
// its draft fails, and what the lines, the log, /resume, /whatif, the
// report and the window say about them.
#include <gtest/gtest.h>

#include "Form1Fixture.h"
#include "common/CommandLineProgram.h"
#include "report/ReportPage.h"
#include "report/ReportText.h"
#include "unattended/ResumePlan.h"
#include "unattended/UnattendedRun.h"
#include "unattended/WhatIf.h"

using namespace kestrow;
using namespace kestrow::testing;

namespace {

const std::wstring kSaveAsCall = L"doc call 77 bstr:";
const std::vector<ExportFormat> kPdf{ExportFormat::Pdf};
const std::vector<ExportFormat> kPdfAndDxf{ExportFormat::Pdf, ExportFormat::Dxf};

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// The fake server's SaveAs writes "new" into the file it is given.
void SaveAsWrites(FakeServer& server, FakeExportFiles& files, std::function<void()> alsoThen = {}) {
    server.names[L"SaveAs"] = 77;
    server.onCall = [&files, alsoThen](const std::wstring& line) {
        if (line.rfind(kSaveAsCall, 0) != 0) return;
        files.disk[OrdinaryPath(line.substr(kSaveAsCall.size()))] = "new";
        if (alsoThen) alsoThen();
    };
}

// An unattended batch over C:\D\ against the fake server, where
// C:\D\a.pdf starts out as "old".
struct ExportBatch {
    FakeServer server;
    InlineLauncher launcher{server};
    FakeExportFiles files;
    RecordingOutput output{LogLayout::WithDetails};
    UnattendedUser user{output};
    DraftBatch* running = nullptr;
    int exitCode = -1;

    explicit ExportBatch(bool stopOnSaveAs = false) {
        files.disk[L"C:\\D\\a.pdf"] = "old";
        SaveAsWrites(server, files, [this, stopOnSaveAs] {
            if (stopOnSaveAs) running->RequestStop();
        });
    }
    BatchResult Run(const std::vector<std::wstring>& names, const std::vector<ExportFormat>& formats) {
        DraftBatch batch(L"C:\\D\\", names, launcher, CallWatch::Policy{});
        batch.SetExports({formats, L""}, files);
        running = &batch;
        BatchResult result = batch.Run(user, user);
        exitCode = user.Finish(result, L"C:\\D\\");
        return result;
    }
    bool TemporaryLeft() const {
        return std::any_of(files.disk.begin(), files.disk.end(), [](const auto& file) {
            return TemporaryExportOwner(file.first.substr(file.first.find_last_of(L'\\') + 1)).has_value();
        });
    }
};

// A log of this version's layout, all in run 3.
LogRow Logged(const wchar_t* result, const std::wstring& file, const std::wstring& to = L"",
              const std::wstring& description = L"") {
    LogRow row{L"2026-12-07T02:00:00+01:00", result, file};
    row.run = L"3";
    if (std::wstring(result) == LogResult::Stored) row.size = row.written = L"10";
    if (!description.empty()) {
        row.error = L"-2147024891";
        row.source = L"Kestrow";
        row.description = description;
    }
    if (!to.empty()) row.detail = FormatDetail({{L"to", to}, {L"format", to.substr(to.size() - 3)}});
    return row;
}
std::wstring LogOf(const std::vector<LogRow>& rows) {
    std::wstring text = LogHeaderFor(LogLayout::WithDetails) + L"\r\n";
    for (const LogRow& row : rows) text += FormatLogRow(row, LogLayout::WithDetails) + L"\r\n";
    return text;
}

}  // namespace

TEST(ExportTargets, BesideTheDraftOrMirroredUnderTheFolderWithATemporaryNameOfTheRun) {
    const std::vector<std::tuple<ExportRequest, std::wstring, std::vector<std::wstring>>> cases = {
        {{kPdfAndDxf, L""}, L"Sub\\b.DFT", {L"C:\\D\\Sub\\b.pdf", L"C:\\D\\Sub\\b.dxf"}},
        {{kPdf, L"E:\\Out"}, L"Sub\\b.dft", {L"E:\\Out\\Sub\\b.pdf"}},
        {{kPdf, L"\\\\srv\\share\\Out\\"}, L"a.dft", {L"\\\\srv\\share\\Out\\a.pdf"}},
        // Only the last extension goes; a dot in a folder's name is none.
        {{{ExportFormat::Dwg}, L""}, L"v1.2\\part.rev.dft", {L"C:\\D\\v1.2\\part.rev.dwg"}},
        {{{ExportFormat::Dwg}, L""}, L"v1.2\\noext", {L"C:\\D\\v1.2\\noext.dwg"}},
    };
    for (const auto& [request, name, expected] : cases) {
        std::vector<std::wstring> targets;
        for (const ExportTarget& target : ExportTargetsOf(request, L"C:\\D\\", name)) targets.push_back(target.path);
        EXPECT_EQ(targets, expected) << Narrow(name);
    }

    const ExportRun run{0x9E3A51C0, 4312, 0x01DB4C2A9F3E1200};
    EXPECT_EQ(TemporaryExportPath(L"C:\\D\\a.pdf", run, 7), L"C:\\D\\a.kestrow-9E3A51C0-4312-01DB4C2A9F3E1200-7.pdf");
    EXPECT_EQ(TemporaryExportOwner(L"b.c.kestrow-0000ABCD-1-0000000000000001-12.dxf"), (ExportRun{0xABCD, 1, 1}));
    // An earlier version's name, without the computer, is still known.
    EXPECT_EQ(TemporaryExportOwner(L"b.c.kestrow-1-0000000000000001-12.dxf"), (ExportRun{std::nullopt, 1, 1}));
    // A check's copy of a draft is one of Kestrow's temporary files too.
    EXPECT_EQ(TemporaryExportOwner(FileNameOf(TemporaryExportPath(L"C:\\D\\Bracket.dft", run, 0))), run);
    for (const wchar_t* other : {L"B.KESTROW-1-0000000000000001-12.DXF", L"a.dft.kestrow-312.tmp", L"a.kestrow-new.pdf",
                                 L"a.kestrow-4312-01db4c2a9f3e1200-7.pdf", L"a.kestrow-4312-01DB4C2A9F3E1200.pdf",
                                 L"a.kestrow-99999999999-01DB4C2A9F3E1200-7.pdf", L"a.kestrow-9e3a51c0-1-0000000000000001-1.pdf",
                                 L"a.kestrow-9E3A51C-1-0000000000000001-1.pdf", L"a.kestrow-X-9E3A51C0-1-0000000000000001-1.pdf"})
        EXPECT_FALSE(TemporaryExportOwner(other)) << Narrow(other);
    // A long name is cut so that the file's name stays within 255 characters.
    const std::wstring cut = TemporaryExportPath(L"C:\\D\\" + std::wstring(250, L'x') + L".pdf", run, 123456).substr(5);
    EXPECT_EQ(cut.size(), 255u);
    EXPECT_EQ(TemporaryExportOwner(cut), run);
    EXPECT_EQ(ComputerMark(L"cad-07.example.com"), ComputerMark(L"CAD-07.EXAMPLE.COM"));
    EXPECT_NE(ComputerMark(L"CAD-07"), ComputerMark(L"CAD-08"));
}

// Which temporary files a run sweeps from an export folder: this
// computer's once their run has ended, and another computer's, whose runs
// cannot be seen from here, only once unwritten for a day, as an earlier
// version's, which may be any computer's: computers that share a folder
// never take each other's files while they are written.
TEST(ExportTemporary, ALeftoverIsThisComputersEndedRunsOrAnotherComputersFileUnwrittenForADay) {
    using std::chrono::hours;
    const ExportRun self{0x9E3A51C0, 4312, 100}, ended{0x9E3A51C0, 77, 5}, otherComputer{0x12345678, 4312, 100},
        earlierVersion{std::nullopt, 77, 5};
    const std::vector<std::tuple<ExportRun, hours, bool, bool>> cases = {
        // owner, since its last write, whether its run runs here, left over
        {self, hours(48), false, false},
        {ended, hours(0), false, true},
        {ended, hours(48), true, false},
        {earlierVersion, hours(0), false, false},
        {earlierVersion, hours(23), false, false},
        {earlierVersion, hours(24), true, true},
        {otherComputer, hours(0), false, false},
        {otherComputer, hours(23), false, false},
        {otherComputer, hours(24), true, true},
    };
    for (const auto& [owner, age, runs, leftOver] : cases)
        EXPECT_EQ(IsLeftOverExport(owner, self, age, [&](const ExportRun&) { return runs; }), leftOver)
            << owner.process << " " << age.count();
}

// SaveAs is looked up once a session and made with each temporary name
// between the last view and the store; each folder is made and swept once,
// and a long path reaches the CAD system with its prefix.
TEST(DraftExports, MadeAfterEveryViewAndBeforeTheStoreThenMovedInPlace) {
    ExportBatch night;
    const std::wstring deep = L"Sub\\" + std::wstring(240, L'd');
    night.Run({L"a.dft", deep + L"\\b.dft"}, kPdfAndDxf);

    const std::vector<std::wstring>& calls = night.server.journal;
    const auto store = std::find(calls.begin(), calls.end(), L"doc call 6 bool:true");
    ASSERT_NE(store, calls.end());
    EXPECT_EQ(std::vector<std::wstring>(store - 5, store + 1),
              (std::vector<std::wstring>{L"qi view", L"view call 107", L"doc name SaveAs",
                                         kSaveAsCall + L"C:\\D\\a.kestrow-9E3A51C0-4312-01DB4C2A9F3E1200-1.pdf",
                                         kSaveAsCall + L"C:\\D\\a.kestrow-9E3A51C0-4312-01DB4C2A9F3E1200-2.dxf",
                                         L"doc call 6 bool:true"}));
    EXPECT_EQ(std::count(calls.begin(), calls.end(), L"doc name SaveAs"), 1);
    EXPECT_EQ(*(std::find(store + 1, calls.end(), L"doc call 6 bool:true") - 1),
              kSaveAsCall + L"\\\\?\\C:\\D\\" + deep + L"\\b.kestrow-9E3A51C0-4312-01DB4C2A9F3E1200-4.dxf");
    EXPECT_EQ(night.files.calls,
              (std::vector<std::wstring>{L"make C:\\D", L"sweep C:\\D", L"replace C:\\D\\a.pdf", L"replace C:\\D\\a.dxf",
                                         L"make C:\\D\\" + deep, L"sweep C:\\D\\" + deep,
                                         L"replace C:\\D\\" + deep + L"\\b.pdf", L"replace C:\\D\\" + deep + L"\\b.dxf"}));
    EXPECT_EQ(night.files.disk[L"C:\\D\\a.pdf"], "new");
    EXPECT_FALSE(night.TemporaryLeft());
    EXPECT_EQ(night.exitCode, ExitCode::AllStored);
    EXPECT_EQ(std::vector<std::wstring>(night.output.rows.begin(), night.output.rows.begin() + 2),
              (std::vector<std::wstring>{L"T,stored,C:\\D\\a.dft,,,,,,,,1,",
                                         L"T,exported,C:\\D\\a.dft,,,,,,,,1,to: C:\\D\\a.pdf | format: pdf | size: 3"}));
    EXPECT_EQ(night.output.lines[1], L"exported  a.dft  as pdf: C:\\D\\a.pdf");
    EXPECT_EQ(night.output.lines.back(), L"Updated 2 of 2 files in C:\\D\\. Exported 4 of 4 files.");
}

// Whatever fails, each target keeps its old file and no temporary file is
// left; an export fails alone, and only a draft that was not stored takes
// its exports with it. Each case makes the run's exit code 1.
TEST(DraftExports, AFailureLeavesTheOldFileAndOnlyALostDraftFailsItsDraft) {
    const RuntimeError refused(static_cast<std::int32_t>(0x80004005u), L"CAD", L"Cannot save");
    const RuntimeError gone(static_cast<std::int32_t>(0x800706BEu), L"", L"The call failed.", FailureKind::ServerGone);
    const struct {
        const char* what;
        std::function<void(ExportBatch&)> arrange;
        DraftState draft;
        std::string pdf;       // a.pdf afterwards
        std::wstring exports;  // each export's state and the start of its error
    } cases[] = {
        {"the first SaveAs fails after writing half", [&](ExportBatch& b) { b.server.Fail(kSaveAsCall, refused); },
         DraftState::Stored, "old", L"failed: Cannot save | exported"},
        {"no SaveAs by name", [](ExportBatch& b) { b.server.names.clear(); }, DraftState::Stored, "old",
         L"failed: Solid Edge does not know the call SaveAs (looked up by name on the document), so the drawing "
         L"could not be saved as pdf. | failed: "},
        {"a.pdf held by a viewer", [](ExportBatch& b) { b.files.locked.insert(L"C:\\D\\a.pdf"); }, DraftState::Stored,
         "old", L"failed: C:\\D\\a.pdf: Access denied. | exported"},
        {"the folder cannot be made", [](ExportBatch& b) { b.files.unmakeable.insert(L"C:\\D"); }, DraftState::Stored,
         "old", L"failed: C:\\D: Access denied. | failed: C:\\D: Access denied."},
        {"the store fails", [&](ExportBatch& b) { b.server.Fail(L"doc call 6 bool:true", refused); },
         DraftState::Failed, "old", L""},
        {"the server is lost during SaveAs", [&](ExportBatch& b) { b.server.Fail(kSaveAsCall, gone); },
         DraftState::Failed, "old", L""},
        {"a stop during the first export", nullptr, DraftState::Stored, "new",
         L"exported | failed: Not made: the batch was stopped"},
    };
    for (const auto& c : cases) {
        ExportBatch night(!c.arrange);
        if (c.arrange) c.arrange(night);
        const BatchResult result = night.Run({L"a.dft"}, kPdfAndDxf);
        EXPECT_EQ(result.drafts[0].state, c.draft) << c.what;
        EXPECT_EQ(night.files.disk[L"C:\\D\\a.pdf"], c.pdf) << c.what;
        EXPECT_FALSE(night.TemporaryLeft()) << c.what;
        EXPECT_EQ(night.exitCode, ExitCode::SomeNotStored) << c.what;
        std::wstring states;
        for (const DraftExport& made : result.drafts[0].exports)
            states += (states.empty() ? L"" : L" | ") + (made.state == DraftExport::State::Exported
                                                             ? std::wstring(L"exported")
                                                             : L"failed: " + made.error->Description());
        EXPECT_EQ(states.substr(0, c.exports.size()), c.exports) << c.what << ": " << Narrow(states);
    }
}

// /resume skips a stored draft only with every export now asked for; a
// report counts each exported file by its last row and names the failed.
TEST(ExportLog, ResumeWhatIfAndTheReportReadTheExportRows) {
    const std::wstring a = L"C:\\D\\a.dft", b = L"C:\\D\\b.dft", c = L"C:\\D\\c.dft";
    const std::wstring failure = L"C:\\D\\b.pdf could not be replaced; it is as it was: Access denied.";
    const std::wstring log = LogOf(
        {Logged(LogResult::RunStart, L"C:\\D\\"), Logged(LogResult::Stored, a),
         Logged(LogResult::Exported, a, L"C:\\D\\a.pdf"), Logged(LogResult::Stored, b),
         Logged(LogResult::ExportFailed, b, L"C:\\D\\b.pdf", failure), Logged(LogResult::Stored, c),
         Logged(LogResult::ExportFailed, c, L"C:\\D\\c.pdf", failure), Logged(LogResult::Exported, c, L"C:\\D\\c.pdf")});
    const LastRun last = ReadLastRun(log, LogLayout::WithDetails);
    const auto unchanged = [](const std::wstring&) { return std::optional<DraftFacts>(DraftFacts{L"10", L"10"}); };
    const std::vector<std::wstring> names{L"a.dft", L"b.dft", L"c.dft"};
    for (const auto& [exports, toDo] : std::vector<std::pair<ExportRequest, std::vector<std::wstring>>>{
             {{}, {}}, {{kPdf, L""}, {L"b.dft"}}, {{kPdfAndDxf, L""}, names}, {{kPdf, L"E:\\Out"}, names}})
        EXPECT_EQ(PlanRun(last, true, L"C:\\D\\", L"", names, unchanged, exports).toDo, toDo)
            << Narrow(ExportFormatsText(exports.formats) + exports.folder);

    WhatIfRequest asked{L"C:\\D\\", 1, 1};
    asked.exports = {kPdfAndDxf, L"E:\\Out"};
    RunPlan plan;
    plan.toDo = {L"Sub\\a.dft"};
    const std::vector<std::wstring> lines = WhatIfLines(asked, plan);
    EXPECT_EQ(std::vector<std::wstring>(lines.begin(), lines.begin() + 3),
              (std::vector<std::wstring>{L"would update  Sub\\a.dft", L"  and save it as  E:\\Out\\Sub\\a.pdf",
                                         L"  and save it as  E:\\Out\\Sub\\a.dxf"}));

    const std::vector<ReportSource> sources{{L"ws1.csv", L"C:\\ws1.csv", *ReadReportedLog(log, RunsToRead::Last)}};
    EXPECT_EQ(TotalsOf(sources).exports.made, 2);
    EXPECT_EQ(TotalsOf(sources).exports.failed, 1);
    EXPECT_FALSE(NightWentWell(sources));
    std::wstring text;
    for (const std::wstring& line : ReportLines(sources, RunsToRead::Last)) text += line + L"\n";
    EXPECT_NE(text.find(L"  exports: made 2, failed 1\n\nIn total:"), std::wstring::npos) << Narrow(text);
    EXPECT_NE(text.find(L"Failed exports (1; their drafts were stored):\n    C:\\D\\b.dft as pdf to C:\\D\\b.pdf  "
                        L"(ws1.csv, 02:00)\n      Error -2147024891 (0x80070005) in Kestrow: " + failure),
              std::wstring::npos)
        << Narrow(text);
    const std::wstring page = ReportPage(sources, RunsToRead::Last, PageSetting{});
    EXPECT_NE(page.find(L"<b>1</b><span>exports failed</span>"), std::wstring::npos);
    EXPECT_NE(page.find(L"<h2 id=\"failed-exports\">"), std::wstring::npos);
}

TEST(ExportWindow, TheStatusLineCountsExportsAndTheLastBoxNamesAFailedOne) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"a.dft", L"b.dft"});
    SaveAsWrites(f.server, f.exportFiles);
    f.exportFiles.locked.insert(L"C:\\D\\b.pdf");
    f.form.SetSettingsSource([] {
        BatchSettings settings;
        settings.exports = kPdf;
        return settings;
    });
    f.form.cmdUpdate_Click();
    EXPECT_EQ(f.Label1.caption, L"Updated 2 files, 1 of 2 exports in : ");
    ASSERT_EQ(f.messages.shown.size(), 1u);
    EXPECT_EQ(f.messages.shown[0].text,
              L"2 of 2 drawings were updated and stored.\n\n1 of 2 exports were saved.\n\nThis export failed; its drawing was stored:\n\n"
              L"b.dft as pdf - Error -2147024891 (0x80070005) in Kestrow: C:\\D\\b.pdf: Access denied.");
}
