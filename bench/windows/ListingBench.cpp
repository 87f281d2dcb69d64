// Listing drafts under Wine: a flat folder of 10,000 from the dialog's OK to
// the count on screen, and a tree of 100,000 in 1,000 folders, each against
// a bare enumeration of the same files in the same run.
#include <cstdio>

#include "BenchSupport.h"
#include "files/FindFileEnumerator.h"
#include "listing/FileTree.h"
#include "TestSupport.h"
#include "window/Form1Window.h"

namespace kestrow::bench {
namespace {

int BareFlatCount(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*.dft").c_str(), &data);
    int count = 0;
    if (find == INVALID_HANDLE_VALUE) return 0;
    do ++count;
    while (FindNextFileW(find, &data));
    FindClose(find);
    return count;
}

bool EndsWithDft(const wchar_t* name) {
    const size_t length = wcslen(name);
    return length > 4 && _wcsicmp(name + length - 4, L".dft") == 0;
}

// The yardstick: a recursive walk that does nothing but count.
int BareTreeCount(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (wcscmp(data.cFileName, L".") != 0 && wcscmp(data.cFileName, L"..") != 0)
                count += BareTreeCount(folder + L"\\" + data.cFileName);
        } else if (EndsWithDft(data.cFileName)) {
            ++count;
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return count;
}

void FlatBrowse() {
    const int kFiles = 10000;
    const wintest::TestFolder scratch(L"bench-browse");
    for (int i = 0; i < kFiles; ++i) wintest::WriteUtf8(scratch / (L"Drawing " + std::to_wstring(i) + L".dft"), "");
    wintest::FixedFolderPicker picker;
    picker.folder = scratch.Path();
    win32::Form1Window window({}, win32::Form1Overrides{&picker, nullptr});
    window.Load();
    window.Show();
    std::vector<double> bare, browse;
    for (int round = 0; round < 7; ++round) {
        double start = Now();
        const int count = BareFlatCount(scratch.Path());
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

void TreeListing(const std::wstring& tree) {
    wintest::FixedFolderPicker picker;
    picker.folder = tree;
    picker.subfolders = true;
    win32::Form1Window window({}, win32::Form1Overrides{&picker, nullptr});
    window.Load();
    window.Show();
    win32::FindFileEnumerator directory;
    std::vector<double> bare, listing, browse;
    int bareCount = 0;
    for (int round = 0; round < 5; ++round) {
        double start = Now();
        bareCount = BareTreeCount(tree);
        bare.push_back(Now() - start);

        start = Now();
        std::wstring folder = tree;
        const DraftListing drafts = ListFileTree(folder, kDraftPattern, directory);
        listing.push_back(Now() - start);
        if (static_cast<long long>(drafts.names.size()) != bareCount) std::printf("warning: listing counts differ\n");

        start = Now();
        window.cmdBrowse_Click();
        UpdateWindow(window.Handle());
        browse.push_back(Now() - start);
        if (window.Form().fileCount != bareCount) std::printf("warning: counts differ\n");
    }
    std::printf("| Listing a tree of %d drafts (FileTree over the folders' handles, with file ids) | %.0f ms | bare recursive "
                "FindFirstFileExW walk %.0f ms | ratio %.2f |\n",
                bareCount, Median(listing) * 1000, Median(bare) * 1000, Median(listing) / Median(bare));
    std::printf("| Browse of that tree with subfolders, OK to count on screen | %.0f ms | the same walk | ratio "
                "%.2f |\n",
                Median(browse) * 1000, Median(browse) / Median(bare));
}

}  // namespace

void ListingBenchmarks(const std::wstring& preparedTree) {
    FlatBrowse();
    if (!preparedTree.empty()) TreeListing(preparedTree);
}

}  // namespace kestrow::bench
