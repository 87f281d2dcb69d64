#pragma once
// A folder of the check's own under the user's temporary folder: the
// sample's copy, its exports and the pictures of the dialogs go there, and
// it goes with everything in it once the check is done. The user's draft is
// only ever read, to be copied.
#include <string>

namespace kestrow::win32 {

class CheckFolder {
public:
    CheckFolder() = default;
    ~CheckFolder();
    CheckFolder(const CheckFolder&) = delete;
    CheckFolder& operator=(const CheckFolder&) = delete;

    // Copies `draft` into the folder (made first), writable whatever its
    // attributes; the copy's path. Raises RuntimeError with the system's
    // reason when it cannot.
    std::wstring CopyIn(const std::wstring& draft);
    // The pictures' folder inside it, made when first asked for; "" when it
    // cannot be made.
    std::wstring PictureFolder();

private:
    void Make();
    std::wstring path_;  // "" until made
};

}  // namespace kestrow::win32
