#include "listing/FileTree.h"

#include <iterator>

#include "listing/WildcardMatch.h"

namespace kestrow {
namespace {

// The files matching `pattern` and the subfolders of one folder, named
// relative to the top of the walk.
struct FolderEntries {
    std::vector<std::wstring> files;
    std::vector<FileIdentity> identities;
    std::vector<std::wstring> subfolders;
};

FolderEntries ReadFolder(const std::wstring& folder, const std::wstring& relative, const std::wstring& query,
                         const std::wstring& pattern, DirectoryEnumerator& directory) {
    FolderEntries entries;
    directory.ForEachEntryWithFile(folder + relative + query,
                                   [&](const std::wstring& name, EntryKind kind, const FileIdentity& file) {
                                       if (kind == EntryKind::Folder) {
                                           entries.subfolders.push_back(relative + name + L"\\");
                                       } else if (WildcardMatch(pattern, name)) {
                                           entries.files.push_back(relative + name);
                                           entries.identities.push_back(file);
                                       }
                                   });
    return entries;
}

void EnsureTrailingBackslash(std::wstring& folder) {
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
}

}  // namespace

DraftListing ListFileTree(std::wstring& folder, const std::wstring& pattern, DirectoryEnumerator& directory) {
    EnsureTrailingBackslash(folder);
    directory.BeginListing(folder);
    DraftListing listing;
    // Relative paths of the folders still to walk, the next one last: a
    // stack rather than recursion, for trees of any depth.
    std::vector<std::wstring> pending{std::wstring()};
    while (!pending.empty()) {
        const std::wstring relative = std::move(pending.back());
        pending.pop_back();
        FolderEntries entries;
        try {
            entries = ReadFolder(folder, relative, L"*", pattern, directory);
        } catch (const RuntimeError& error) {
            if (relative.empty()) throw;
            // A folder cut short part-way is left out whole: its drafts are
            // either all listed or all reported unread.
            listing.unreadableFolders.push_back({folder + relative, error});
            continue;
        }
        listing.names.insert(listing.names.end(), std::make_move_iterator(entries.files.begin()),
                             std::make_move_iterator(entries.files.end()));
        listing.files.insert(listing.files.end(), entries.identities.begin(), entries.identities.end());
        pending.insert(pending.end(), std::make_move_iterator(entries.subfolders.rbegin()),
                       std::make_move_iterator(entries.subfolders.rend()));
    }
    return listing;
}

DraftListing ListDrafts(std::wstring& folder, bool subfolders, DirectoryEnumerator& directory) {
    if (subfolders) return ListFileTree(folder, kDraftPattern, directory);
    EnsureTrailingBackslash(folder);
    directory.BeginListing(folder);
    // One folder: the enumeration filters by the pattern itself.
    FolderEntries entries = ReadFolder(folder, L"", kDraftPattern, kDraftPattern, directory);
    return DraftListing{std::move(entries.files), std::move(entries.identities), {}};
}

std::wstring JoinNames(const std::vector<std::wstring>& names, const std::wstring& separator) {
    std::wstring joined;
    for (const std::wstring& name : names) {
        if (&name != &names.front()) joined += separator;
        joined += name;
    }
    return joined;
}

}  // namespace kestrow
