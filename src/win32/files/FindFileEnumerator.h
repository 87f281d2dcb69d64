#pragma once
#include <windows.h>

#include <optional>

#include "listing/DirectoryEnumerator.h"

namespace kestrow::win32 {

// FindFirstFileExW/FindNextFileW; with the files' identities, the folder's
// handle read in bulk (FileIdBothDirectoryInfo): a file's index comes with
// its name, at no cost per file. Only a symbolic link to a file, whose entry
// carries the link's own index, is opened to learn its file's.
class FindFileEnumerator : public DirectoryEnumerator {
public:
    void ForEachEntry(const std::wstring& folderAndPattern,
                      const std::function<void(const std::wstring& name, EntryKind kind)>& onEntry) override;
    void BeginListing(const std::wstring& folder) override;
    void ForEachEntryWithFile(
        const std::wstring& folderAndPattern,
        const std::function<void(const std::wstring& name, EntryKind kind, const FileIdentity& file)>& onEntry) override;

private:
    // The listing's volume: asking it of every folder would cost more than
    // the listing itself (measured under Wine).
    std::wstring listingFolder_;
    std::optional<DWORD> listingVolume_ = 0;
};

}  // namespace kestrow::win32
