#pragma once
#include <string>

namespace kestrow {

// Asks the user for a folder; "" means that none was selected.
class FolderPicker {
public:
    virtual ~FolderPicker() = default;
    virtual std::wstring BrowseFolder(const std::wstring& prompt) = 0;
};

}  // namespace kestrow
