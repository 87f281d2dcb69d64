#pragma once
// A file as the file system knows it, whatever name it is reached by: the
// volume's serial number and the file's index on that volume. Two names with
// one identity are one file: hard links, or a link and the file it leads to.
#include <cstdint>
#include <vector>

namespace kestrow {

struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;  // 0: not known
    bool Known() const { return index != 0; }
    bool operator==(const FileIdentity&) const = default;
};

// For each of `files`, the position of the first earlier one with the same
// known identity; -1 for the first name of a file, or a file not known.
std::vector<std::int32_t> EarlierNamesOfFiles(const std::vector<FileIdentity>& files);

}  // namespace kestrow
