// Splitting a tree of 100,000 drafts into shares: the time it takes, and how
// far the largest share lies above an even n-th of the total.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

#include "listing/Shard.h"

namespace {

// Paths as a department's tree has them: 10 projects, 100 parts each, 100
// drawings per part.
std::vector<std::wstring> TreePaths() {
    std::vector<std::wstring> paths;
    paths.reserve(100000);
    for (int project = 0; project < 10; ++project)
        for (int part = 0; part < 100; ++part)
            for (int drawing = 0; drawing < 100; ++drawing)
                paths.push_back(L"Project " + std::to_wstring(project) + L"\\Part " + std::to_wstring(part) +
                                L"\\Drawing " + std::to_wstring(drawing) + L".dft");
    return paths;
}

void ShardSplit(benchmark::State& state) {
    const std::vector<std::wstring> paths = TreePaths();
    const auto shares = static_cast<std::int32_t>(state.range(0));
    std::vector<std::int64_t> sizes(static_cast<size_t>(shares));
    for (auto _ : state) {
        std::fill(sizes.begin(), sizes.end(), 0);
        for (const auto& path : paths) ++sizes[static_cast<size_t>(kestrow::ShardOf(path, shares) - 1)];
        benchmark::DoNotOptimize(sizes.data());
    }
    const double even = static_cast<double>(paths.size()) / shares;
    const double largest = static_cast<double>(*std::max_element(sizes.begin(), sizes.end()));
    state.counters["largest_excess_pct"] = 100.0 * (largest - even) / even;
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(paths.size()));
}
BENCHMARK(ShardSplit)->Arg(2)->Arg(8)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
