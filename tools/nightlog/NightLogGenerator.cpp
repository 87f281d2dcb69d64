// kestrow_nightlog <log.csv> <machine> <machines> <drafts> <sessions> [cut] [dialogs]
//
// Writes the log one machine of a shared tree keeps over a made-up night,
// row by row as Kestrow writes it (twelve columns, UTF-8 with a byte-order
// mark): two earlier completed runs, then tonight's from 01:00, its drafts
// taken by `sessions` sessions, each draft an in-hand row and its fate.
// About one draft in seventy fails with one of a few errors; about one in
// two hundred meets a dialog of the CAD system, whose picture the row names
// as "<log>-dialogs\<n>.png" beside the log (the pictures are not drawn).
// With "cut", tonight's run never ends: the power went with a draft in
// hand; with "dialogs", every draft meets a dialog. The same arguments
// write the same log.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "report/Html.h"
#include "unattended/RunLog.h"
#include "unattended/UnattendedRun.h"

namespace {

using namespace kestrow;

// A small generator of its own: the same log on every machine and library.
struct Random {
    std::uint64_t state;
    std::uint32_t Next() {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(state >> 33);
    }
    int Between(int low, int high) { return low + static_cast<int>(Next() % static_cast<std::uint32_t>(high - low + 1)); }
};

struct Event {
    std::int64_t at;  // as TimeAt counts
    int order;        // rows at the same second keep their order
    LogRow row;
};

// Seconds from 2026-12-05 00:00, local time at UTC+1.
std::wstring TimeAt(std::int64_t seconds) {
    return Iso8601(2026, 12, 5 + static_cast<int>(seconds / 86400), static_cast<int>(seconds / 3600 % 24),
                   static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60), 60);
}

std::wstring DraftPath(int index) {
    wchar_t path[96];
    std::swprintf(path, 96, L"P:\\Drawings\\Project %02d\\Part %03d\\Drawing %05d.dft", index / 2000, index / 40 % 50,
                  index);
    return path;
}

struct Failure {
    const wchar_t *number, *source, *description;
};
const Failure kFailures[] = {
    {L"-2147467259", L"SolidEdge.Application", L"The file could not be opened: a model it references is missing."},
    {L"-2147023170", L"Kestrow", L"The remote procedure call failed. (the CAD system stopped)"},
    {L"-2147024864", L"Kestrow", L"The process cannot access the file because it is being used by another process."},
};

// One run of `drafts` over `sessions` sessions from `start`; `cut` ends it
// four fifths of the way with a draft in hand and no end row.
void Run(std::vector<Event>& events, std::int64_t run, std::int64_t start, const std::vector<int>& drafts,
         int sessions, bool cut, bool dialogEach, const std::wstring& share, const std::wstring& dialogs,
         Random& random) {
    int order = 0;
    const auto add = [&](std::int64_t at, LogRow row) {
        row.run = std::to_wstring(run);
        events.push_back({at, order++, std::move(row)});
    };
    LogRow marker;
    marker.time = TimeAt(start);
    marker.result = LogResult::RunStart;
    marker.file = L"P:\\Drawings\\";
    marker.description = share;
    add(start, marker);
    std::vector<std::int64_t> free(static_cast<size_t>(sessions));
    for (int s = 0; s < sessions; ++s) free[static_cast<size_t>(s)] = start + 20 + 25 * s;  // starts one after another
    const size_t last = cut ? drafts.size() * 4 / 5 : drafts.size();
    std::int64_t end = start;
    for (size_t i = 0; i < last; ++i) {
        const auto session = std::min_element(free.begin(), free.end());
        const std::int64_t began = *session;
        const int seconds = random.Between(18, 70) + (random.Next() % 40 == 0 ? random.Between(60, 400) : 0);
        LogRow row;
        row.file = DraftPath(drafts[i]);
        row.session = std::to_wstring(session - free.begin() + 1);
        row.time = TimeAt(began);
        row.result = LogResult::InHand;
        add(began, row);
        if (cut && i + 1 == last) {
            end = began;
            break;
        }
        const bool failed = random.Next() % 70 == 0;
        if (random.Next() % 200 == 0 || dialogEach) {
            LogRow dialog = row;
            dialog.time = TimeAt(began + seconds / 2);
            dialog.result = LogResult::Dialog;
            dialog.source = L"Solid Edge";
            dialog.description = L"Some models referenced by this drawing were not found.";
            dialog.detail = FormatDetail({{L"buttons", L"OK / Cancel"},
                                          {L"action", failed ? L"left open" : L"pressed OK"},
                                          {L"picture", dialogs + L"\\" + std::to_wstring(drafts[i]) + L".png"}});
            add(began + seconds / 2, dialog);
        }
        row.time = TimeAt(began + seconds);
        row.seconds = SecondsText(seconds + random.Between(0, 999) / 1000.0);
        if (failed) {
            const Failure& failure = kFailures[random.Next() % 3];
            row.result = LogResult::Failed;
            row.error = failure.number;
            row.source = failure.source;
            row.description = failure.description;
        } else {
            row.result = LogResult::Stored;
            row.size = std::to_wstring(random.Between(40000, 900000));
            row.written = TimeAt(began + seconds - 3600).substr(0, 19) + L".1234567Z";
        }
        add(began + seconds, row);
        *session = began + seconds + random.Between(1, 4);
        end = std::max(end, began + seconds);
    }
    if (cut) return;
    marker.time = TimeAt(end + 2);
    marker.result = LogResult::RunEnd;
    marker.description = kRunCompleted;
    marker.seconds = SecondsText(static_cast<double>(end + 2 - start));
    add(end + 2, marker);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::cerr << "usage: kestrow_nightlog <log.csv> <machine> <machines> <drafts> <sessions> [cut] [dialogs]\n";
        return 2;
    }
    const std::string path = argv[1];
    const int machine = std::atoi(argv[2]), machines = std::atoi(argv[3]), count = std::atoi(argv[4]),
              sessions = std::atoi(argv[5]);
    bool cut = false, dialogEach = false;
    for (int i = 6; i < argc; ++i) {
        cut = cut || std::string(argv[i]) == "cut";
        dialogEach = dialogEach || std::string(argv[i]) == "dialogs";
    }
    if (machine < 1 || machine > machines || count < 1 || sessions < 1) return 2;
    std::vector<int> drafts;
    for (int i = machine - 1; i < count * machines; i += machines) drafts.push_back(i);

    const std::string name = path.substr(path.find_last_of("/\\") + 1);
    const std::wstring stem(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(name.rfind('.')));
    const std::wstring share = machines > 1 ? L"shard " + std::to_wstring(machine) + L"/" + std::to_wstring(machines) : L"";
    Random random{static_cast<std::uint64_t>(machine) * 7919u + static_cast<std::uint64_t>(count)};
    std::vector<Event> events;
    const std::vector<int> earlier(drafts.begin(), drafts.begin() + std::min<std::ptrdiff_t>(50, static_cast<std::ptrdiff_t>(drafts.size())));
    Run(events, 1, 3600, earlier, sessions, false, dialogEach, share, stem + L"-dialogs", random);
    Run(events, 2, 86400 + 3600, earlier, sessions, false, dialogEach, share, stem + L"-dialogs", random);
    Run(events, 3, 2 * 86400 + 3600, drafts, sessions, cut, dialogEach, share, stem + L"-dialogs", random);
    std::stable_sort(events.begin(), events.end(),
                     [](const Event& a, const Event& b) { return a.at != b.at ? a.at < b.at : a.order < b.order; });

    std::ofstream out(path, std::ios::binary);
    out << "\xEF\xBB\xBF" << Utf8Of(LogHeaderFor(LogLayout::WithDetails) + L"\r\n");
    for (const Event& event : events) out << Utf8Of(FormatLogRow(event.row, LogLayout::WithDetails) + L"\r\n");
    return out ? 0 : 1;
}
