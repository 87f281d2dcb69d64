#pragma once
// Where a log's last run begins, found from the end of the file: a run reads
// only the rows it needs, however long the log has grown over the nights.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "unattended/ResumePlan.h"

namespace kestrow {

// A log's bytes as they are on disk (UTF-8), read from any offset.
class LogBytes {
public:
    virtual ~LogBytes() = default;
    virtual std::uint64_t Size() = 0;
    // `count` bytes from `offset`, fewer only at the end of the file.
    virtual std::string Read(std::uint64_t offset, std::size_t count) = 0;
};

// The offset of the last line before `before` that starts a run-start row
// (a local time, then ",run-start,"); nullopt when there is none. Read
// backwards in chunks of `chunk` bytes. A run-start row never needs quoting,
// so its line is found without knowing which line breaks lie inside quoted
// fields; the rows from there on are then read as CSV, forwards.
std::optional<std::uint64_t> FindLastRunStart(LogBytes& log, std::uint64_t before,
                                              std::size_t chunk = std::size_t{1} << 20);

// The last run a log of `layout` holds, from its rows alone; `decode` turns
// UTF-8 into text. A line that only looks like a run's start (its number
// torn, say) is passed over for the one before it.
LastRun ReadLastRunFromEnd(LogBytes& log, LogLayout layout,
                           const std::function<std::wstring(const std::string& utf8)>& decode,
                           std::size_t chunk = std::size_t{1} << 20);

}  // namespace kestrow
