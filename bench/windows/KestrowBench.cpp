// Timed runs under Wine: Browse of a large folder against a bare
// enumeration, start-up against a minimal program, and the batch's own
// overhead per file against the stand-in server. Prints a table.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "ObservedAutomation.h"
#include "Form1Window.h"
#include "TestSupport.h"

using namespace kestrow;

namespace {

double Now() {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Times every call that crosses to the server, releases included; the
// calls of one batch come one after another, on the server's thread.
class CallClock : public CallObserver {
public:
    void CallStarted() override {
        if (depth_++ == 0) started_ = Now();
    }
    void CallEnded() override {
        if (--depth_ == 0) {
            seconds += Now() - started_;
            ++calls;
        }
    }
    double seconds = 0;
    long calls = 0;

private:
    int depth_ = 0;
    double started_ = 0;
};

void BrowseBenchmark() {
    const int kFiles = 10000;
    const wintest::TestFolder scratch(L"bench-browse");
    const std::wstring& folder = scratch.Path();
    for (int i = 0; i < kFiles; ++i) wintest::WriteUtf8(scratch / (L"Drawing " + std::to_wstring(i) + L".dft"), "");

    wintest::FixedFolderPicker picker;
    picker.folder = folder;
    win32::Form1Window window({}, win32::Form1Overrides{&picker, nullptr});
    window.Load();
    window.Show();
    std::vector<double> bare, browse;
    for (int round = 0; round < 7; ++round) {
        double start = Now();
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((folder + L"\\*.dft").c_str(), &data);
        int count = 0;
        if (find != INVALID_HANDLE_VALUE) {
            do ++count;
            while (FindNextFileW(find, &data));
            FindClose(find);
        }
        bare.push_back(Now() - start);

        start = Now();
        window.cmdBrowse_Click();
        UpdateWindow(window.Handle());
        browse.push_back(Now() - start);
        if (count != kFiles || window.Form().fileCount != kFiles) std::printf("warning: counts differ\n");
    }
    std::printf("| Browse of %d drafts, OK to count on screen | %.1f ms | bare FindFirstFileW %.1f ms | ratio %.2f |\n",
                kFiles, Median(browse) * 1000, Median(bare) * 1000, Median(browse) / Median(bare));
}

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

void BatchBenchmark(int files) {
    const wintest::TestFolder scratch(L"bench-batch-" + std::to_wstring(files));
    const std::wstring& folder = scratch.Path();
    for (int i = 0; i < files; ++i) wintest::WriteDraft(scratch / (L"d" + std::to_wstring(i) + L".dft"), 1);
    wintest::FixedFolderPicker picker;
    picker.folder = folder;
    CallClock clock;
    win32::Form1Window window({}, win32::Form1Overrides{&picker, &clock});
    window.Load();
    window.Show();
    window.cmdBrowse_Click();
    const double start = Now();
    window.cmdUpdate_Click();
    window.WaitForBatchEnd();
    const double total = Now() - start;
    const double own = total - clock.seconds;
    std::printf("| Batch of %4d files | %.2f ms per file | calls to the server %.2f ms per file (%ld calls) | own %.3f ms "
                "per file, %.1f%% of the total |\n",
                files, total * 1000 / files, clock.seconds * 1000 / files, clock.calls, own * 1000 / files,
                100.0 * own / total);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (FAILED(OleInitialize(nullptr))) return 2;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    if (argc < 3) {
        std::printf("usage: kestrow_bench <Kestrow.exe> <minimal.exe> [<minimal with v6 manifest.exe>]\n");
        return 2;
    }
    std::printf("| What | Kestrow | Yardstick | |\n|---|---|---|---|\n");
    BrowseBenchmark();
    StartupBenchmark(argv[1], argv[2], argc > 3 ? argv[3] : L"");
    for (int files : {10, 100, 1000}) BatchBenchmark(files);
    OleUninitialize();
    return 0;
}
