#pragma once
// When a night starts: a time of day and the days of the week, as the
// command line writes them ("02:00", "mon,tue,fri") and as people read them
// ("02:00 on Mon, Tue and Fri").
#include <cstdint>
#include <optional>
#include <string>

namespace kestrow {

struct NightTime {
    int hour = 2;
    int minute = 0;
    bool operator==(const NightTime&) const = default;
};

// "2:00", "02:00" or "23:59": 24-hour time, minutes in two digits.
std::optional<NightTime> ParseNightTime(const std::wstring& text);
// "02:00".
std::wstring NightTimeText(NightTime time);

// The days of the week a night starts on, one bit a day from Monday (bit 0)
// to Sunday (bit 6).
using NightDays = std::uint8_t;
constexpr NightDays kEveryDay = 0x7F;
constexpr int kDaysInWeek = 7;

// "Mon", "Tue", ... for day 0 (Monday) to 6.
std::wstring DayShortName(int day);

// "mon,Tue,FRIDAY": days by their English names or first three letters, in
// any case, comma separated. None for an empty list, an empty entry or a
// name that is no day.
std::optional<NightDays> ParseNightDays(const std::wstring& text);
// "mon,tue,fri", as /days takes them.
std::wstring NightDaysSwitch(NightDays days);
// "every day", "Mon", "Mon and Fri", "Mon, Tue and Fri".
std::wstring NightDaysText(NightDays days);

// "02:00 every day", "02:00 on Mon and Fri".
std::wstring NightScheduleText(NightTime time, NightDays days);

}  // namespace kestrow
