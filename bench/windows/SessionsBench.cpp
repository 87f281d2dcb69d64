// Several sessions at once: 240 drafts whose one view takes 100 ms to
// update in the stand-in (it sleeps, it does not compute), through
// Kestrow.exe /update /sessions k, with the memory of Kestrow's own process
// and, from the stand-in's timed journal, when each session began to work.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "BenchSupport.h"
#include "TestSupport.h"
#include "TimedProcess.h"

namespace kestrow::bench {

namespace {

// When the sessions of one run began to work, read from a journal whose
// lines are "<tick ms> <pid>: <call>".
struct Timeline {
    std::vector<double> working;      // s from the run's start to each session's first open, earliest first
    std::vector<double> startToCall;  // ms from each server's start to its first object
    double allWorkingRate = 0;        // drafts opened a second while every session worked
    long allWorkingOpens = 0;         // in that time
    double allWorkingSeconds = 0;     // from the last session's first open to the first quit
};

Timeline ReadTimeline(const std::vector<std::string>& lines, ULONGLONG runStarted) {
    struct Server {
        ULONGLONG start = 0, create = 0, firstOpen = 0;
    };
    std::map<unsigned long, Server> servers;
    std::vector<ULONGLONG> opens;
    ULONGLONG firstQuit = 0;
    for (const std::string& line : lines) {
        const auto entry = wintest::ReadJournalEntry(line);
        if (!entry || !entry->tick) continue;
        const ULONGLONG tick = entry->tick;
        const std::string& call = entry->call;
        Server& server = servers[entry->pid];
        if (call == "start" && !server.start) server.start = tick;
        if (call == "create" && !server.create) server.create = tick;
        if (call.rfind("documents get 6", 0) == 0) {
            opens.push_back(tick);
            if (!server.firstOpen) server.firstOpen = tick;
        }
        if (call == "application call 40" && !firstQuit) firstQuit = tick;
    }
    Timeline timeline;
    ULONGLONG allWorking = 0;
    for (const auto& [pid, server] : servers) {
        if (!server.firstOpen) continue;
        timeline.working.push_back(static_cast<double>(server.firstOpen - runStarted) / 1000.0);
        if (server.start && server.create)
            timeline.startToCall.push_back(static_cast<double>(server.create - server.start));
        allWorking = std::max(allWorking, server.firstOpen);
    }
    std::sort(timeline.working.begin(), timeline.working.end());
    std::sort(timeline.startToCall.begin(), timeline.startToCall.end());
    if (firstQuit > allWorking) {
        // After the last session's first open, which starts the time.
        timeline.allWorkingOpens = static_cast<long>(std::count_if(
            opens.begin(), opens.end(), [&](ULONGLONG t) { return t > allWorking && t < firstQuit; }));
        timeline.allWorkingSeconds = static_cast<double>(firstQuit - allWorking) / 1000.0;
        timeline.allWorkingRate = static_cast<double>(timeline.allWorkingOpens) / timeline.allWorkingSeconds;
    }
    return timeline;
}

std::string Seconds(const std::vector<double>& values) {
    std::string text;
    char one[32];
    for (const double value : values) {
        std::snprintf(one, sizeof one, "%s%.1f", text.empty() ? "" : ", ", value);
        text += one;
    }
    return text;
}

}  // namespace

void SessionsBenchmark() {
    constexpr int kDrafts = 240;
    constexpr int kRounds = 2;
    const int sessions[] = {1, 2, 4, 8};
    const wintest::TestFolder drafts(L"bench-sessions"), data(L"bench-sessions-data");
    for (int i = 0; i < kDrafts; ++i) wintest::WriteDraft(drafts / (L"d" + std::to_wstring(1000 + i) + L".dft"), 1);
    SetEnvironmentVariableW(L"KESTROW_DATA_FOLDER", data.Path().c_str());
    wintest::SetStandInSetting(L"ViewUpdateMs", L"100");
    wintest::SetStandInSetting(L"JournalPids", L"1");
    wintest::SetStandInSetting(L"JournalTimes", L"1");
    std::map<int, TimedRun> fastest;
    std::map<int, Timeline> timelines;  // of the fastest run
    std::map<int, int> failures;
    for (int round = 0; round < kRounds; ++round)
        for (int k : sessions) {
            const int storedBefore = wintest::StoredCount(drafts / L"d1000.dft");
            const wintest::Journal journal;
            const ULONGLONG started = GetTickCount64();
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
            if (!fastest.count(k) || run.seconds < fastest[k].seconds) {
                fastest[k] = run;
                timelines[k] = ReadTimeline(journal.Lines(), started);
            }
        }
    wintest::ClearStandInSetting(L"ViewUpdateMs");
    wintest::ClearStandInSetting(L"JournalPids");
    wintest::ClearStandInSetting(L"JournalTimes");
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
    std::printf("\n| Sessions | Each session's first draft opened, s after Kestrow started | A server's start to its "
                "first object | Drafts opened a second while every session worked (opens in seconds) | Multiple of one "
                "session |\n"
                "|---:|---|---|---:|---:|\n");
    const double oneWorking = timelines[1].allWorkingRate;
    for (int k : sessions) {
        const Timeline& timeline = timelines[k];
        std::printf("| %d | %s | %.0f to %.0f ms | %.2f (%ld in %.1f s) | %.2f |\n", k,
                    Seconds(timeline.working).c_str(), timeline.startToCall.empty() ? 0.0 : timeline.startToCall.front(),
                    timeline.startToCall.empty() ? 0.0 : timeline.startToCall.back(), timeline.allWorkingRate,
                    timeline.allWorkingOpens, timeline.allWorkingSeconds,
                    oneWorking > 0 ? timeline.allWorkingRate / oneWorking : 0.0);
    }
}

}  // namespace kestrow::bench
