#include "FileTree.h"

#include <vector>

#include "GCP.h"
#include "WildcardMatch.h"

namespace kestrow {

std::wstring ListFileTree(std::wstring& folder, const std::wstring& pattern, const std::wstring& separator,
                          DirectoryEnumerator& directory) {
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    std::wstring accumulator;
    // Relative paths of the folders still to walk, the next one last: a
    // stack rather than recursion, for trees of any depth.
    std::vector<std::wstring> pending{std::wstring()};
    std::vector<std::wstring> subfolders;
    while (!pending.empty()) {
        const std::wstring relative = std::move(pending.back());
        pending.pop_back();
        subfolders.clear();
        directory.ForEachEntry(folder + relative + L"*", [&](const std::wstring& name, EntryKind kind) {
            if (kind == EntryKind::Folder) {
                subfolders.push_back(relative + name + L"\\");
            } else if (WildcardMatch(pattern, name)) {
                accumulator += relative;
                accumulator += name;
                accumulator += separator;
            }
        });
        pending.insert(pending.end(), subfolders.rbegin(), subfolders.rend());
    }
    if (accumulator.size() < 2) return std::wstring();
    accumulator.pop_back();
    return accumulator;
}

std::wstring ListDrafts(std::wstring& folder, bool subfolders, DirectoryEnumerator& directory) {
    return subfolders ? ListFileTree(folder, kDraftPattern, kDraftSeparator, directory)
                      : GCP::ListFiles(folder, kDraftPattern, kDraftSeparator, directory);
}

}  // namespace kestrow
