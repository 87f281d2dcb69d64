// Exports: the command line, where each file goes and under which
// temporary name, the order of the CAD system's calls, what becomes of a
// target when its export or its draft fails, and what the lines, the log,
// /resume, /whatif, the report and the window say about them.
#include <gtest/gtest.h>

#include "FakeAutomation.h"
#include "Fakes.h"
#include "Form1Fixture.h"
#include "report/NightSummary.h"
#include "report/ReportPage.h"
#include "report/ReportText.h"
#include "unattended/CommandLine.h"
#include "unattended/ExportRows.h"
#include "unattended/ResumePlan.h"
#include "unattended/UnattendedRun.h"
#include "unattended/WhatIf.h"

using namespace kestrow;
using namespace kestrow::testing;

namespace {

constexpr std::int32_t kSaveAsId = 77;
const std::wstring kSaveAsCall = L"doc call 77 bstr:";
const std::vector<ExportFormat> kPdf{ExportFormat::Pdf};
const std::vector<ExportFormat> kPdfAndDxf{ExportFormat::Pdf, ExportFormat::Dxf};

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::wstring Joined(const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (const auto& line : lines) text += line + L"\n";
    return text;
}

struct RecordingOutput : RunOutput {
    std::vector<std::wstring> lines, rows;
    void Line(const std::wstring& text) override { lines.push_back(text); }
    void InHand(const DraftRecord&) override {}
    void Row(const DraftRecord& draft, std::optional<double>) override {
        rows.push_back(FormatLogRow(DraftLogRow(L"T", draft), LogLayout::WithDetails));
    }
    void Row(const UnreadableFolder&) override {}
    void ExportRow(const DraftRecord& draft, const DraftExport& made) override {
        rows.push_back(FormatLogRow(ExportLogRow(L"T", draft, made), LogLayout::WithDetails));
    }
};

// A batch over C:\D\ against the fake server, whose SaveAs writes the file
// it is given on the fake disk, where every target starts out as "old".
struct ExportBatch {
    FakeServer server;
    InlineLauncher launcher{server};
    FakeExportFiles files;
    RecordingOutput output;
    UnattendedUser user{output};
    bool stopOnSaveAs = false;  // the first SaveAs comes with a stop
    DraftBatch* running = nullptr;

    explicit ExportBatch(std::vector<std::wstring> targets = {}) {
        server.names[L"SaveAs"] = kSaveAsId;
        for (const std::wstring& target : targets) files.disk[target] = "old";
        server.onCall = [this](const std::wstring& line) {
            if (line.rfind(kSaveAsCall, 0) != 0) return;
            files.disk[OrdinaryPath(line.substr(kSaveAsCall.size()))] = "new";
            if (stopOnSaveAs) running->RequestStop();
        };
    }

    BatchResult Run(const std::vector<std::wstring>& names, const ExportRequest& request,
                    const std::wstring& folder = L"C:\\D\\") {
        DraftBatch batch(folder, names, launcher, CallWatch::Policy{});
        batch.SetExports(request, files);
        running = &batch;
        BatchResult result = batch.Run(user, user);
        exitCode = user.Finish(result, folder);
        return result;
    }
    std::vector<std::wstring> Temporaries() const {
        std::vector<std::wstring> left;
        for (const auto& [path, content] : files.disk)
            if (TemporaryExportOwner(path.substr(path.find_last_of(L'\\') + 1))) left.push_back(path);
        return left;
    }
    int exitCode = -1;
};

}  // namespace

TEST(ExportCommandLine, FormatsAndTheirFolder) {
    const auto night = ParseCommandLine({L"/update", L"D", L"/EXPORT", L"dxf, PDF", L"-ExportTo", L"E:\\Out"});
    ASSERT_EQ(night.action, CommandLine::Action::Update) << Narrow(night.error);
    EXPECT_EQ(night.exports.formats, kPdfAndDxf);
    EXPECT_EQ(night.exports.folder, L"E:\\Out");
    EXPECT_FALSE(ParseCommandLine({L"/update", L"D"}).exports.Any());

    const std::vector<std::pair<std::vector<std::wstring>, std::wstring>> bad = {
        {{L"/update", L"D", L"/export"}, L"/export needs a value."},
        {{L"/update", L"D", L"/export", L"pdf,tiff"}, L"/export needs a comma list of pdf, dwg and dxf"},
        {{L"/update", L"D", L"/export", L"pdf,,dxf"}, L"/export needs a comma list"},
        {{L"/update", L"D", L"/export", L" "}, L"/export needs a comma list"},
        {{L"/update", L"D", L"/export", L"pdf", L"/export", L"dxf"}, L"/export is given twice."},
        {{L"/update", L"D", L"/exportto", L"E:\\Out"}, L"/exportto needs /export"},
        {{L"/update", L"D", L"/export", L"pdf", L"/exportto", L""}, L"/exportto needs a folder."},
    };
    for (const auto& [arguments, why] : bad) {
        const auto line = ParseCommandLine(arguments);
        EXPECT_EQ(line.action, CommandLine::Action::Invalid) << Narrow(why);
        EXPECT_EQ(line.error.find(why), 0u) << Narrow(line.error);
    }
}

TEST(ExportTargets, BesideTheDraftOrMirroredUnderTheFolder) {
    struct Case {
        ExportRequest request;
        std::wstring name;
        std::vector<std::wstring> targets;
    };
    const std::vector<Case> cases = {
        {{kPdf, L""}, L"a.dft", {L"C:\\D\\a.pdf"}},
        {{kPdfAndDxf, L""}, L"Sub\\Deep\\b.DFT", {L"C:\\D\\Sub\\Deep\\b.pdf", L"C:\\D\\Sub\\Deep\\b.dxf"}},
        {{kPdf, L"E:\\Out"}, L"Sub\\b.dft", {L"E:\\Out\\Sub\\b.pdf"}},
        {{kPdf, L"\\\\srv\\share\\Out\\"}, L"a.dft", {L"\\\\srv\\share\\Out\\a.pdf"}},
        // Only the last extension goes; a dot in a folder's name is no extension.
        {{kPdf, L""}, L"v1.2\\part.rev.dft", {L"C:\\D\\v1.2\\part.rev.pdf"}},
        {{{ExportFormat::Dwg}, L""}, L"v1.2\\noext", {L"C:\\D\\v1.2\\noext.dwg"}},
    };
    for (const Case& c : cases) {
        std::vector<std::wstring> targets;
        for (const ExportTarget& target : ExportTargetsOf(c.request, L"C:\\D\\", c.name)) targets.push_back(target.path);
        EXPECT_EQ(targets, c.targets) << Narrow(c.name);
    }
}

// A temporary file keeps the target's extension and folder and names its
// run; a later run knows its own kind of file from any other.
TEST(ExportTargets, TemporaryNamesTellTheirRunAndNothingElseIsTakenForOne) {
    const ExportRun run{4312, 0x01DB4C2A9F3E1200};
    const std::wstring temporary = TemporaryExportPath(L"C:\\D\\Sub\\a.pdf", run, 7);
    EXPECT_EQ(temporary, L"C:\\D\\Sub\\a.kestrow-4312-01DB4C2A9F3E1200-7.pdf");
    EXPECT_EQ(TemporaryExportOwner(temporary.substr(9)), run);
    EXPECT_EQ(TemporaryExportOwner(L"b.c.kestrow-1-0000000000000001-12.dxf"), (ExportRun{1, 1}));
    for (const wchar_t* other : {L"a.pdf", L"B.KESTROW-1-0000000000000001-12.DXF", L"a.dft.kestrow-312.tmp", L"log.csv.kestrow-new",
                                 L"a.kestrow-4312-01DB4C2A9F3E1200-7.txt", L"a.kestrow-4312-01db4c2a9f3e1200-7.pdf",
                                 L"a.kestrow-4312-01DB4C2A9F3E12-7.pdf", L"a.kestrow-x-01DB4C2A9F3E1200-7.pdf",
                                 L"a.kestrow-4312-01DB4C2A9F3E1200.pdf", L"a.kestrow-99999999999-01DB4C2A9F3E1200-7.pdf"})
        EXPECT_FALSE(TemporaryExportOwner(other)) << Narrow(other);
    // A long name is cut so that the file name stays within 255 characters.
    const std::wstring longName = TemporaryExportPath(L"C:\\D\\" + std::wstring(250, L'x') + L".pdf", run, 123456);
    const std::wstring fileName = longName.substr(5);
    EXPECT_EQ(fileName.size(), 255u);
    EXPECT_EQ(TemporaryExportOwner(fileName), run);
}

TEST(DraftExports, MadeAfterEveryViewAndBeforeTheStoreThenMovedInPlace) {
    ExportBatch night({L"C:\\D\\a.pdf"});
    const BatchResult result = night.Run({L"a.dft", L"Sub\\b.dft"}, {kPdfAndDxf, L""});

    // SaveAs is looked up once a session, and made with each temporary name
    // between the last view and the store.
    const std::vector<std::wstring>& calls = night.server.journal;
    const auto at = [&](const std::wstring& prefix, size_t from = 0) {
        for (size_t i = from; i < calls.size(); ++i)
            if (calls[i].rfind(prefix, 0) == 0) return i;
        return calls.size();
    };
    EXPECT_EQ(std::count(calls.begin(), calls.end(), L"doc name SaveAs"), 1);
    const size_t lastView = at(L"view call 107", at(L"view call 107") + 1), firstStore = at(L"doc call 6 bool:true");
    EXPECT_EQ(calls[lastView + 1], L"doc name SaveAs");
    EXPECT_EQ(calls[lastView + 2], kSaveAsCall + L"C:\\D\\a.kestrow-4312-01DB4C2A9F3E1200-1.pdf");
    EXPECT_EQ(calls[lastView + 3], kSaveAsCall + L"C:\\D\\a.kestrow-4312-01DB4C2A9F3E1200-2.dxf");
    EXPECT_EQ(lastView + 4, firstStore);
    EXPECT_EQ(calls[at(L"doc call 6 bool:true", firstStore + 1) - 1],
              kSaveAsCall + L"C:\\D\\Sub\\b.kestrow-4312-01DB4C2A9F3E1200-4.dxf");

    // Each folder is made and swept once; every target holds its export.
    EXPECT_EQ(night.files.calls, (std::vector<std::wstring>{L"make C:\\D", L"sweep C:\\D", L"replace C:\\D\\a.pdf",
                                                            L"replace C:\\D\\a.dxf", L"make C:\\D\\Sub",
                                                            L"sweep C:\\D\\Sub", L"replace C:\\D\\Sub\\b.pdf",
                                                            L"replace C:\\D\\Sub\\b.dxf"}));
    for (const wchar_t* target : {L"C:\\D\\a.pdf", L"C:\\D\\a.dxf", L"C:\\D\\Sub\\b.pdf", L"C:\\D\\Sub\\b.dxf"})
        EXPECT_EQ(night.files.disk[target], "new") << Narrow(target);
    EXPECT_TRUE(night.Temporaries().empty());
    EXPECT_EQ(result.CountExports(DraftExport::State::Exported), 4);
    EXPECT_EQ(night.exitCode, ExitCode::AllStored);
    EXPECT_EQ(night.output.rows[0], L"T,stored,C:\\D\\a.dft,,,,,,,,1,");
    EXPECT_EQ(night.output.rows[1], L"T,exported,C:\\D\\a.dft,,,,,,,,1,to: C:\\D\\a.pdf | format: pdf | size: 3");
    EXPECT_EQ(night.output.lines[1], L"exported  a.dft  as pdf: C:\\D\\a.pdf");
    EXPECT_EQ(night.output.lines.back(), L"Updated 2 of 2 files in C:\\D\\. Exported 4 of 4 files.");
}

// Whatever fails, each target keeps its old file and no temporary file is
// left; an export fails alone, and only a draft that was not stored takes
// its exports with it.
TEST(DraftExports, AFailureLeavesTheOldFileAndOnlyALostDraftFailsItsDraft) {
    struct Case {
        const char* what;
        std::function<void(ExportBatch&)> arrange;
        DraftState draft;
        std::string pdf;            // a.pdf afterwards
        std::wstring exportStates;  // each export's state and the start of its error
    };
    const RuntimeError refused(static_cast<std::int32_t>(0x80004005u), L"CAD", L"Cannot save");
    const RuntimeError gone(static_cast<std::int32_t>(0x800706BEu), L"", L"The remote procedure call failed.",
                            FailureKind::ServerGone);
    const std::vector<Case> cases = {
        {"the first SaveAs fails after writing half", [&](ExportBatch& b) { b.server.Fail(kSaveAsCall, refused); },
         DraftState::Stored, "old", L"failed: Cannot save | exported"},
        {"no SaveAs by name", [](ExportBatch& b) { b.server.names.clear(); }, DraftState::Stored, "old",
         L"failed: The CAD system does not know the call SaveAs (looked up by name on the document), so the drawing "
         L"could not be saved as pdf. | failed: The CAD system does not know the call SaveAs"},
        {"a.pdf held by a viewer", [](ExportBatch& b) { b.files.locked.insert(L"C:\\D\\a.pdf"); }, DraftState::Stored,
         "old", L"failed: C:\\D\\a.pdf: Access denied. | exported"},
        {"the folder cannot be made", [](ExportBatch& b) { b.files.unmakeable.insert(L"C:\\D"); }, DraftState::Stored,
         "old", L"failed: C:\\D: Access denied. | failed: C:\\D: Access denied."},
        {"a stop during the first export", [](ExportBatch& b) { b.stopOnSaveAs = true; }, DraftState::Stored, "new",
         L"exported | failed: Not made: the batch was stopped"},
        {"the store fails", [&](ExportBatch& b) { b.server.Fail(L"doc call 6 bool:true", refused); },
         DraftState::Failed, "old", L""},
        {"the server is lost during SaveAs", [&](ExportBatch& b) { b.server.Fail(kSaveAsCall, gone); },
         DraftState::Failed, "old", L""},
    };
    for (const Case& c : cases) {
        ExportBatch night({L"C:\\D\\a.pdf"});
        c.arrange(night);
        const BatchResult result = night.Run({L"a.dft"}, {kPdfAndDxf, L""});
        EXPECT_EQ(result.drafts[0].state, c.draft) << c.what;
        EXPECT_EQ(night.files.disk[L"C:\\D\\a.pdf"], c.pdf) << c.what;
        EXPECT_TRUE(night.Temporaries().empty()) << c.what;
        EXPECT_EQ(night.exitCode, ExitCode::SomeNotStored) << c.what;
        std::wstring states;
        for (const DraftExport& made : result.drafts[0].exports)
            states += (states.empty() ? L"" : L" | ") +
                      (made.state == DraftExport::State::Exported ? std::wstring(L"exported")
                                                                  : L"failed: " + made.error->Description());
        EXPECT_EQ(states.substr(0, c.exportStates.size()), c.exportStates) << c.what << ": " << Narrow(states);
    }
}

TEST(DraftExports, LongPathsReachTheCadSystemWithThePrefix) {
    ExportBatch night;
    const std::wstring deep = L"C:\\" + std::wstring(240, L'd') + L"\\";
    night.Run({L"a.dft"}, {kPdf, L""}, deep);
    const auto saved = std::find_if(night.server.journal.begin(), night.server.journal.end(),
                                    [](const std::wstring& line) { return line.rfind(kSaveAsCall, 0) == 0; });
    ASSERT_NE(saved, night.server.journal.end());
    EXPECT_EQ(saved->substr(kSaveAsCall.size(), 4), L"\\\\?\\");
    EXPECT_EQ(night.files.disk[deep + L"a.pdf"], "new");
}

TEST(ExportResume, ADraftIsSkippedOnlyWithEveryExportItIsAskedFor) {
    const auto row = [](const wchar_t* result, const std::wstring& file, const std::wstring& detail = L"") {
        LogRow r;
        r.time = L"2026-12-07T02:00:00+01:00";
        r.result = result;
        r.file = file;
        r.run = L"3";
        r.size = std::wstring(result) == LogResult::Stored ? L"10" : L"";
        r.written = r.size.empty() ? L"" : L"5";
        r.detail = detail;
        return FormatLogRow(r, LogLayout::WithDetails) + L"\r\n";
    };
    const std::wstring log = LogHeaderFor(LogLayout::WithDetails) + L"\r\n" +
                             row(LogResult::RunStart, L"C:\\D\\") + row(LogResult::Stored, L"C:\\D\\a.dft") +
                             row(LogResult::Exported, L"C:\\D\\a.dft", L"to: C:\\D\\a.pdf | format: pdf | size: 9") +
                             row(LogResult::Stored, L"C:\\D\\b.dft") +
                             row(LogResult::ExportFailed, L"C:\\D\\b.dft", L"to: C:\\D\\b.pdf | format: pdf") +
                             row(LogResult::Stored, L"C:\\D\\c.dft");
    const LastRun last = ReadLastRun(log);
    const auto unchanged = [](const std::wstring&) { return std::optional<DraftFacts>(DraftFacts{L"10", L"5"}); };
    const std::vector<std::wstring> names{L"a.dft", L"b.dft", L"c.dft"};
    struct Case {
        ExportRequest exports;
        std::vector<std::wstring> toDo;
    };
    for (const Case& c : std::vector<Case>{{{}, {}},
                                           {{kPdf, L""}, {L"b.dft", L"c.dft"}},
                                           {{kPdfAndDxf, L""}, names},
                                           {{kPdf, L"E:\\Out"}, names}}) {
        const RunPlan plan = PlanRun(last, true, L"C:\\D\\", L"", names, unchanged, c.exports);
        EXPECT_TRUE(plan.resumes);
        EXPECT_EQ(plan.toDo, c.toDo) << Narrow(ExportFormatsText(c.exports.formats)) << Narrow(c.exports.folder);
    }

    WhatIfRequest asked;
    asked.folder = L"C:\\D\\";
    asked.listed = 1;
    asked.inShare = 1;
    asked.exports = {kPdfAndDxf, L"E:\\Out"};
    RunPlan plan;
    plan.toDo = {L"Sub\\a.dft"};
    const std::vector<std::wstring> lines = WhatIfLines(asked, plan);
    EXPECT_EQ(std::vector<std::wstring>(lines.begin(), lines.begin() + 3),
              (std::vector<std::wstring>{L"would update  Sub\\a.dft", L"  and save it as  E:\\Out\\Sub\\a.pdf",
                                         L"  and save it as  E:\\Out\\Sub\\a.dxf"}));
}

// A failed export redone by a resumed run counts once, by its last row.
TEST(ExportReport, CountsExportsAndListsTheFailedOnes) {
    const auto row = [](const wchar_t* time, const wchar_t* result, const std::wstring& file,
                        const std::wstring& to = L"", bool failed = false) {
        LogRow r;
        r.time = std::wstring(L"2026-12-07T") + time + L"+01:00";
        r.result = result;
        r.file = file;
        r.run = L"1";
        if (failed) {
            r.error = L"-2147024891";
            r.source = L"Kestrow";
            r.description = to + L" could not be replaced; it is as it was: Access denied.";
        }
        if (!to.empty()) r.detail = FormatDetail({{L"to", to}, {L"format", L"pdf"}});
        return FormatLogRow(r, LogLayout::WithDetails) + L"\r\n";
    };
    const std::wstring a = L"P:\\D\\a.dft", b = L"P:\\D\\b.dft", c = L"P:\\D\\c.dft";
    const std::wstring text = LogHeaderFor(LogLayout::WithDetails) + L"\r\n" +
                              row(L"02:00:00", LogResult::RunStart, L"P:\\D\\") + row(L"02:00:01", LogResult::Stored, a) +
                              row(L"02:00:01", LogResult::Exported, a, L"P:\\D\\a.pdf") +
                              row(L"02:00:02", LogResult::Stored, b) +
                              row(L"02:00:02", LogResult::ExportFailed, b, L"P:\\D\\b.pdf", true) +
                              row(L"02:00:03", LogResult::Stored, c) +
                              row(L"02:00:03", LogResult::ExportFailed, c, L"P:\\D\\c.pdf", true) +
                              row(L"02:00:04", LogResult::Stored, c) +
                              row(L"02:00:04", LogResult::Exported, c, L"P:\\D\\c.pdf") +
                              row(L"02:00:05", LogResult::RunEnd, L"P:\\D\\");
    const std::vector<ReportSource> sources{
        ReportSource{L"ws1.csv", L"P:\\Logs\\ws1.csv", *ReadReportedLog(text, RunsToRead::Last)}};
    const NightTotals totals = TotalsOf(sources);
    EXPECT_EQ(totals.exports.made, 2);
    EXPECT_EQ(totals.exports.failed, 1);
    EXPECT_EQ(totals.fates.stored, 3);
    EXPECT_FALSE(NightWentWell(sources));

    const std::wstring lines = Joined(ReportLines(sources, RunsToRead::Last));
    EXPECT_NE(lines.find(L"  exports: made 2, failed 1\n\nIn total:"), std::wstring::npos) << Narrow(lines);
    EXPECT_NE(lines.find(L"Failed exports (1; their drafts were stored):\n    P:\\D\\b.dft as pdf to P:\\D\\b.pdf"),
              std::wstring::npos)
        << Narrow(lines);
    const std::wstring page = ReportPage(sources, RunsToRead::Last, PageSetting{});
    EXPECT_NE(page.find(L"<b>1</b><span>exports failed</span>"), std::wstring::npos);
    EXPECT_NE(page.find(L"<h2 id=\"failed-exports\">"), std::wstring::npos);
}

TEST(ExportWindow, TheStatusLineCountsExportsAndTheLastBoxNamesAFailedOne) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"a.dft", L"b.dft"});
    f.server.names[L"SaveAs"] = kSaveAsId;
    f.server.onCall = [&](const std::wstring& line) {
        if (line.rfind(kSaveAsCall, 0) == 0) f.exportFiles.disk[line.substr(kSaveAsCall.size())] = "new";
    };
    f.form.SetSettingsSource([] {
        BatchSettings settings;
        settings.exports = kPdf;
        return settings;
    });
    f.form.cmdUpdate_Click();
    EXPECT_EQ(f.Label1.caption, L"Updated 2 files, 2 exports in : ");
    EXPECT_TRUE(f.messages.shown.empty());

    f.exportFiles.locked.insert(L"C:\\D\\b.pdf");
    f.form.cmdUpdate_Click();
    EXPECT_EQ(f.Label1.caption, L"Updated 2 files, 1 of 2 exports in : ");
    ASSERT_EQ(f.messages.shown.size(), 1u);
    EXPECT_EQ(f.messages.shown[0].text,
              L"2 of 2 drawings were updated and stored.\n\nThis export failed; its drawing was stored:\n\n"
              L"b.dft as pdf - Error -2147024891 (0x80070005): C:\\D\\b.pdf: Access denied.");
}
