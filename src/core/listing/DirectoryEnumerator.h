#pragma once
#include <functional>
#include <string>

#include "listing/FileIdentity.h"

namespace kestrow {

enum class EntryKind {
    PlainFile,  // not a directory, hidden, system file or volume label
    Folder,     // a subfolder that a walk of the tree may enter
                // (FolderMayBeEntered)
};

// Enumerates the entries of one folder that match a wildcard pattern, in
// the order the file system returns them. Entries of neither kind (hidden
// or system files, "." and "..", links) are never reported. A folder that
// cannot be read, or whose enumeration fails part-way, raises RuntimeError
// with the system's reason; a folder with no match reports nothing.
class DirectoryEnumerator {
public:
    virtual ~DirectoryEnumerator() = default;
    virtual void ForEachEntry(const std::wstring& folderAndPattern,
                              const std::function<void(const std::wstring& name, EntryKind kind)>& onEntry) = 0;
    // A listing of `folder` and the folders below it that may be entered
    // begins: they all lie on its volume, which is asked once.
    virtual void BeginListing(const std::wstring& folder) { (void)folder; }
    // The same, with the file behind each plain file where the enumeration
    // tells it in bulk (unknown otherwise, and for folders).
    virtual void ForEachEntryWithFile(
        const std::wstring& folderAndPattern,
        const std::function<void(const std::wstring& name, EntryKind kind, const FileIdentity& file)>& onEntry) {
        ForEachEntry(folderAndPattern,
                     [&](const std::wstring& name, EntryKind kind) { onEntry(name, kind, FileIdentity{}); });
    }
};

}  // namespace kestrow
