// The Browse flow's listing pipeline in the core: enumeration results to
// list rows (join, count, split), at 1,000 to 100,000 names.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "listing/GCP.h"

namespace {

struct Names : kestrow::DirectoryEnumerator {
    std::vector<std::wstring> names;
    void ForEachEntry(const std::wstring&,
                      const std::function<void(const std::wstring&, kestrow::EntryKind)>& onEntry) override {
        for (const auto& name : names) onEntry(name, kestrow::EntryKind::PlainFile);
    }
};

Names MakeNames(int count) {
    Names n;
    n.names.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) n.names.push_back(L"Drawing " + std::to_wstring(100000 + i) + L" rev B.dft");
    return n;
}

void ListingPipeline(benchmark::State& state) {
    Names directory = MakeNames(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::wstring folder = L"C:\\Drawings";
        const std::wstring list = kestrow::GCP::ListFiles(folder, L"*.dft", L"|", directory);
        const std::int32_t count = kestrow::GCP::CountOccurrences(list, L"|") + 1;
        auto rows = kestrow::GCP::GetFields(list, L"|", count);
        benchmark::DoNotOptimize(rows.data());
    }
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(ListingPipeline)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity();

// The same rows taken one GetField at a time from the start of the list, as
// the original algorithm does: quadratic, shown for comparison.
void ListingPerEntryGetField(benchmark::State& state) {
    Names directory = MakeNames(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::wstring folder = L"C:\\Drawings";
        const std::wstring list = kestrow::GCP::ListFiles(folder, L"*.dft", L"|", directory);
        const std::int32_t count = kestrow::GCP::CountOccurrences(list, L"|") + 1;
        std::vector<std::wstring> rows;
        for (std::int32_t i = 1; i <= count; ++i) rows.push_back(kestrow::GCP::GetField(list, L"|", i));
        benchmark::DoNotOptimize(rows.data());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(ListingPerEntryGetField)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace

BENCHMARK_MAIN();
