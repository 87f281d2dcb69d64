#include "report/LogTime.h"

#include <cmath>
#include <cstdio>

namespace kestrow {
namespace {

// Digits at text[at], exactly `count` of them.
bool Digits(const std::wstring& text, size_t at, size_t count, int& value) {
    if (at + count > text.size()) return false;
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < L'0' || text[i] > L'9') return false;
        value = value * 10 + (text[i] - L'0');
    }
    return true;
}

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

struct CivilTime {
    std::int64_t year;
    int month, day, hour, minute, second;
};

CivilTime CivilFromSeconds(std::int64_t seconds) {
    std::int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
    const std::int64_t inDay = seconds - days * 86400;
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day, static_cast<int>(inDay / 3600),
            static_cast<int>(inDay % 3600 / 60), static_cast<int>(inDay % 60)};
}

}  // namespace

std::optional<LogTime> ParseLogTime(const std::wstring& text) {
    // 2026-12-07T02:14:09+01:00
    if (text.size() != 25 || text[4] != L'-' || text[7] != L'-' || text[10] != L'T' || text[13] != L':' ||
        text[16] != L':' || (text[19] != L'+' && text[19] != L'-') || text[22] != L':')
        return std::nullopt;
    int year, month, day, hour, minute, second, offsetHours, offsetMinutes;
    if (!Digits(text, 0, 4, year) || !Digits(text, 5, 2, month) || !Digits(text, 8, 2, day) ||
        !Digits(text, 11, 2, hour) || !Digits(text, 14, 2, minute) || !Digits(text, 17, 2, second) ||
        !Digits(text, 20, 2, offsetHours) || !Digits(text, 23, 2, offsetMinutes))
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60 ||
        offsetHours > 14 || offsetMinutes > 59)
        return std::nullopt;
    LogTime time;
    time.offsetMinutes = (text[19] == L'-' ? -1 : 1) * (offsetHours * 60 + offsetMinutes);
    time.utcSeconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second -
                      static_cast<std::int64_t>(time.offsetMinutes) * 60;
    return time;
}

std::wstring LocalDateTimeText(const LogTime& time) {
    const CivilTime civil = CivilFromSeconds(time.utcSeconds + static_cast<std::int64_t>(time.offsetMinutes) * 60);
    wchar_t text[40];
    std::swprintf(text, 40, L"%04lld-%02d-%02d %02d:%02d", static_cast<long long>(civil.year), civil.month, civil.day,
                  civil.hour, civil.minute);
    return text;
}

std::wstring LocalClockText(std::int64_t utcSeconds, int offsetMinutes, bool withSeconds) {
    const CivilTime civil = CivilFromSeconds(utcSeconds + static_cast<std::int64_t>(offsetMinutes) * 60);
    wchar_t text[16];
    if (withSeconds)
        std::swprintf(text, 16, L"%02d:%02d:%02d", civil.hour, civil.minute, civil.second);
    else
        std::swprintf(text, 16, L"%02d:%02d", civil.hour, civil.minute);
    return text;
}

std::wstring DurationText(double seconds) {
    const std::int64_t whole = seconds > 0 ? static_cast<std::int64_t>(std::llround(seconds)) : 0;
    if (whole < 60) return std::to_wstring(whole) + L" s";
    const std::int64_t minutes = (whole + 30) / 60;
    if (minutes < 60) return std::to_wstring(minutes) + L" min";
    const std::int64_t hours = minutes / 60;
    return std::to_wstring(hours) + L" h" + (minutes % 60 ? L" " + std::to_wstring(minutes % 60) + L" min" : L"");
}

}  // namespace kestrow
