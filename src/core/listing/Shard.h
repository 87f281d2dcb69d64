#pragma once
// Shares of a tree of drafts for runs on several computers. Each draft's
// share follows from its path relative to the chosen folder alone, so that
// computers that reach the tree by different roots agree, and adding or
// removing drafts moves no other draft to another share. The algorithm is
// part of Kestrow's contract with its users and must never change:
//
//   1. Take the relative path ("Sub\Name.dft"); turn every "/" into "\".
//   2. Fold it to upper case with the fixed table of FoldToUpper (ASCII,
//      Latin-1, Latin Extended-A, Greek and Cyrillic letters; everything
//      else unchanged).
//   3. Encode it as UTF-8.
//   4. Hash the bytes with 64-bit FNV-1a (offset basis 0xcbf29ce484222325,
//      prime 0x100000001b3), then mix the result with MurmurHash3's 64-bit
//      finalizer (fmix64), so that every bit counts for the share.
//   5. The share is (hash mod n) + 1, for shares 1 to n.
#include <cstdint>
#include <string>
#include <vector>

namespace kestrow {

std::uint64_t ShardHash(const std::wstring& relativePath);
// The share, from 1 to `count`, that the draft belongs to.
std::int32_t ShardOf(const std::wstring& relativePath, std::int32_t count);
// The names of `names` (relative paths) in share `index` of `count`, in
// their order.
std::vector<std::wstring> TakeShard(const std::vector<std::wstring>& names, std::int32_t index, std::int32_t count);

}  // namespace kestrow
