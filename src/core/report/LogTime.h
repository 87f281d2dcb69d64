#pragma once
// The log's times ("2026-12-07T02:14:09+01:00", local time with its offset
// from UTC) as numbers to place on one line across machines, and back as
// the texts a report shows.
#include <cstdint>
#include <optional>
#include <string>

namespace kestrow {

struct LogTime {
    std::int64_t utcSeconds = 0;  // since 1970-01-01T00:00:00Z
    int offsetMinutes = 0;        // the writer's offset from UTC
};

// None when the text is no time as the log writes it.
std::optional<LogTime> ParseLogTime(const std::wstring& text);

// "2026-12-07 02:14" in the time's own offset.
std::wstring LocalDateTimeText(const LogTime& time);
// "02:14" in `offsetMinutes`; "02:14:09" `withSeconds`.
std::wstring LocalClockText(std::int64_t utcSeconds, int offsetMinutes, bool withSeconds = false);
// "3 h 12 min", "14 min", "40 s".
std::wstring DurationText(double seconds);

}  // namespace kestrow
