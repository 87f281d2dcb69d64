// Timed runs under Wine, each against a yardstick measured in the same run:
// listing drafts, start-up, and the batch (its own overhead, the window's
// answers, Stop, an unattended run). Prints the tables of BENCHMARKS.md.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchSupport.h"

using namespace kestrow::bench;

namespace {

double TimeToWindow(const std::wstring& exe, const wchar_t* windowClass) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    std::wstring command = L"\"" + exe + L"\"";
    const double start = Now();
    if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    HWND window = nullptr;
    double shown = -1;
    while (Now() - start < 30) {
        window = FindWindowW(windowClass, nullptr);
        if (window && IsWindowVisible(window)) {
            shown = Now() - start;
            break;
        }
        Sleep(1);
    }
    if (window) PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return shown;
}

void StartupBenchmark(const std::wstring& kestrow, const std::wstring& minimal, const std::wstring& minimalV6) {
    std::vector<double> k, m, v6;
    // Process start-up under Wine varies by tens of milliseconds from run
    // to run; many interleaved rounds keep the medians steady.
    for (int round = 0; round < 21; ++round) {
        m.push_back(TimeToWindow(minimal, L"KestrowBenchMinimal"));
        k.push_back(TimeToWindow(kestrow, L"KestrowForm1"));
        if (!minimalV6.empty()) v6.push_back(TimeToWindow(minimalV6, L"KestrowBenchMinimal"));
    }
    std::printf("| Start-up to the main window shown | %.0f ms | minimal Win32 program %.0f ms | ratio %.2f |\n",
                Median(k) * 1000, Median(m) * 1000, Median(k) / Median(m));
    if (!v6.empty())
        std::printf("| Start-up to the main window shown | %.0f ms | minimal program with the same manifest and one "
                    "v6 button %.0f ms | ratio %.2f |\n",
                    Median(k) * 1000, Median(v6) * 1000, Median(k) / Median(v6));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (FAILED(OleInitialize(nullptr))) return 2;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    if (argc < 4) {
        std::printf("usage: kestrow_bench <Kestrow.exe> <minimal.exe> <minimal with v6 manifest.exe> [<tree of drafts>]\n");
        return 2;
    }
    // KESTROW_BENCH_ONLY=listing|startup|batch|unattended|copies|giveup|floor|sessions|dialogs|report|logstart|exports
    // runs one group.
    const char* only = std::getenv("KESTROW_BENCH_ONLY");
    const auto wanted = [only](const char* group) { return !only || !*only || std::strcmp(only, group) == 0; };
    std::printf("| What | Kestrow | Yardstick | |\n|---|---|---|---|\n");
    if (wanted("listing")) ListingBenchmarks(argc > 4 ? argv[4] : L"");
    if (wanted("startup")) StartupBenchmark(argv[1], argv[2], argv[3]);
    if (wanted("batch")) BatchBenchmarks();
    if (wanted("unattended")) UnattendedBenchmark();
    if (wanted("copies")) CopyBenchmarks();
    if (wanted("giveup")) GiveUpBenchmark();
    if (wanted("floor")) FloorBenchmark();
    if (wanted("sessions")) SessionsBenchmark();
    if (wanted("report")) ReportBenchmark(argv[1]);
    if (wanted("dialogs")) DialogBenchmark();
    if (wanted("logstart")) LogStartBenchmark();
    if (wanted("exports")) ExportBenchmark();
    OleUninitialize();
    return 0;
}
