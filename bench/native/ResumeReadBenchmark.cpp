// What /resume costs before the first draft: reading the last run out of a
// log of 100,000 rows and planning a run of 5,000 listed drafts from it.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "unattended/ResumePlan.h"
#include "unattended/RunLog.h"

namespace {

const std::wstring kFolder = L"D:\\Projects\\Drawings\\";

std::wstring Name(int i) { return L"Sub " + std::to_wstring(i % 40) + L"\\Drawing " + std::to_wstring(100000 + i) + L" rev B.dft"; }

// Twenty runs of 5,000 drafts each, the last cut short half-way.
std::wstring MakeLog(int rows) {
    std::wstring text = kestrow::LogHeaderFor(kestrow::LogLayout::WithRuns) + L"\r\n";
    const int perRun = 5000;
    for (int i = 0; i < rows; ++i) {
        const int run = i / perRun + 1;
        kestrow::LogRow row;
        row.time = L"2026-12-07T02:14:09+01:00";
        row.run = std::to_wstring(run);
        if (i % perRun == 0) {
            row.result = kestrow::LogResult::RunStart;
            row.file = kFolder;
            text += kestrow::FormatLogRow(row, kestrow::LogLayout::WithRuns) + L"\r\n";
        }
        row.file = kFolder + Name(i % perRun);
        row.result = kestrow::LogResult::Stored;
        row.seconds = L"1.204";
        row.size = L"48211";
        row.written = L"2026-12-07T01:14:09.1234567Z";
        text += kestrow::FormatLogRow(row, kestrow::LogLayout::WithRuns) + L"\r\n";
        if (i % perRun == perRun - 1 && i + 1 < rows) {
            kestrow::LogRow end;
            end.result = kestrow::LogResult::RunEnd;
            end.run = row.run;
            end.description = kestrow::kRunCompleted;
            text += kestrow::FormatLogRow(end, kestrow::LogLayout::WithRuns) + L"\r\n";
        }
    }
    return text;
}

void ReadLastRunAndPlan(benchmark::State& state) {
    const std::wstring log = MakeLog(static_cast<int>(state.range(0)));
    std::vector<std::wstring> names;
    for (int i = 0; i < 5000; ++i) names.push_back(Name(i));
    const auto facts = [](const std::wstring&) {
        return std::optional<kestrow::DraftFacts>(kestrow::DraftFacts{L"48211", L"2026-12-07T01:14:09.1234567Z"});
    };
    for (auto _ : state) {
        const kestrow::LastRun last = kestrow::ReadLastRun(log, kestrow::LogLayout::WithRuns);
        const kestrow::RunPlan plan = kestrow::PlanRun(last, true, kFolder, L"", names, facts);
        benchmark::DoNotOptimize(plan.toDo.size());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(log.size() * 2));
}
BENCHMARK(ReadLastRunAndPlan)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
