// Kestrow's own cost of a shared night, per draft, against a real database
// through Windows' ODBC under Wine: what the queue does for each draft
// (take it, send its in-hand row, record it stored, send its stored row),
// one draft after another through Kestrow's own statements, until the night
// has none left. Several of these at once over one night (the same <night>)
// take its drafts between them, as computers do. Prints the median and the
// 99th percentile, and their share of a draft of 1 s.
//   kestrow_bench_queue.exe "<connection>" <drafts> [<night> [<start>]]
// <start>, a time in seconds since 1970, is when every process begins to
// take drafts, once the night is listed or joined.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "database/OdbcConnection.h"
#include "queue/NightStore.h"
#include "report/Html.h"

using namespace kestrow;
using kestrow::bench::Now;
using kestrow::bench::Percentile;

namespace {

LogRow Row(const wchar_t* result, const std::wstring& file) {
    LogRow row;
    row.time = L"2026-12-07T02:14:09+01:00";
    row.result = result;
    row.file = file;
    row.run = L"1";
    row.session = L"1";
    if (std::wstring(result) == LogResult::Stored) {
        row.seconds = L"3.250";
        row.size = L"48213";
        row.written = L"2026-12-07T01:14:09Z";
    }
    return row;
}

void Say(const char* what, const std::vector<double>& seconds) {
    const double median = Percentile(seconds, 0.5) * 1000, p99 = Percentile(seconds, 0.99) * 1000;
    std::printf("  %-44s median %6.2f ms, 99th percentile %6.2f ms; of a 1 s draft: %.2f %% (median)\n", what, median,
                p99, median / 10);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::printf("usage: kestrow_bench_queue.exe \"<connection>\" [drafts]\n");
        return 3;
    }
    const int drafts = argc > 2 ? _wtoi(argv[2]) : 1000;
    try {
        win32::OdbcConnector connector(argv[1]);
        std::unique_ptr<SqlConnection> connection = connector.Connect();
        NightStore store(*connection);
        store.SetUpSession();
        if (!store.TablesPresent()) store.MakeTables();
        const std::wstring folder =
            L"\\\\bench\\" + (argc > 3 ? std::wstring(argv[3]) : L"night-" + std::to_wstring(GetTickCount64())) + L"\\";
        const std::wstring computer = L"BENCH" + std::to_wstring(GetCurrentProcessId());
        std::vector<std::wstring> names;
        for (int i = 0; i < drafts; ++i) names.push_back(L"Project " + std::to_wstring(i % 10) + L"\\Drawing " + std::to_wstring(i) + L".dft");
        double started = Now();
        const OpenedNight night = store.OpenNight(NightFolder{folder, false}, computer, [&] { return names; });
        const double listing = Now() - started;
        if (argc > 4) {
            FILETIME now{};
            GetSystemTimeAsFileTime(&now);
            const ULONGLONG unix = ((static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime) / 10000 -
                                   11644473600000ULL;
            const ULONGLONG at = static_cast<ULONGLONG>(_wtoi64(argv[4])) * 1000;
            if (at > unix) Sleep(static_cast<DWORD>(at - unix));
        }

        std::vector<double> take, whole, renew;
        const std::wstring sender = computer + L"/1/1";
        for (int i = 0;; ++i) {
            const std::wstring holder = sender + L"#" + std::to_wstring(i);
            started = Now();
            const std::optional<TakenDraft> taken = store.Take(night.night, computer, holder, 300);
            const double took = Now();
            if (!taken) break;
            const std::wstring file = folder + names[static_cast<size_t>(taken->number - 1)];
            store.SendRows(night.night, {SentRow{computer, sender, 2 * i + 1, Row(LogResult::InHand, file)}});
            double renewed = 0;
            if (i % 10 == 0) {
                // A lease renewed, as one in ten drafts of a few seconds' would be.
                const double renewing = Now();
                store.Renew(night.night, taken->number, holder, 300);
                renewed = Now() - renewing;
                renew.push_back(renewed);
            }
            store.Stored(night.night, taken->number, computer, holder);
            store.SendRows(night.night, {SentRow{computer, sender, 2 * i + 2, Row(LogResult::Stored, file)}});
            take.push_back(took - started);
            whole.push_back(Now() - started - renewed);
        }
        std::printf("%s took %zu of %d drafts (%s in %.0f ms):\n", Utf8Of(computer).c_str(), take.size(), drafts,
                    night.listedHere ? "listed" : "joined", listing * 1000);
        Say("take a draft", take);
        Say("per draft: take, two rows, stored", whole);
        Say("a lease's renewal", renew);
    } catch (const DatabaseError& error) {
        std::printf("the database failed: %ls\n", error.Message().c_str());
        return 1;
    }
    return 0;
}
