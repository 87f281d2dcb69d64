#pragma once
#include <string>

#include "DirectoryEnumerator.h"

namespace kestrow {

// The drafts' pattern, and the character their names are joined with: one
// Windows forbids in file names, so that a name holding "#" stays one entry.
inline constexpr const wchar_t* kDraftPattern = L"*.dft";
inline constexpr const wchar_t* kDraftSeparator = L"|";

// ListFiles for a whole tree: makes `folder` end with "\" and returns the
// plain files matching `pattern` in it and in every folder below it, each
// named by its path relative to `folder` ("Sub\Name.dft") and joined by
// `separator`. Each folder's files come in enumeration order, then its
// subfolders, depth first. Hidden and system folders, links and junctions
// are not entered, so the walk neither loops nor leaves the tree.
std::wstring ListFileTree(std::wstring& folder, const std::wstring& pattern, const std::wstring& separator,
                          DirectoryEnumerator& directory);

// The drafts of `folder`, or of its whole tree with `subfolders`: ListFiles
// or ListFileTree with the drafts' pattern and separator.
std::wstring ListDrafts(std::wstring& folder, bool subfolders, DirectoryEnumerator& directory);

}  // namespace kestrow
