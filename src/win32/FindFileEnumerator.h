#pragma once
#include "DirectoryEnumerator.h"

namespace kestrow::win32 {

// FindFirstFileW/FindNextFileW, reporting plain files only.
class FindFileEnumerator : public DirectoryEnumerator {
public:
    void ForEachPlainFile(const std::wstring& folderAndPattern,
                          const std::function<void(const std::wstring& name)>& onName) override;
};

}  // namespace kestrow::win32
