#include "unattended/LogTail.h"

#include <algorithm>
#include <cstring>

namespace kestrow {
namespace {

constexpr char kRunStartField[] = ",run-start,";
constexpr std::size_t kRunStartFieldLength = sizeof kRunStartField - 1;
// "2026-12-07T02:14:09+01:00"
constexpr std::size_t kTimeLength = 25;

bool Digit(char c) { return c >= '0' && c <= '9'; }

bool LocalTimeAt(const std::string& bytes, std::size_t at) {
    if (at + kTimeLength > bytes.size()) return false;
    static const char kShape[] = "dddd-dd-ddTdd:dd:dd+dd:dd";
    for (std::size_t i = 0; i < kTimeLength; ++i) {
        const char c = bytes[at + i];
        const char shape = kShape[i];
        if (shape == 'd' ? !Digit(c) : shape == '+' ? (c != '+' && c != '-') : c != shape) return false;
    }
    return true;
}

}  // namespace

std::optional<std::uint64_t> FindLastRunStart(LogBytes& log, std::uint64_t before, std::size_t chunk) {
    before = std::min(before, log.Size());
    chunk = std::max<std::size_t>(chunk, 1);
    // A row's line break, time and field may straddle two chunks: each chunk
    // is read with the first bytes of the one after it.
    const std::size_t overlap = 1 + kTimeLength + kRunStartFieldLength;
    std::uint64_t end = before;
    std::string later;  // the first bytes after `end`, up to `before`
    while (end > 0) {
        const std::uint64_t start = end > chunk ? end - chunk : 0;
        std::string bytes = log.Read(start, static_cast<std::size_t>(end - start));
        bytes.resize(static_cast<std::size_t>(end - start));
        bytes += later;
        // The last line start first: a match in `later` was ruled out
        // already, or starts at `end` and is tried here, whole.
        std::size_t field = bytes.size();
        while (field > 0) {
            field = bytes.rfind(kRunStartField, field - 1);
            if (field == std::string::npos || field < kTimeLength) break;
            const std::size_t line = field - kTimeLength;
            if (start + line > end) continue;
            const bool atLineStart = line == 0 ? start == 0 : bytes[line - 1] == '\n';
            if (atLineStart && LocalTimeAt(bytes, line)) return start + line;
        }
        later = bytes.substr(0, std::min(bytes.size(), overlap));
        end = start;
    }
    return std::nullopt;
}

LastRun ReadLastRunFromEnd(LogBytes& log, LogLayout layout,
                           const std::function<std::wstring(const std::string& utf8)>& decode, std::size_t chunk) {
    const std::uint64_t size = log.Size();
    std::uint64_t before = size;
    while (const std::optional<std::uint64_t> start = FindLastRunStart(log, before, chunk)) {
        LastRun last = ReadLastRun(decode(log.Read(*start, static_cast<std::size_t>(size - *start))), layout);
        if (last.number > 0) return last;
        before = *start;
    }
    return LastRun{};
}

}  // namespace kestrow
