// The batch against the floor: Kestrow.exe /update with a log beside a
// plain single-thread client that makes the same calls against the same
// server, over the same 3,000 drafts, in interleaved rounds. A third run
// keeps Kestrow's copies of the drafts on a memory-backed folder, where
// flushing them costs next to nothing; the copies are also timed alone.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "files/DraftCopyFolder.h"
#include "TestSupport.h"
#include "TimedProcess.h"

namespace kestrow::bench {
namespace {

constexpr int kDrafts = 3000;
constexpr int kRounds = 4;

// Until every server process is gone: Kestrow waits for its server to end,
// the plain client does not.
double UntilNoServer(double ended) {
    for (int i = 0; i < 30000 / 5 && wintest::StandInProcessCount() > 0; ++i) Sleep(5);
    return Now() - ended;
}

struct Variant {
    const char* name;
    std::wstring exe, arguments, dataFolder;
    std::vector<double> seconds;
    int failures = 0;
};

void RemoveTree(const std::wstring& path) {
    std::wstring from = path;
    from.push_back(L'\0');  // a double-NUL-terminated list
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
}

double Fastest(const std::vector<double>& values) { return Percentile(values, 0.0); }

}  // namespace

void FloorBenchmark() {
    const wintest::TestFolder drafts(L"bench-floor"), logs(L"bench-floor-log"), data(L"bench-floor-data");
    for (int i = 0; i < kDrafts; ++i) wintest::WriteDraft(drafts / (L"d" + std::to_wstring(10000 + i) + L".dft"), 1);
    const std::wstring log = logs / L"run.csv";
    const std::wstring quoted = L"\"" + drafts.Path() + L"\"";
    // Wine maps Z: to the Unix root; /dev/shm is a tmpfs, so a flush there
    // does not wait for the disk.
    const std::wstring memoryData = L"Z:\\dev\\shm\\kestrow-bench-floor-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(memoryData.c_str(), nullptr);
    std::vector<Variant> variants{
        {"plain", BenchFolder() + L"\\kestrow_bench_plain_client.exe", quoted, data.Path(), {}, 0},
        {"kestrow", wintest::KestrowExe(), L"/update " + quoted + L" /log \"" + log + L"\"", data.Path(), {}, 0},
        {"kestrow, copies in memory", wintest::KestrowExe(), L"/update " + quoted + L" /log \"" + log + L"\"",
         memoryData, {}, 0},
    };
    for (int round = 0; round < kRounds; ++round) {
        // Each round in another order, so that none always follows the same one.
        for (size_t n = 0; n < variants.size(); ++n) {
            Variant& variant = variants[(n + static_cast<size_t>(round)) % variants.size()];
            DeleteFileW(log.c_str());
            SetEnvironmentVariableW(L"KESTROW_DATA_FOLDER", variant.dataFolder.c_str());
            const int storedBefore = wintest::StoredCount(drafts / L"d10000.dft");
            const TimedRun run = RunTimed(variant.exe, variant.arguments);
            const double seconds = run.seconds + UntilNoServer(Now());
            const bool allStored = wintest::StoredCount(drafts / L"d10000.dft") == storedBefore + 1 &&
                                   wintest::StoredCount(drafts / (L"d" + std::to_wstring(10000 + kDrafts - 1) + L".dft")) ==
                                       storedBefore + 1;
            if (run.exitCode != 0 || !allStored) ++variant.failures;
            variant.seconds.push_back(seconds);
            std::printf("|   round %d: %s | %.2f s | exit code %lu%s | |\n", round + 1, variant.name, seconds,
                        run.exitCode, allStored ? "" : ", NOT ALL STORED");
            std::fflush(stdout);
        }
    }
    SetEnvironmentVariableW(L"KESTROW_DATA_FOLDER", nullptr);
    RemoveTree(memoryData);

    // The copy and its removal for each draft, as the batch makes them, alone.
    SetEnvironmentVariableW(L"KESTROW_DATA_FOLDER", data.Path().c_str());
    double copies = 0;
    {
        win32::DraftCopyFolder store;
        const double start = Now();
        for (int i = 0; i < kDrafts; ++i)
            store.Discard(store.Keep(drafts / (L"d" + std::to_wstring(10000 + i) + L".dft")));
        copies = Now() - start;
    }
    SetEnvironmentVariableW(L"KESTROW_DATA_FOLDER", nullptr);

    const double plain = Fastest(variants[0].seconds), kestrow = Fastest(variants[1].seconds),
                 cheap = Fastest(variants[2].seconds);
    std::printf("| Batch of %d one-view drafts against the floor, fastest of %d interleaved rounds (failed runs: %d, %d, "
                "%d) | Kestrow.exe /update /log %.1f s (%.2f ms per draft); with its copies in memory %.1f s | plain "
                "single-thread client %.1f s (%.2f ms per draft) | ratio %.3f; copies in memory %.3f; bound <= 1.05 |\n",
                kDrafts, kRounds, variants[0].failures, variants[1].failures, variants[2].failures, kestrow,
                kestrow * 1000 / kDrafts, cheap, plain, plain * 1000 / kDrafts, kestrow / plain, cheap / plain);
    std::printf("| Copy kept and removed per draft, alone, %d drafts | %.2f ms | %.1f %% of Kestrow's batch; of the "
                "difference to the floor: %.1f ms per draft | |\n",
                kDrafts, copies * 1000 / kDrafts, 100.0 * copies / kestrow, (kestrow - plain) * 1000 / kDrafts);
}

}  // namespace kestrow::bench
