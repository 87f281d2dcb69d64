// The batch under Wine against the stand-in server: its own overhead per
// file, how fast the window answers while a call takes ten seconds, how
// soon Stop ends a batch, and an unattended run that loses its server.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

#include "BenchSupport.h"
#include "TestSupport.h"
#include "window/Form1Window.h"

namespace kestrow::bench {
namespace {

// A window over a scratch folder of `files` one-view drafts; `extra`
// gives the fault lines of draft i.
class BatchWindow {
public:
    BatchWindow(int files, CallClock* clock, std::string (*extra)(int) = nullptr)
        : scratch_(L"bench-batch-" + std::to_wstring(files)), window_({}, win32::Form1Overrides{&picker_, clock}) {
        for (int i = 0; i < files; ++i)
            wintest::WriteDraft(scratch_ / (L"d" + std::to_wstring(1000 + i) + L".dft"), 1, extra ? extra(i) : "");
        picker_.folder = scratch_.Path();
        window_.Load();
        window_.Show();
        window_.cmdBrowse_Click();
    }
    win32::Form1Window& Window() { return window_; }
    // Dispatches messages for `seconds`, or until the batch ends.
    bool Pump(double seconds) {
        const double end = Now() + seconds;
        while (Now() < end) {
            if (!window_.Form().BatchRunning()) return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        }
        return window_.Form().BatchRunning();
    }

private:
    wintest::TestFolder scratch_;
    wintest::FixedFolderPicker picker_;
    win32::Form1Window window_;
};

void Overhead(int files) {
    CallClock clock;
    BatchWindow batch(files, &clock);
    const double start = Now();
    batch.Window().cmdUpdate_Click();
    batch.Window().WaitForBatchEnd();
    const double total = Now() - start;
    const double own = total - clock.seconds;
    std::printf("| Batch of %4d files | %.2f ms per file | calls to the server %.2f ms per file (%ld calls) | own %.3f ms "
                "per file, %.2f%% of the total |\n",
                files, total * 1000 / files, clock.seconds * 1000 / files, clock.calls.load(), own * 1000 / files,
                100.0 * own / total);
}

// Round trips of WM_NULL sent from another thread every 20 ms during a
// batch of 100 drafts, one of whose view updates takes 10 s.
void Responsiveness() {
    BatchWindow batch(100, nullptr, [](int i) { return std::string(i == 50 ? "fault hang 10000\r\n" : ""); });
    const HWND window = batch.Window().Handle();
    std::atomic<bool> stop{false};
    std::vector<double> trips;
    std::thread pinger([&] {
        while (!stop) {
            const double start = Now();
            DWORD_PTR result = 0;
            SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
            trips.push_back(Now() - start);
            Sleep(20);
        }
    });
    const double start = Now();
    batch.Window().cmdUpdate_Click();
    while (batch.Pump(1)) {
    }
    const double total = Now() - start;
    stop = true;
    pinger.join();
    std::printf("| Window answering during a batch of 100 drafts with one 10 s view update (%.1f s, %zu samples) | "
                "p50 %.2f ms, p99 %.2f ms, max %.2f ms | bound p99 <= 100 ms |\n",
                total, trips.size(), Percentile(trips, 0.5) * 1000, Percentile(trips, 0.99) * 1000,
                Percentile(trips, 1.0) * 1000);
}

// From the Stop click to the batch's end ("Updated k of n"), less what
// was left of the call the server was busy with at the click.
void StopLatency() {
    std::vector<double> latencies;
    for (int round = 0; round < 7; ++round) {
        CallClock clock;
        BatchWindow batch(100, &clock);
        batch.Window().cmdUpdate_Click();
        batch.Pump(0.5 + 0.1 * round);
        const bool inCall = clock.InCall();
        const long callsBefore = clock.calls.load();
        const double clicked = Now();
        batch.Window().cmdUpdate_Click();  // Stop
        while (batch.Pump(1)) {
        }
        const double ended = Now();
        // The first call to end after the click was the one in hand.
        const double from = inCall && static_cast<size_t>(callsBefore) < clock.endTimes.size()
                                ? std::max(clicked, clock.endTimes[static_cast<size_t>(callsBefore)])
                                : clicked;
        latencies.push_back(ended - from);
    }
    std::printf("| Stop: click to \"Updated k of n\", less the rest of the call in hand, 7 rounds | median %.1f ms, "
                "max %.1f ms | bound <= 200 ms |\n",
                Median(latencies) * 1000, Percentile(latencies, 1.0) * 1000);
}

}  // namespace

void BatchBenchmarks() {
    for (int files : {10, 100, 1000}) Overhead(files);
    Responsiveness();
    StopLatency();
}

// Kestrow.exe /update over 1,000 drafts, first all good, then with 1 % that
// crash the server and 1 % that fail on their own.
void UnattendedBenchmark() {
    const wintest::TestFolder clean(L"bench-unattended-clean"), faulty(L"bench-unattended-faulty");
    for (int i = 0; i < 1000; ++i) {
        const std::wstring name = L"d" + std::to_wstring(1000 + i) + L".dft";
        wintest::WriteDraft(clean / name, 1);
        wintest::WriteDraft(faulty / name, 1, i % 100 == 37 ? "fault crash\r\n" : i % 100 == 73 ? "fault update\r\n" : "");
    }
    for (const auto* folder : {&clean, &faulty}) {
        wintest::Journal journal;
        const double start = Now();
        const wintest::ProgramRun run = wintest::RunKestrow(L"/update \"" + folder->Path() + L"\"", L"", 30 * 60 * 1000);
        const double total = Now() - start;
        const auto lines = journal.Lines();
        const long created = std::count(lines.begin(), lines.end(), "create");
        std::printf("| Unattended run of 1,000 drafts%s | %.1f s, exit code %lu, %ld server starts | %s |\n",
                    folder == &clean ? "" : ", 10 crashing the server and 10 failing", total, run.exitCode, created,
                    run.lines.empty() ? "" : wintest::Narrow(run.lines.back()).c_str());
    }
}

}  // namespace kestrow::bench
