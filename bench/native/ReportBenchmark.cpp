// What /report costs in the core: four logs of 100,000 rows each (two
// sessions a machine, an in-hand row and a fate a draft, a failure in 70;
// with a second argument of 1, a dialog row for every draft too) read,
// summed up and written as console lines and as a page.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "report/NightLog.h"
#include "report/ReportPage.h"
#include "report/ReportText.h"

namespace {

using namespace kestrow;

std::wstring MakeLog(int machine, int rows, bool dialogs) {
    std::wstring text = L"\xFEFF" + LogHeaderFor(LogLayout::WithDetails) + L"\r\n";
    LogRow row;
    row.run = L"3";
    const int rowsPerDraft = dialogs ? 3 : 2;
    for (int i = 0; i < rows / rowsPerDraft; ++i) {
        const int second = 3600 + i * 20;
        wchar_t time[32];
        std::swprintf(time, 32, L"2026-12-07T%02d:%02d:%02d+01:00", second / 3600 % 24, second / 60 % 60, second % 60);
        row.time = time;
        row.file = L"P:\\Drawings\\Project " + std::to_wstring(i / 2000) + L"\\Part " + std::to_wstring(i / 40 % 50) +
                   L"\\Drawing " + std::to_wstring(machine * 1000000 + i) + L".dft";
        row.session = i % 2 ? L"2" : L"1";
        row.result = LogResult::InHand;
        row.seconds = row.size = row.written = row.error = row.source = row.description = L"";
        text += FormatLogRow(row, LogLayout::WithDetails) + L"\r\n";
        if (dialogs) {
            LogRow dialog = row;
            dialog.result = LogResult::Dialog;
            dialog.source = L"Solid Edge";
            dialog.description = L"Some models referenced by this drawing were not found.";
            dialog.detail = FormatDetail({{L"buttons", L"OK / Cancel"},
                                          {L"action", L"left open: no rule answers it"},
                                          {L"picture", L"P:\\Logs\\ws-dialogs\\" + std::to_wstring(i) + L".png"}});
            text += FormatLogRow(dialog, LogLayout::WithDetails) + L"\r\n";
        }
        row.seconds = L"38.412";
        if (i % 70 == 0) {
            row.result = LogResult::Failed;
            row.error = L"-2147467259";
            row.source = L"SolidEdge.Application";
            row.description = L"The file could not be opened: a model it references is missing.";
        } else {
            row.result = LogResult::Stored;
            row.size = L"481120";
            row.written = L"2026-12-07T01:14:09.1234567Z";
        }
        text += FormatLogRow(row, LogLayout::WithDetails) + L"\r\n";
    }
    return text;
}

void ReportOverFourLogs(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    std::vector<std::wstring> texts;
    for (int machine = 1; machine <= 4; ++machine) texts.push_back(MakeLog(machine, rows, state.range(1) != 0));
    size_t bytes = 0;
    for (auto _ : state) {
        std::vector<ReportSource> sources;
        for (size_t i = 0; i < texts.size(); ++i)
            sources.push_back(ReportSource{L"ws" + std::to_wstring(i + 1) + L".csv", L"P:\\Logs\\ws.csv",
                                           *ReadReportedLog(texts[i], RunsToRead::Last)});
        const std::vector<std::wstring> lines = ReportLines(sources, RunsToRead::Last);
        const std::wstring page = ReportPage(sources, RunsToRead::Last, PageSetting{L"P:\\Logs", L""});
        bytes = page.size();
        benchmark::DoNotOptimize(lines.size());
    }
    state.counters["page KB"] = static_cast<double>(bytes) / 1024;
}
BENCHMARK(ReportOverFourLogs)->Args({100000, 0})->Args({100000, 1})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
