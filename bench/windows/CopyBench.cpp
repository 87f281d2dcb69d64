// What keeping a copy of each draft before it is opened costs: the copy,
// and its removal once the draft is stored, against the whole batch's time
// per draft, for drafts of 100 KB and of 10 MB.
#include <cstdio>
#include <string>

#include "BenchSupport.h"
#include "files/DraftCopyFolder.h"
#include "TestSupport.h"
#include "window/Form1Window.h"

namespace kestrow::bench {
namespace {

void CopyCost(int files, size_t padding) {
    wintest::TestFolder data(L"bench-copies-data");
    SetEnvironmentVariableW(L"KESTROW_DATA_FOLDER", data.Path().c_str());
    wintest::TestFolder scratch(L"bench-copies-" + std::to_wstring(padding));
    // The stand-in keeps lines it does not know: one long line pads the draft.
    const std::string pad = "padding " + std::string(padding, 'x') + "\r\n";
    std::vector<std::wstring> paths;
    for (int i = 0; i < files; ++i) {
        paths.push_back(scratch / (L"d" + std::to_wstring(1000 + i) + L".dft"));
        wintest::WriteDraft(paths.back(), 1, pad);
    }
    double batchPerDraft = 0;
    {
        wintest::FixedFolderPicker picker;
        picker.folder = scratch.Path();
        win32::Form1Window window({}, win32::Form1Overrides{&picker, nullptr});
        window.Load();
        window.Show();
        window.cmdBrowse_Click();
        const double start = Now();
        window.cmdUpdate_Click();
        window.WaitForBatchEnd();
        batchPerDraft = (Now() - start) / files;
    }
    const bool allStored = wintest::StoredCount(paths.front()) == 1 && wintest::StoredCount(paths.back()) == 1;
    // The same work the batch did for each stored draft, timed on its own.
    std::vector<double> copies;
    win32::DraftCopyFolder store;
    for (int round = 0; round < 3; ++round)
        for (const auto& path : paths) {
            const double start = Now();
            store.Discard(store.Keep(path));
            copies.push_back(Now() - start);
        }
    const double copy = Median(copies);
    std::printf("| Copy kept and removed per stored draft, %d drafts of %.1f MB%s | %.2f ms | batch %.1f ms per draft "
                "(copy included) | %.1f %% of the batch |\n",
                files, static_cast<double>(padding) / 1e6, allStored ? "" : " (NOT ALL STORED)", copy * 1000,
                batchPerDraft * 1000, 100.0 * copy / batchPerDraft);
    SetEnvironmentVariableW(L"KESTROW_DATA_FOLDER", nullptr);
}

}  // namespace

void CopyBenchmarks() {
    CopyCost(20, 100 * 1000);
    CopyCost(5, 10 * 1000 * 1000);
}

}  // namespace kestrow::bench
