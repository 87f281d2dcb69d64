#pragma once
#include <string>
#include <vector>

#include "common/RuntimeError.h"
#include "listing/DirectoryEnumerator.h"

namespace kestrow {

// The drafts' pattern, and the character the window's list joins their
// names with: one Windows forbids in file names, so that a name holding
// "#" stays one entry.
inline constexpr const wchar_t* kDraftPattern = L"*.dft";
inline constexpr const wchar_t* kDraftSeparator = L"|";

// A folder below the listed one that could not be read: none of its drafts
// (nor of the folders below it) are in the listing.
struct UnreadableFolder {
    std::wstring path;  // full, ending with "\"
    RuntimeError error;
};

struct DraftListing {
    std::vector<std::wstring> names;  // relative to the listed folder
    std::vector<FileIdentity> files;  // the file behind each name, where known
    std::vector<UnreadableFolder> unreadableFolders;
};

// Makes `folder` end with "\" and lists the plain files matching `pattern`
// in it and in every folder below it, each named by its path relative to
// `folder` ("Sub\Name.dft"). Each folder's files come in enumeration order,
// then its subfolders, depth first. Only folders the enumeration reports
// as enterable are walked, so the walk neither loops nor leaves the tree.
// A subfolder that cannot be read is reported and the walk goes on; the top
// folder unreadable raises RuntimeError.
DraftListing ListFileTree(std::wstring& folder, const std::wstring& pattern, DirectoryEnumerator& directory);

// The drafts of `folder`, or of its whole tree with `subfolders`.
DraftListing ListDrafts(std::wstring& folder, bool subfolders, DirectoryEnumerator& directory);

// The names joined by `separator`, as the window keeps its list.
std::wstring JoinNames(const std::vector<std::wstring>& names, const std::wstring& separator);

}  // namespace kestrow
