#include "report/Timeline.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "report/Html.h"
#include "report/LogTime.h"

namespace kestrow {
namespace {

// What a pixel of a lane shows: the worst of the drafts that cover it.
enum Paint : std::uint8_t { kNone, kStored, kInHand, kFailed };
const wchar_t* const kPaintClass[] = {L"", L"stored", L"inhand", L"failed"};

struct Lane {
    std::wstring label;  // as it fits left of the axis
    std::wstring whole;  // shown on hover
    const ReportSource* source;
    std::int32_t session;  // -1: every draft of the log
};

// A log's name and what follows it, as they fit left of the axis: a long
// name (the window's logs carry their folder's) is cut at its end.
Lane Named(const std::wstring& name, const std::wstring& suffix, const ReportSource* source, std::int32_t session) {
    constexpr size_t kMostLetters = 26;
    const size_t room = kMostLetters > suffix.size() + 8 ? kMostLetters - suffix.size() : 8;
    const std::wstring shown = name.size() <= room ? name : name.substr(0, room - 1) + L"\u2026";
    return Lane{shown + suffix, name + suffix, source, session};
}

std::vector<Lane> LanesOf(const std::vector<ReportSource>& sources) {
    std::vector<Lane> lanes;
    for (const ReportSource& source : sources) {
        std::int32_t sessions = 0;
        bool unnamed = false;  // drafts the log names no session for
        for (const ReportedRun& run : source.log.runs) {
            sessions = std::max(sessions, run.sessions);
            for (const ReportedDraft& draft : run.drafts)
                unnamed = unnamed || (draft.session == 0 && draft.fate != DraftFate::NotReached);
        }
        if (sessions == 0) {
            lanes.push_back(Named(source.name, L"", &source, -1));
            continue;
        }
        for (std::int32_t session = 1; session <= sessions; ++session)
            lanes.push_back(Named(source.name, L" \u00B7 session " + std::to_wstring(session), &source, session));
        if (unnamed) lanes.push_back(Named(source.name, L" \u00B7 no session", &source, 0));
    }
    return lanes;
}

bool InLane(const Lane& lane, std::int32_t session) { return lane.session < 0 || lane.session == session; }

// Ticks a whole number of seconds or minutes apart, about a dozen across
// the axis.
std::int64_t TickStep(std::int64_t span) {
    for (std::int64_t step : {1, 2, 5, 10, 15, 30, 60, 300, 600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400})
        if (span / step <= 12) return step;
    return (span / 12 / 86400 + 1) * 86400;
}

class Plot {
public:
    Plot(std::int64_t start, std::int64_t end, const TimelineLayout& layout)
        // However short the night, it is drawn across the axis.
        : start_(start), span_(std::max<std::int64_t>(end - start, 1)), layout_(layout) {}

    int X(double utcSeconds) const {
        const double at = (utcSeconds - static_cast<double>(start_)) / static_cast<double>(span_);
        return std::clamp(static_cast<int>(std::floor(at * layout_.plotWidth)), 0, layout_.plotWidth - 1);
    }
    std::int64_t Start() const { return start_; }
    std::int64_t Span() const { return span_; }

private:
    std::int64_t start_, span_;
    const TimelineLayout& layout_;
};

std::wstring Rect(int x, int y, int width, int height, const wchar_t* type) {
    return L"<rect class=\"" + std::wstring(type) + L"\" x=\"" + std::to_wstring(x) + L"\" y=\"" + std::to_wstring(y) +
           L"\" width=\"" + std::to_wstring(width) + L"\" height=\"" + std::to_wstring(height) + L"\"";
}

}  // namespace

std::wstring TimelineSvg(const std::vector<ReportSource>& sources, const TimelineLayout& layout) {
    const NightTotals totals = TotalsOf(sources);
    if (totals.start == kNoTime) return std::wstring();
    const std::vector<Lane> lanes = LanesOf(sources);
    const Plot plot(totals.start, totals.end, layout);
    const int left = layout.labelWidth, top = 8, axis = 22;
    const int pitch = layout.laneHeight + layout.laneGap;
    const int height = top + static_cast<int>(lanes.size()) * pitch + axis;
    const int width = left + layout.plotWidth + 10;

    std::wstring svg = L"<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"timeline\" width=\"" +
                       std::to_wstring(width) + L"\" height=\"" + std::to_wstring(height) + L"\" viewBox=\"0 0 " +
                       std::to_wstring(width) + L" " + std::to_wstring(height) +
                       L"\" role=\"img\" aria-label=\"Timeline of the night\">\n";
    // The hours (or minutes) across every lane, in the first log's time.
    const std::int64_t step = TickStep(plot.Span());
    const std::int64_t local = static_cast<std::int64_t>(totals.offsetMinutes) * 60;
    for (std::int64_t tick = ((plot.Start() + local) / step + 1) * step - local; tick <= plot.Start() + plot.Span();
         tick += step) {
        const int x = left + plot.X(static_cast<double>(tick));
        svg += L"<line class=\"grid\" x1=\"" + std::to_wstring(x) + L"\" y1=\"" + std::to_wstring(top - 4) +
               L"\" x2=\"" + std::to_wstring(x) + L"\" y2=\"" + std::to_wstring(height - axis + 2) + L"\"/>";
        svg += L"<text class=\"tick\" x=\"" + std::to_wstring(x) + L"\" y=\"" + std::to_wstring(height - 6) + L"\">" +
               LocalClockText(tick, totals.offsetMinutes, step < 60) + L"</text>\n";
    }

    size_t titled = 0;
    for (size_t index = 0; index < lanes.size(); ++index) {
        const Lane& lane = lanes[index];
        const int y = top + static_cast<int>(index) * pitch;
        svg += L"<text class=\"lane\" x=\"" + std::to_wstring(left - 8) + L"\" y=\"" +
               std::to_wstring(y + layout.laneHeight - 4) + L"\"><title>" + HtmlText(lane.whole) + L"</title>" +
               HtmlText(lane.label) + L"</text>";
        svg += Rect(left, y, layout.plotWidth, layout.laneHeight, L"lanebg") + L"/>\n";
        std::vector<std::uint8_t> pixels(static_cast<size_t>(layout.plotWidth), kNone);
        std::vector<bool> dialogAt(static_cast<size_t>(layout.plotWidth), false);  // one mark a pixel
        std::wstring titledMarks;
        for (const ReportedRun& run : lane.source->log.runs) {
            for (const ReportedDraft& draft : run.drafts) {
                if (draft.fate == DraftFate::NotReached || draft.time == kNoTime || !InLane(lane, draft.session))
                    continue;
                const Paint paint = draft.fate == DraftFate::Failed ? kFailed
                                    : draft.fate == DraftFate::InHand ? kInHand
                                                                      : kStored;
                const int from = plot.X(static_cast<double>(draft.time) - draft.seconds);
                const int to = std::max(from, plot.X(static_cast<double>(draft.time)));
                for (int x = from; x <= to; ++x) pixels[static_cast<size_t>(x)] = std::max<std::uint8_t>(pixels[static_cast<size_t>(x)], paint);
                if (paint == kStored || titled >= layout.titledMarks) continue;
                ++titled;
                titledMarks += Rect(left + from, y, std::max(2, to - from + 1), layout.laneHeight, kPaintClass[paint]) +
                               L"><title>" + HtmlText(draft.file) +
                               (paint == kFailed ? L"\n" + HtmlText(OneLine(draft.description)) : L"\nin hand") +
                               L"</title></rect>\n";
            }
            for (const ReportedDialog& dialog : run.dialogs) {
                if (dialog.time == kNoTime || !InLane(lane, dialog.session)) continue;
                const int at = plot.X(static_cast<double>(dialog.time));
                if (dialogAt[static_cast<size_t>(at)]) continue;
                dialogAt[static_cast<size_t>(at)] = true;
                const int x = left + at;
                titledMarks += L"<path class=\"dialog\" d=\"M" + std::to_wstring(x - 4) + L" " + std::to_wstring(y - 5) +
                               L"h8l-4 6z\">";
                if (titled++ < layout.titledMarks)
                    titledMarks += L"<title>" + HtmlText(dialog.title) + L": " + HtmlText(OneLine(dialog.text)) +
                                   L"\n" + HtmlText(dialog.file) + L"</title>";
                titledMarks += L"</path>\n";
            }
        }
        for (int x = 0; x < layout.plotWidth;) {
            const std::uint8_t paint = pixels[static_cast<size_t>(x)];
            int end = x + 1;
            while (end < layout.plotWidth && pixels[static_cast<size_t>(end)] == paint) ++end;
            if (paint != kNone) svg += Rect(left + x, y, end - x, layout.laneHeight, kPaintClass[paint]) + L"/>";
            x = end;
        }
        svg += L"\n" + titledMarks;
    }
    return svg + L"</svg>\n";
}

}  // namespace kestrow
