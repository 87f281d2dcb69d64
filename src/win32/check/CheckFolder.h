#pragma once
// Where a check keeps what it makes: the sample's copy beside the sample,
// named as Kestrow's temporary files are, where the links the draft holds by
// relative path resolve as in a night (its exports beside it); the pictures
// of the dialogs in a folder of the check's own under the user's temporary
// folder. All of it goes once the check is done. The user's draft is only
// ever read, to be copied.
#include <string>

namespace kestrow::win32 {

class CheckFolder {
public:
    CheckFolder() = default;
    ~CheckFolder();
    CheckFolder(const CheckFolder&) = delete;
    CheckFolder& operator=(const CheckFolder&) = delete;

    // Copies `draft` beside itself, or, where its folder cannot be written,
    // into the check's folder (made first), writable whatever its
    // attributes; the copy's path. Raises RuntimeError with the system's
    // reason when it cannot.
    std::wstring CopyIn(const std::wstring& draft);
    // The pictures' folder inside it, made when first asked for; "" when it
    // cannot be made.
    std::wstring PictureFolder();

private:
    void Make();
    std::wstring path_;        // "" until made
    std::wstring besideStem_;  // the copy beside the sample, without extension; "" for none
};

}  // namespace kestrow::win32
