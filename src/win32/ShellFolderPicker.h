#pragma once
#include "FolderPicker.h"
#include "foldbrow.h"

namespace kestrow::win32 {

class ShellFolderPicker : public FolderPicker {
public:
    std::wstring BrowseFolder(const std::wstring& prompt) override { return foldbrow::BrowseFolder(prompt); }
};

}  // namespace kestrow::win32
