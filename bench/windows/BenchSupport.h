#pragma once
// Timing helpers and the benchmarks' entry points, all run under Wine by
// kestrow_bench.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "server/ObservedAutomation.h"

namespace kestrow::bench {

inline double Now() {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The value below which `fraction` of the values lie.
inline double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t at = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}
inline double Median(std::vector<double> values) { return Percentile(std::move(values), 0.5); }

// Times every call that crosses to the server, releases included; the
// calls of one session come one after another, on the server's thread.
// Read the totals once the batch has ended.
class CallClock : public CallObserver {
public:
    void CallStarted() override {
        if (depth_++ == 0) started_ = Now();
    }
    void CallEnded() override {
        if (--depth_ == 0) {
            const double now = Now();
            seconds += now - started_;
            endTimes.push_back(now);
            ++calls;
        }
    }
    bool InCall() const { return depth_.load() > 0; }

    double seconds = 0;
    std::vector<double> endTimes;
    std::atomic<long> calls{0};

private:
    std::atomic<int> depth_{0};
    double started_ = 0;
};

void ListingBenchmarks(const std::wstring& preparedTree);
void BatchBenchmarks();
void UnattendedBenchmark();
void CopyBenchmarks();
void GiveUpBenchmark();
void FloorBenchmark();
void SessionsBenchmark();
void ReportBenchmark(const std::wstring& kestrowExe);
void DialogBenchmark();
void LogStartBenchmark();
void ExportBenchmark();

}  // namespace kestrow::bench
