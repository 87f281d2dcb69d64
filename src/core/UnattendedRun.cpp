#include "UnattendedRun.h"

#include <cstdio>

#include "BatchMessages.h"

namespace kestrow {
namespace {

const wchar_t* ResultName(DraftState state) {
    switch (state) {
        case DraftState::Stored: return L"stored";
        case DraftState::Failed: return L"failed";
        case DraftState::NotReached: break;
    }
    return L"not-reached";
}

std::wstring DraftLine(const DraftRecord& draft) {
    std::wstring line = std::wstring(ResultName(draft.state)) + L"  " + draft.name;
    if (draft.state == DraftState::Failed && draft.error) line += L"  (" + DescribeError(*draft.error) + L")";
    return line;
}

}  // namespace

int ExitCodeFor(const BatchResult& result) {
    switch (result.end) {
        case BatchEnd::CadAlreadyRunning:
        case BatchEnd::ServerCouldNotStart:
        case BatchEnd::ServerKeptFailing: return ExitCode::ServerFailed;
        case BatchEnd::Completed:
        case BatchEnd::Cancelled:
        case BatchEnd::Stopped: break;
    }
    return result.Count(DraftState::Stored) == static_cast<std::int32_t>(result.drafts.size())
               ? ExitCode::AllStored
               : ExitCode::SomeNotStored;
}

void UnattendedUser::DraftEnded(std::int32_t, std::int32_t, const DraftRecord& draft) {
    if (draft.state == DraftState::NotReached) return;
    output_.Line(DraftLine(draft));
    output_.Row(draft);
}

int UnattendedUser::Finish(const BatchResult& result, const std::wstring& folder) {
    // Every draft that was reached has had its row as it ended.
    for (const DraftRecord& draft : result.drafts)
        if (draft.state == DraftState::NotReached) output_.Row(draft);

    switch (result.end) {
        case BatchEnd::CadAlreadyRunning:
            output_.Line(std::wstring(L"The CAD system is already running on this computer. Kestrow works in a session of "
                                      L"its own and does not use yours: close the CAD system and run Kestrow again. ") +
                         (result.Count(DraftState::NotReached) < static_cast<std::int32_t>(result.drafts.size())
                              ? L"It was started during the batch, which stopped there."
                              : L"Nothing was changed."));
            break;
        case BatchEnd::ServerCouldNotStart:
            output_.Line(L"The CAD system's automation server could not be started: " + DescribeError(*result.serverError));
            break;
        case BatchEnd::ServerKeptFailing:
            output_.Line(L"The CAD system keeps failing: it stopped on " +
                         std::to_wstring(DraftBatch::kServerLossesInARow) + L" drafts in a row. Last error: " +
                         DescribeError(*result.serverError));
            break;
        case BatchEnd::Completed:
        case BatchEnd::Cancelled:
        case BatchEnd::Stopped: break;
    }
    const std::int32_t listed = static_cast<std::int32_t>(result.drafts.size());
    const std::int32_t failed = result.Count(DraftState::Failed);
    const std::int32_t notReached = result.Count(DraftState::NotReached);
    std::wstring summary = L"Updated " + std::to_wstring(result.Count(DraftState::Stored)) + L" of " +
                           std::to_wstring(listed) + L" files in " + folder;
    if (failed > 0 || notReached > 0)
        summary += L" (" + std::to_wstring(failed) + L" failed, " + std::to_wstring(notReached) + L" not reached)";
    output_.Line(summary + L".");
    return ExitCodeFor(result);
}

std::wstring CsvField(const std::wstring& text) {
    if (text.find_first_of(L",\"\r\n") == std::wstring::npos && (text.empty() || (text.front() != L' ' && text.back() != L' ')))
        return text;
    std::wstring quoted = L"\"";
    for (wchar_t c : text) {
        if (c == L'"') quoted += L'"';
        quoted += c;
    }
    return quoted + L"\"";
}

std::wstring LogHeader() { return L"time,result,file,error,source,description"; }

std::wstring LogRow(const std::wstring& time, const DraftRecord& draft) {
    const bool failed = draft.state == DraftState::Failed && draft.error;
    return CsvField(time) + L"," + ResultName(draft.state) + L"," + CsvField(draft.path) + L"," +
           (failed ? std::to_wstring(draft.error->Number()) : std::wstring()) + L"," +
           (failed ? CsvField(draft.error->Source()) : std::wstring()) + L"," +
           (failed ? CsvField(draft.error->Description()) : std::wstring());
}

std::wstring Iso8601(int year, int month, int day, int hour, int minute, int second, int offsetMinutes) {
    wchar_t text[40];
    const int offset = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    std::swprintf(text, 40, L"%04d-%02d-%02dT%02d:%02d:%02d%lc%02d:%02d", year, month, day, hour, minute, second,
                  static_cast<wint_t>(offsetMinutes < 0 ? L'-' : L'+'), offset / 60, offset % 60);
    return text;
}

}  // namespace kestrow
