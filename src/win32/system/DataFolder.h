#pragma once
// Where Kestrow keeps what it needs between runs: the records of the CAD
// sessions it started and the copies of the drafts in hand. One folder per
// user, %LOCALAPPDATA%\Kestrow, never beside the drafts, where the user's own
// tools would see it. KESTROW_DATA_FOLDER, when set, takes its place (tests).
#include <string>

namespace kestrow::win32 {

// The folder `name` under Kestrow's data folder, created if missing; "" when
// it cannot be had.
std::wstring KestrowDataFolder(const std::wstring& name);

}  // namespace kestrow::win32
