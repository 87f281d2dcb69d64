#pragma once
#include <functional>
#include <string>

namespace kestrow {

// Enumerates the plain files of a folder that match a wildcard pattern, in
// the order the file system returns them. Directories, hidden files, system
// files and volume labels are never reported. A folder that cannot be read
// reports nothing.
class DirectoryEnumerator {
public:
    virtual ~DirectoryEnumerator() = default;
    virtual void ForEachPlainFile(const std::wstring& folderAndPattern,
                                  const std::function<void(const std::wstring& name)>& onName) = 0;
};

}  // namespace kestrow
