#pragma once
#include "listing/DirectoryEnumerator.h"

namespace kestrow::win32 {

// FindFirstFileExW/FindNextFileW.
class FindFileEnumerator : public DirectoryEnumerator {
public:
    void ForEachEntry(const std::wstring& folderAndPattern,
                      const std::function<void(const std::wstring& name, EntryKind kind)>& onEntry) override;
};

}  // namespace kestrow::win32
