#include "report/ReportPage.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <unordered_map>

#include "report/Html.h"
#include "common/NumberText.h"
#include "report/LogTime.h"
#include "report/ReportText.h"
#include "report/Timeline.h"

namespace kestrow {
namespace {

std::wstring Tile(const std::wstring& value, const std::wstring& label, const wchar_t* kind = L"") {
    return L"<div class=\"tile " + std::wstring(kind) + L"\"><b>" + HtmlText(value) + L"</b><span>" +
           HtmlText(label) + L"</span></div>";
}

std::wstring Cell(const std::wstring& text, const wchar_t* kind = L"") {
    return std::wstring(L"<td") + (*kind ? L" class=\"" + std::wstring(kind) + L"\"" : L"") + L">" + HtmlText(text) +
           L"</td>";
}

std::wstring Number(std::int64_t number) { return GroupedNumber(number); }

// "49.9 s", "6 min 40 s", "2 h 5 min": how long a draft took.
std::wstring Seconds(double seconds) {
    wchar_t text[32];
    if (seconds < 60)
        std::swprintf(text, 32, L"%.1f s", seconds);
    else if (seconds < 3600)
        std::swprintf(text, 32, L"%d min %d s", static_cast<int>(seconds) / 60, static_cast<int>(seconds) % 60);
    else
        return DurationText(seconds);
    return text;
}

// A run shorter than a minute tells no pace: its cell stays empty.
std::wstring PaceText(double perHour) { return perHour > 0 ? Number(std::llround(perHour)) : std::wstring(); }

std::wstring TimeOf(const DraftInReport& draft) {
    return draft.draft->time == kNoTime ? std::wstring() : LocalClockText(draft.draft->time, draft.run->offsetMinutes);
}

std::wstring TotalsSection(const std::vector<ReportSource>& sources) {
    const NightTotals totals = TotalsOf(sources);
    const FateCounts& fates = totals.fates;
    std::wstring html = L"<div class=\"tiles\">";
    html += Tile(Number(fates.stored), L"stored", fates.AllStored() && fates.stored > 0 ? L"good" : L"");
    html += Tile(Number(fates.failed), L"failed", fates.failed > 0 ? L"bad" : L"");
    html += Tile(Number(fates.notReached), L"not reached", fates.notReached > 0 ? L"warn" : L"");
    html += Tile(Number(fates.inHand), L"in hand", fates.inHand > 0 ? L"warn" : L"");
    if (totals.start != kNoTime) {
        html += Tile(DurationText(static_cast<double>(totals.end - totals.start)),
                     LocalClockText(totals.start, totals.offsetMinutes) + L" to " +
                         LocalClockText(totals.end, totals.offsetMinutes));
        if (totals.DraftsPerHour() > 0) html += Tile(Number(std::llround(totals.DraftsPerHour())), L"drafts an hour");
    }
    if (totals.exports.Any()) {
        html += Tile(Number(totals.exports.made), L"exported");
        html += Tile(Number(totals.exports.failed), L"exports failed", totals.exports.failed > 0 ? L"bad" : L"");
    }
    if (totals.dialogs > 0) html += Tile(Number(totals.dialogs), L"dialogs of Solid Edge");
    html += L"</div>\n";
    if (totals.runsNotEnded > 0)
        html += L"<p class=\"alert\">" + std::to_wstring(totals.runsNotEnded) +
                (totals.runsNotEnded == 1 ? L" run has not ended" : L" runs have not ended") +
                L": it is still running, or it was cut short (resume it with /resume).</p>\n";
    if (totals.tornRows > 0)
        html += L"<p class=\"alert\">" + Number(totals.tornRows) +
                (totals.tornRows == 1 ? L" row was cut short and is left out.</p>\n"
                                      : L" rows were cut short and are left out.</p>\n");
    return html;
}

std::wstring RunsSection(const std::vector<ReportSource>& sources) {
    std::wstring html = L"<table><tr><th>Log</th><th>Run</th><th>From</th><th>To</th><th class=\"n\">Ran</th>"
                        L"<th>State</th><th class=\"n\">Stored</th><th class=\"n\">Failed</th>"
                        L"<th class=\"n\">Not reached</th><th class=\"n\">In hand</th><th class=\"n\">Drafts an hour</th></tr>\n";
    for (const ReportSource& source : sources)
        for (const ReportedRun& run : source.log.runs) {
            const FateCounts fates = CountFates(run);
            const bool timed = run.start != kNoTime;
            html += L"<tr>" + Cell(source.name) + Cell(RunTitle(source, run)) +
                    Cell(timed ? LocalDateTimeText({run.start, run.offsetMinutes}) : L"") +
                    Cell(timed ? LocalDateTimeText({run.end, run.offsetMinutes}) : L"") +
                    Cell(timed ? DurationText(run.activeSeconds) : L"", L"n") +
                    Cell(RunStateText(source, run), RunEndedWell(run) ? L"" : L"err") + Cell(Number(fates.stored), L"n") +
                    Cell(Number(fates.failed), fates.failed ? L"n err" : L"n") + Cell(Number(fates.notReached), L"n") +
                    Cell(Number(fates.inHand), L"n") +
                    Cell(PaceText(DraftsPerHour(fates.Tried(), run.activeSeconds)), L"n") + L"</tr>\n";
        }
    return html + L"</table>\n";
}

// The dialogs the CAD system showed while `draft` was in hand, each with
// its picture when the picture lies in its log's own dialogs folder.
std::wstring DialogFigures(const DraftInReport& draft, const PageSetting& setting) {
    std::wstring html;
    for (const std::uint32_t index : draft.draft->dialogs) {
        const ReportedDialog& dialog = draft.run->dialogs[index];
        html += L"<figure>";
        const std::optional<std::wstring> picture =
            dialog.picture.empty() ? std::nullopt
                                   : DialogPictureReference(setting.pageFolder, draft.source->path, dialog.picture);
        if (picture) html += L"<img src=\"" + HtmlText(*picture) + L"\" alt=\"" + HtmlText(dialog.title) + L"\">";
        html += L"<figcaption><b>" + HtmlText(dialog.title) + L"</b>: " + HtmlText(OneLine(dialog.text));
        if (!dialog.picture.empty() && !picture)
            html += L"<br>Picture, not shown as it is not in the log's dialogs folder: " + HtmlText(dialog.picture);
        if (!dialog.buttons.empty()) html += L"<br>Buttons: " + HtmlText(dialog.buttons);
        if (!dialog.action.empty()) html += L"<br>Kestrow " + HtmlText(dialog.action);
        html += L"</figcaption></figure>";
    }
    return html;
}

std::wstring FailuresSection(const std::vector<ReportSource>& sources, const PageSetting& setting) {
    const std::vector<FailureGroup> groups = FailuresByError(sources);
    if (groups.empty()) return std::wstring();
    std::int64_t failed = 0;
    for (const FailureGroup& group : groups) failed += static_cast<std::int64_t>(group.drafts.size());
    std::wstring html = L"<h2 id=\"failed\">Failed drafts <span class=\"count\">" + Number(failed) + L"</span></h2>\n";
    size_t shown = 0;
    for (const FailureGroup& group : groups) {
        html += L"<h3><span class=\"err\">" + HtmlText(ErrorText(group)) + L"</span> <span class=\"count\">" +
                Number(static_cast<std::int64_t>(group.drafts.size())) +
                (group.drafts.size() == 1 ? L" draft" : L" drafts") + L"</span></h3>\n";
        html += L"<table><tr><th>Draft</th><th>Log</th><th>At</th><th class=\"n\">Session</th><th class=\"n\">Took</th></tr>\n";
        for (const DraftInReport& draft : group.drafts) {
            if (shown++ >= setting.failedDraftsShown) break;
            html += L"<tr>" + Cell(draft.draft->file, L"path") + Cell(draft.source->name) + Cell(TimeOf(draft)) +
                    Cell(draft.draft->session ? std::to_wstring(draft.draft->session) : L"", L"n") +
                    Cell(draft.draft->seconds > 0 ? Seconds(draft.draft->seconds) : L"", L"n") + L"</tr>\n";
            const std::wstring figures = DialogFigures(draft, setting);
            if (!figures.empty()) html += L"<tr><td colspan=\"5\">" + figures + L"</td></tr>\n";
        }
        html += L"</table>\n";
    }
    if (shown > setting.failedDraftsShown)
        html += L"<p>" + Number(static_cast<std::int64_t>(shown - setting.failedDraftsShown)) +
                L" more failed drafts are not shown here; Kestrow's report on the console lists every one.</p>\n";
    return html;
}

std::wstring FailedExportsSection(const std::vector<ReportSource>& sources) {
    const std::vector<ExportInReport> failed = FailedExports(sources);
    if (failed.empty()) return std::wstring();
    std::wstring html = L"<h2 id=\"failed-exports\">Failed exports <span class=\"count\">" +
                        Number(static_cast<std::int64_t>(failed.size())) +
                        L"</span></h2>\n<p>Their drafts were stored; the files they were to replace are as they "
                        L"were.</p>\n<table><tr><th>Draft</th><th>Format</th><th>To</th><th>Error</th><th>Log</th>"
                        L"<th>At</th></tr>\n";
    for (const ExportInReport& failedExport : failed) {
        const ReportedExport& made = *failedExport.made;
        html += L"<tr>" + Cell(made.file, L"path") + Cell(made.format) + Cell(made.to, L"path") +
                Cell(ErrorText(made.error, made.source, OneLine(made.description)), L"err") +
                Cell(failedExport.source->name) +
                Cell(made.time == kNoTime ? L"" : LocalClockText(made.time, failedExport.run->offsetMinutes)) + L"</tr>\n";
    }
    return html + L"</table>\n";
}

std::wstring DraftTable(const std::wstring& title, const std::vector<DraftInReport>& drafts, bool withFate) {
    if (drafts.empty()) return std::wstring();
    std::wstring html = L"<h2>" + HtmlText(title) + L"</h2>\n<table><tr><th>Draft</th><th>Log</th><th>At</th>"
                        L"<th class=\"n\">Session</th><th class=\"n\">Took</th>" +
                        (withFate ? L"<th>Fate</th>" : L"") + L"</tr>\n";
    for (const DraftInReport& draft : drafts) {
        const bool failed = draft.draft->fate == DraftFate::Failed;
        html += L"<tr>" + Cell(draft.draft->file, L"path") + Cell(draft.source->name) + Cell(TimeOf(draft)) +
                Cell(draft.draft->session ? std::to_wstring(draft.draft->session) : L"", L"n") +
                Cell(draft.draft->seconds > 0 ? Seconds(draft.draft->seconds) : L"", L"n") +
                (withFate ? Cell(failed ? L"failed" : draft.draft->fate == DraftFate::Stored ? L"stored" : L"in hand",
                                 failed ? L"err" : L"")
                          : L"") +
                L"</tr>\n";
    }
    return html + L"</table>\n";
}

const wchar_t* FateText(DraftFate fate) {
    switch (fate) {
        case DraftFate::Stored: return L"stored";
        case DraftFate::Failed: return L"failed";
        case DraftFate::NotReached: return L"not reached";
        case DraftFate::InHand: break;
    }
    return L"in hand";
}

// Every draft of the runs with its fate and its exports, up to `most`.
std::wstring EveryDraftSection(const std::vector<ReportSource>& sources, size_t most) {
    if (most == 0) return std::wstring();
    std::wstring rows;
    std::int64_t all = 0;
    for (const ReportSource& source : sources)
        for (const ReportedRun& run : source.log.runs) {
            std::unordered_map<std::wstring, std::wstring> exportsOf;
            for (const ReportedExport& made : run.exports) {
                std::wstring& text = exportsOf[made.file];
                text += (text.empty() ? L"" : L", ") + made.format + (made.made ? L"" : L" failed");
            }
            for (const ReportedDraft& draft : run.drafts) {
                if (static_cast<size_t>(all++) >= most) continue;
                const bool failed = draft.fate == DraftFate::Failed;
                rows += L"<tr>" + Cell(draft.file, L"path") +
                        Cell(failed ? L"failed: " + ErrorText(draft.error, draft.source, OneLine(draft.description))
                                    : FateText(draft.fate),
                             failed || draft.fate == DraftFate::InHand ? L"err" : L"") +
                        Cell(draft.seconds > 0 ? Seconds(draft.seconds) : L"", L"n") + Cell(exportsOf[draft.file]) +
                        L"</tr>\n";
            }
        }
    if (all == 0) return std::wstring();
    std::wstring html = L"<h2 id=\"drafts\">Every draft <span class=\"count\">" + Number(all) +
                        L"</span></h2>\n<table><tr><th>Draft</th><th>Fate</th><th class=\"n\">Took</th><th>Exports</th>"
                        L"</tr>\n" + rows + L"</table>\n";
    if (static_cast<size_t>(all) > most)
        html += L"<p>" + Number(all - static_cast<std::int64_t>(most)) +
                L" more drafts are not shown here; the log lists every one.</p>\n";
    return html;
}

std::wstring FoldersSection(const std::vector<ReportSource>& sources) {
    std::wstring rows;
    for (const ReportSource& source : sources)
        for (const ReportedRun& run : source.log.runs)
            for (const ReportedFolder& folder : run.unreadable)
                rows += L"<tr>" + Cell(folder.path, L"path") + Cell(OneLine(folder.description)) + Cell(source.name) +
                        L"</tr>\n";
    if (rows.empty()) return std::wstring();
    return L"<h2>Folders that could not be read</h2>\n<table><tr><th>Folder</th><th>Why</th><th>Log</th></tr>\n" + rows +
           L"</table>\n";
}

}  // namespace

std::wstring ReportPage(const std::vector<ReportSource>& sources, RunsToRead which, const PageSetting& setting) {
    const NightTotals totals = TotalsOf(sources);
    std::wstring when = totals.start == kNoTime ? std::wstring(L"no runs yet")
                                                : SpanText(totals.start, totals.end, totals.offsetMinutes,
                                                           static_cast<double>(totals.end - totals.start));
    std::wstring html = L"<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                        L"<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>Kestrow report: " +
                        HtmlText(when) + L"</title>\n<style>" + PageStyle() + L"</style>\n</head>\n<body>\n";
    html += L"<h1>Kestrow report</h1>\n<p class=\"sub\">" + HtmlText(when) + L" \u00B7 " +
            SourcesText(sources) +
            (which == RunsToRead::All ? L", every run" : L", the last run of each") + L"</p>\n";
    html += TotalsSection(sources);
    const std::wstring timeline = TimelineSvg(sources);
    if (!timeline.empty())
        html += L"<h2>The night</h2>\n" + timeline +
                L"<p class=\"legend\"><i style=\"background:#2da44e\"></i>stored<i style=\"background:#cf222e\"></i>"
                L"failed<i style=\"background:#d4a72c\"></i>in hand<i style=\"background:#6639ba\"></i>dialog of "
                L"Solid Edge</p>\n";
    html += L"<h2>Runs</h2>\n" + RunsSection(sources);
    html += FailuresSection(sources, setting);
    html += FailedExportsSection(sources);
    html += DraftTable(L"In hand when the log ends", DraftsWithFate(sources, DraftFate::InHand), false);
    html += EveryDraftSection(sources, setting.everyDraftShown);
    html += DraftTable(L"Slowest drafts", SlowestDrafts(sources, setting.slowestDrafts), true);
    html += FoldersSection(sources);
    html += L"<footer>Made by Kestrow";
    if (const auto made = ParseLogTime(setting.madeAt)) html += L" on " + LocalDateTimeText(*made);
    html += L" from:<br>";
    for (const ReportSource& source : sources) html += HtmlText(source.path) + L"<br>";
    return html + L"</footer>\n</body>\n</html>\n";
}

}  // namespace kestrow
