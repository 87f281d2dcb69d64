// Several sessions at once: 240 drafts whose one view takes 100 ms to
// update in the stand-in (it sleeps, it does not compute), through
// Kestrow.exe /update /sessions k, with the memory of Kestrow's own process.
#include <cstdio>
#include <map>
#include <string>

#include "BenchSupport.h"
#include "TestSupport.h"
#include "TimedProcess.h"

namespace kestrow::bench {

void SessionsBenchmark() {
    constexpr int kDrafts = 240;
    constexpr int kRounds = 2;
    const int sessions[] = {1, 2, 4, 8};
    const wintest::TestFolder drafts(L"bench-sessions"), data(L"bench-sessions-data");
    for (int i = 0; i < kDrafts; ++i) wintest::WriteDraft(drafts / (L"d" + std::to_wstring(1000 + i) + L".dft"), 1);
    SetEnvironmentVariableW(L"KESTROW_DATA_FOLDER", data.Path().c_str());
    wintest::SetStandInSetting(L"ViewUpdateMs", L"100");
    std::map<int, TimedRun> fastest;
    std::map<int, int> failures;
    for (int round = 0; round < kRounds; ++round)
        for (int k : sessions) {
            const int storedBefore = wintest::StoredCount(drafts / L"d1000.dft");
            const TimedRun run = RunTimed(wintest::KestrowExe(),
                                          L"/update \"" + drafts.Path() + L"\" /sessions " + std::to_wstring(k), 50);
            wintest::WaitForNoStandIn(30000);
            const bool stored = wintest::StoredCount(drafts / L"d1000.dft") == storedBefore + 1 &&
                                wintest::StoredCount(drafts / L"d1239.dft") == storedBefore + 1;
            if (run.exitCode != 0 || !stored) ++failures[k];
            std::printf("|   round %d, %d sessions | %.2f s | exit code %lu%s, peak working set %.1f MB, peak pagefile "
                        "usage %.1f MB | |\n",
                        round + 1, k, run.seconds, run.exitCode, stored ? "" : ", NOT ALL STORED",
                        static_cast<double>(run.peakWorkingSet) / 1048576.0,
                        static_cast<double>(run.peakPagefileUsage) / 1048576.0);
            std::fflush(stdout);
            if (!fastest.count(k) || run.seconds < fastest[k].seconds) fastest[k] = run;
        }
    wintest::ClearStandInSetting(L"ViewUpdateMs");
    SetEnvironmentVariableW(L"KESTROW_DATA_FOLDER", nullptr);
    const double one = kDrafts / fastest[1].seconds;
    for (int k : sessions) {
        const TimedRun& run = fastest[k];
        const double rate = kDrafts / run.seconds;
        const double workingSet = static_cast<double>(run.peakWorkingSet) / 1048576.0;
        const double pagefile = static_cast<double>(run.peakPagefileUsage) / 1048576.0;
        const double perSession =
            k == 1 ? 0
                   : (workingSet - static_cast<double>(fastest[1].peakWorkingSet) / 1048576.0) / (k - 1);
        std::printf("| %d drafts, 100 ms view updates, %d session%s (fastest of %d, failed runs %d) | %.1f s, %.2f drafts "
                    "per second, %.2f x one session%s | Kestrow.exe peak working set %.1f MB (%+.2f MB per session "
                    "beyond the first), peak pagefile usage %.1f MB | |\n",
                    kDrafts, k, k == 1 ? "" : "s", kRounds, failures[k], run.seconds, rate, rate / one,
                    k <= 4 ? (rate / one >= 0.8 * k ? " (bound >= 0.8 k holds)" : " (bound >= 0.8 k NOT met)") : "",
                    workingSet, perSession, pagefile);
    }
}

}  // namespace kestrow::bench
