#include "schedule/NightTime.h"

#include <array>

#include "common/Blanks.h"
#include "common/CaseFold.h"

namespace kestrow {
namespace {

constexpr std::array<const wchar_t*, kDaysInWeek> kDayNames = {L"Monday", L"Tuesday",  L"Wednesday", L"Thursday",
                                                              L"Friday", L"Saturday", L"Sunday"};

bool AllDigits(const std::wstring& text) {
    for (const wchar_t c : text)
        if (c < L'0' || c > L'9') return false;
    return !text.empty();
}

std::optional<int> DayNamed(const std::wstring& name) {
    for (int day = 0; day < kDaysInWeek; ++day) {
        const std::wstring full = kDayNames[static_cast<size_t>(day)];
        if (SameIgnoringCase(name, full) || SameIgnoringCase(name, full.substr(0, 3))) return day;
    }
    return std::nullopt;
}

}  // namespace

std::optional<NightTime> ParseNightTime(const std::wstring& text) {
    const std::wstring time = WithoutBlanksAround(text);
    const size_t colon = time.find(L':');
    if (colon == std::wstring::npos) return std::nullopt;
    const std::wstring hours = time.substr(0, colon);
    const std::wstring minutes = time.substr(colon + 1);
    if (!AllDigits(hours) || hours.size() > 2 || !AllDigits(minutes) || minutes.size() != 2) return std::nullopt;
    const NightTime parsed{std::stoi(hours), std::stoi(minutes)};
    if (parsed.hour > 23 || parsed.minute > 59) return std::nullopt;
    return parsed;
}

std::wstring NightTimeText(NightTime time) {
    wchar_t text[8];
    swprintf(text, 8, L"%02d:%02d", time.hour, time.minute);
    return text;
}

std::wstring DayShortName(int day) { return std::wstring(kDayNames[static_cast<size_t>(day)]).substr(0, 3); }

std::optional<NightDays> ParseNightDays(const std::wstring& text) {
    NightDays days = 0;
    size_t at = 0;
    for (;;) {
        const size_t comma = text.find(L',', at);
        const std::optional<int> day =
            DayNamed(WithoutBlanksAround(text.substr(at, comma == std::wstring::npos ? std::wstring::npos : comma - at)));
        if (!day) return std::nullopt;
        days = static_cast<NightDays>(days | (1u << *day));
        if (comma == std::wstring::npos) return days;
        at = comma + 1;
    }
}

std::wstring NightDaysSwitch(NightDays days) {
    std::wstring text;
    for (int day = 0; day < kDaysInWeek; ++day) {
        if (!(days & (1u << day))) continue;
        std::wstring name = DayShortName(day);
        name[0] = static_cast<wchar_t>(name[0] - L'A' + L'a');
        text += (text.empty() ? L"" : L",") + name;
    }
    return text;
}

std::wstring NightDaysText(NightDays days) {
    if ((days & kEveryDay) == kEveryDay) return L"every day";
    std::wstring text;
    int left = 0;
    for (int day = 0; day < kDaysInWeek; ++day) left += (days >> day) & 1;
    for (int day = 0; day < kDaysInWeek; ++day) {
        if (!(days & (1u << day))) continue;
        --left;
        text += DayShortName(day) + (left > 1 ? L", " : left == 1 ? L" and " : L"");
    }
    return text;
}

std::wstring NightScheduleText(NightTime time, NightDays days) {
    const std::wstring when = NightDaysText(days);
    return NightTimeText(time) + ((days & kEveryDay) == kEveryDay ? L" " : L" on ") + when;
}

}  // namespace kestrow
