#pragma once
#include <string>

namespace kestrow {

struct FolderRequest {
    std::wstring prompt;
    std::wstring startFolder;        // where the dialog opens; "" for its top
    bool includeSubfolders = false;  // the check box's state when it opens
};

struct FolderChoice {
    enum class Outcome {
        Cancelled,
        Folder,     // `path` is a folder on disk
        NotOnDisk,  // the user chose something else, named `displayName`
    };
    Outcome outcome = Outcome::Cancelled;
    std::wstring path;
    std::wstring displayName;
    bool includeSubfolders = false;
};

// Asks the user for a folder, and whether its subfolders count too.
class FolderPicker {
public:
    virtual ~FolderPicker() = default;
    virtual FolderChoice ChooseFolder(const FolderRequest& request) = 0;
};

}  // namespace kestrow
