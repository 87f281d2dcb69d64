#pragma once
// Where a run keeps what a shared night's database missed, for the next run
// of the same night on this computer: a file per night's folder and database
// in Kestrow's data folder (Unsent), read whole and written whole.
#include <string>
#include <vector>

#include "queue/NightQueue.h"

namespace kestrow::win32 {

// The file for the night of `folderKey` in the database of `connection`
// (named without its password); "" when the data folder cannot be had.
std::wstring UnsentFilePath(const std::wstring& folderKey, const std::wstring& connection);
std::vector<UnsentItem> ReadUnsent(const std::wstring& path);
// Writes `items`, or removes the file when there are none; false when the
// file could not be written.
bool KeepUnsent(const std::wstring& path, const std::vector<UnsentItem>& items);

}  // namespace kestrow::win32
