// Several sessions at once, against a stand-in that starts as slowly as a
// CAD system (5 s before it offers its class) and takes 100 ms over each
// view (it sleeps, it does not compute): 800 one-view drafts through
// Kestrow.exe /update /sessions k. From the stand-in's timed journal: how
// long each session's start took (starts take turns), and the rate while all
// k sessions worked, against one session's; with these, a night of 10,000
// drafts at 8 s and a 20 s start, for each k.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "BenchSupport.h"
#include "TestSupport.h"
#include "TimedProcess.h"

namespace kestrow::bench {

namespace {

constexpr int kDrafts = 800;
constexpr const wchar_t* kStartDelayMs = L"5000";
constexpr const wchar_t* kViewUpdateMs = L"100";

// When the sessions of one run started and worked, read from a journal
// whose lines are "<tick ms> <pid>: <call>".
struct Timeline {
    std::vector<double> starts;       // ms from each server's process start to its first object, in start order
    std::vector<double> turns;        // ms from one session's first object to the next one's
    double allWorkingRate = 0;        // drafts opened a second while every session worked
    long allWorkingOpens = 0;         // in that time
    double allWorkingSeconds = 0;     // from the last session's first open to the first quit
};

Timeline ReadTimeline(const std::vector<std::string>& lines) {
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
    std::vector<Server> started;
    for (const auto& [pid, server] : servers)
        if (server.start && server.create && server.firstOpen) started.push_back(server);
    std::sort(started.begin(), started.end(), [](const Server& a, const Server& b) { return a.create < b.create; });
    Timeline timeline;
    ULONGLONG allWorking = 0;
    for (size_t i = 0; i < started.size(); ++i) {
        timeline.starts.push_back(static_cast<double>(started[i].create - started[i].start));
        if (i > 0) timeline.turns.push_back(static_cast<double>(started[i].create - started[i - 1].create));
        allWorking = std::max(allWorking, started[i].firstOpen);
    }
    if (firstQuit > allWorking) {
        timeline.allWorkingOpens = static_cast<long>(std::count_if(
            opens.begin(), opens.end(), [&](ULONGLONG t) { return t > allWorking && t < firstQuit; }));
        timeline.allWorkingSeconds = static_cast<double>(firstQuit - allWorking) / 1000.0;
        timeline.allWorkingRate = static_cast<double>(timeline.allWorkingOpens) / timeline.allWorkingSeconds;
    }
    return timeline;
}

std::string Milliseconds(const std::vector<double>& values) {
    std::string text;
    char one[32];
    for (const double value : values) {
        std::snprintf(one, sizeof one, "%s%.0f", text.empty() ? "" : ", ", value);
        text += one;
    }
    return text;
}

// A night of `drafts` at `secondsPerDraft` for one session, with k sessions
// each doing `multiple`/k of one's pace, that start `startSeconds` apart
// one after another: session i works from i starts on.
double NightHours(int drafts, double secondsPerDraft, double startSeconds, int k, double multiple) {
    const double paceEach = multiple / k / secondsPerDraft;  // drafts a second per session
    // Before the last session works, the i-th has worked (k - i) starts.
    double doneBeforeAll = 0;
    for (int i = 1; i < k; ++i) doneBeforeAll += (k - i) * startSeconds * paceEach;
    const double allWorking = (drafts - doneBeforeAll) / (paceEach * k);
    return (k * startSeconds + allWorking) / 3600.0;
}

}  // namespace

void SessionsBenchmark() {
    const int sessions[] = {1, 2, 4};
    const wintest::TestFolder drafts(L"bench-sessions"), data(L"bench-sessions-data");
    for (int i = 0; i < kDrafts; ++i) wintest::WriteDraft(drafts / (L"d" + std::to_wstring(1000 + i) + L".dft"), 1);
    SetEnvironmentVariableW(L"KESTROW_DATA_FOLDER", data.Path().c_str());
    wintest::SetStandInSetting(L"StartDelayMs", kStartDelayMs);
    wintest::SetStandInSetting(L"ViewUpdateMs", kViewUpdateMs);
    wintest::SetStandInSetting(L"JournalPids", L"1");
    wintest::SetStandInSetting(L"JournalTimes", L"1");
    std::map<int, TimedRun> runs;
    std::map<int, Timeline> timelines;
    std::printf("| Sessions | Wall time | Exit code | Kestrow.exe peak working set |\n|---:|---:|---:|---:|\n");
    for (int k : sessions) {
        const int storedBefore = wintest::StoredCount(drafts / L"d1000.dft");
        const wintest::Journal journal;
        runs[k] = RunTimed(wintest::KestrowExe(), L"/update \"" + drafts.Path() + L"\" /sessions " + std::to_wstring(k), 50);
        wintest::WaitForNoStandIn(30000);
        const bool stored = wintest::StoredCount(drafts / L"d1000.dft") == storedBefore + 1 &&
                            wintest::StoredCount(drafts / (L"d" + std::to_wstring(1000 + kDrafts - 1) + L".dft")) ==
                                storedBefore + 1;
        timelines[k] = ReadTimeline(journal.Lines());
        std::printf("| %d | %.1f s | %lu%s | %.1f MB |\n", k, runs[k].seconds, runs[k].exitCode,
                    stored ? "" : ", NOT ALL STORED", static_cast<double>(runs[k].peakWorkingSet) / 1048576.0);
        std::fflush(stdout);
    }
    wintest::ClearStandInSetting(L"StartDelayMs");
    wintest::ClearStandInSetting(L"ViewUpdateMs");
    wintest::ClearStandInSetting(L"JournalPids");
    wintest::ClearStandInSetting(L"JournalTimes");
    SetEnvironmentVariableW(L"KESTROW_DATA_FOLDER", nullptr);

    std::printf("\n| Sessions | Each start, process to first object (ms) | From one session's first object to the "
                "next's (ms) | Later starts against the first | Opens while all worked (in s) | Drafts a second | "
                "Multiple of one session | Bound |\n|---:|---|---|---|---:|---:|---:|---|\n");
    const double one = timelines[1].allWorkingRate;
    std::map<int, double> multiples;
    for (int k : sessions) {
        const Timeline& timeline = timelines[k];
        double worst = 0;
        for (size_t i = 1; i < timeline.starts.size(); ++i)
            worst = std::max(worst, std::abs(timeline.starts[i] / timeline.starts.front() - 1.0));
        multiples[k] = one > 0 ? timeline.allWorkingRate / one : 0.0;
        std::printf("| %d | %s | %s | %s | %ld (%.1f s) | %.2f | %.2f | %s |\n", k, Milliseconds(timeline.starts).c_str(),
                    Milliseconds(timeline.turns).c_str(),
                    timeline.starts.size() < 2 ? "" : (worst <= 0.10 ? "within 10 % (holds)" : "beyond 10 % (NOT met)"),
                    timeline.allWorkingOpens, timeline.allWorkingSeconds, timeline.allWorkingRate, multiples[k],
                    multiples[k] >= 0.8 * k ? ">= 0.8 k holds" : ">= 0.8 k NOT met");
    }
    std::printf("\nA night of 10,000 drafts at 8 s each with a 20 s start, at these multiples:");
    for (int k : sessions) std::printf(" %d: %.1f h;", k, NightHours(10000, 8.0, 20.0, k, multiples[k]));
    std::printf("\n");
}

}  // namespace kestrow::bench
