// What a run costs before its first draft when its log has grown over many
// nights: Kestrow.exe /update /log over a few drafts, from its start to the
// stand-in's first open, on a log of 500 MB (50,000 completed runs) against
// a fresh one. A run reads only the last run's rows, found from the end of
// the log, so the two should cost about the same.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "TestSupport.h"
#include "TimedProcess.h"
#include "unattended/RunLog.h"

namespace kestrow::bench {

namespace {

// A log of completed runs, each of `perRun` stored drafts, until it holds
// `megabytes`; written natively in large blocks.
void WriteLongLog(const std::wstring& path, const std::wstring& folder, long long megabytes, int perRun) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const auto row = [](const LogRow& fields) { return wintest::Narrow(FormatLogRow(fields, LogLayout::WithDetails)) + "\r\n"; };
    std::string block = "\xEF\xBB\xBF" + wintest::Narrow(LogHeaderFor(LogLayout::WithDetails)) + "\r\n";
    long long written = 0;
    DWORD done = 0;
    for (int run = 1; written < megabytes * 1024 * 1024; ++run) {
        LogRow marker;
        marker.time = L"2026-12-07T02:00:00+01:00";
        marker.run = std::to_wstring(run);
        marker.result = LogResult::RunStart;
        marker.file = folder;
        marker.detail = L"version: 1.00";
        block += row(marker);
        for (int i = 0; i < perRun; ++i) {
            LogRow stored = marker;
            stored.result = LogResult::Stored;
            stored.file = folder + L"Project " + std::to_wstring(i % 10) + L"\\Drawing " + std::to_wstring(i) + L".dft";
            stored.detail.clear();
            stored.seconds = L"2.514";
            stored.size = L"48211";
            stored.written = L"2026-12-07T01:14:09.1234567Z";
            stored.session = L"1";
            block += row(stored);
        }
        marker.result = LogResult::RunEnd;
        marker.description = kRunCompleted;
        marker.detail.clear();
        block += row(marker);
        WriteFile(file, block.data(), static_cast<DWORD>(block.size()), &done, nullptr);
        written += static_cast<long long>(block.size());
        block.clear();
    }
    CloseHandle(file);
}

// Seconds from `started` to the first draft the stand-in was asked to open.
double ToFirstOpen(const std::vector<std::string>& journal, ULONGLONG started) {
    for (const std::string& line : journal) {
        const auto entry = wintest::ReadJournalEntry(line);
        if (entry && entry->tick && entry->call.rfind("documents get 6", 0) == 0)
            return static_cast<double>(entry->tick - started) / 1000.0;
    }
    return -1;
}

}  // namespace

void LogStartBenchmark() {
    // KESTROW_BENCH_LOG_MB makes a smaller log for a quick try.
    const char* size = std::getenv("KESTROW_BENCH_LOG_MB");
    const long long megabytes = size && std::atoll(size) > 0 ? std::atoll(size) : 500;
    constexpr int kRounds = 7;
    const wintest::TestFolder drafts(L"bench-log-start"), logs(L"bench-log-start-logs"), data(L"bench-log-start-data");
    for (int i = 0; i < 5; ++i) wintest::WriteDraft(drafts / (L"d" + std::to_wstring(i) + L".dft"), 1);
    const std::wstring longLog = logs / L"long.csv", freshLog = logs / L"fresh.csv";
    const double writeStarted = Now();
    WriteLongLog(longLog, drafts.Path() + L"\\", megabytes, 10000);
    std::printf("|   a log of %lld MB written in %.1f s | | | |\n", megabytes, Now() - writeStarted);
    SetEnvironmentVariableW(L"KESTROW_DATA_FOLDER", data.Path().c_str());
    wintest::SetStandInSetting(L"JournalPids", L"1");
    wintest::SetStandInSetting(L"JournalTimes", L"1");
    std::vector<double> fresh, grown;
    for (int round = 0; round < kRounds; ++round)
        for (const std::wstring* log : {&freshLog, &longLog}) {
            if (log == &freshLog) DeleteFileW(freshLog.c_str());
            const wintest::Journal journal;
            const ULONGLONG started = GetTickCount64();
            const TimedRun run = RunTimed(wintest::KestrowExe(), L"/update \"" + drafts.Path() + L"\" /log \"" + *log + L"\"");
            wintest::WaitForNoStandIn(30000);
            const double seconds = ToFirstOpen(journal.Lines(), started);
            (log == &freshLog ? fresh : grown).push_back(seconds);
            std::printf("|   round %d, %s log | %.3f s to the first draft opened | exit code %lu | |\n", round + 1,
                        log == &freshLog ? "fresh" : "long", seconds, run.exitCode);
            std::fflush(stdout);
        }
    wintest::ClearStandInSetting(L"JournalPids");
    wintest::ClearStandInSetting(L"JournalTimes");
    SetEnvironmentVariableW(L"KESTROW_DATA_FOLDER", nullptr);
    std::printf("| Start of a run to its first draft opened, log of %lld MB (median of %d) | %.3f s | the same on a fresh "
                "log: %.3f s | ratio %.2f (bound <= 1.2) |\n",
                megabytes, kRounds, Median(grown), Median(fresh), Median(grown) / Median(fresh));
}

}  // namespace kestrow::bench
