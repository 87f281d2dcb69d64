#include "listing/FileIdentity.h"

#include <map>
#include <utility>

namespace kestrow {

std::vector<std::int32_t> EarlierNamesOfFiles(const std::vector<FileIdentity>& files) {
    std::vector<std::int32_t> earlier(files.size(), -1);
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::int32_t> first;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!files[i].Known()) continue;
        const auto [at, inserted] = first.emplace(std::make_pair(files[i].volume, files[i].index), static_cast<std::int32_t>(i));
        if (!inserted) earlier[i] = at->second;
    }
    return earlier;
}

}  // namespace kestrow
