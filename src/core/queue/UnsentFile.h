#pragma once
// What a run could not send to the night's database, kept in a file of
// this computer's until the next run of the same night sends it: one CSV
// record an item, read back as written, whatever its texts hold.
#include <string>
#include <vector>

#include "queue/NightQueue.h"

namespace kestrow {

std::wstring FormatUnsent(const std::vector<UnsentItem>& items);
// Records that are no item (cut short, say) are passed over.
std::vector<UnsentItem> ParseUnsent(const std::wstring& text);

}  // namespace kestrow
