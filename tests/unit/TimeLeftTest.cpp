// How long a batch has left, on a fake clock: in the window's status line
// and on the console; and what /whatif says instead of running.
#include <gtest/gtest.h>

#include "Form1Fixture.h"
#include "batch/TimeLeft.h"
#include "unattended/UnattendedRun.h"
#include "unattended/WhatIf.h"

using namespace kestrow;
using namespace kestrow::testing;
using namespace std::chrono_literals;

namespace {

const TimeLeftEstimate::Clock::time_point kStart{};

struct Lines : RunOutput {
    std::vector<std::wstring> lines;
    void Line(const std::wstring& text) override { lines.push_back(text); }
    void InHand(const DraftRecord&) override {}
    void Row(const DraftRecord&, std::optional<double>) override {}
    void Row(const UnreadableFolder&) override {}
};

}  // namespace

TEST(TimeLeft, FromTheDraftsDoneAndTheSessionsAtWork) {
    TimeLeftEstimate estimate;
    estimate.Start(kStart, 100, 2);
    estimate.DraftDone();
    estimate.DraftDone();
    EXPECT_FALSE(estimate.Left(kStart + 20s));  // two drafts say too little
    for (int i = 0; i < 8; ++i) estimate.DraftDone();
    // 10 drafts in 50 s with two sessions: 10 s of a session each.
    EXPECT_EQ(estimate.Left(kStart + 50s), std::chrono::seconds(450));
    // One session lost: the 90 left take twice as long from here.
    estimate.SessionsAtWork(kStart + 50s, 1);
    EXPECT_EQ(estimate.Left(kStart + 50s), std::chrono::seconds(900));
    // Time without a draft done makes the drafts look dearer.
    EXPECT_EQ(estimate.Left(kStart + 100s), std::chrono::seconds(1350));
}

TEST(TimeLeft, RoundedAsFarAsAnEstimateDeserves) {
    const std::pair<std::chrono::seconds, const wchar_t*> cases[] = {
        {0s, L"less than a minute left"}, {59s, L"less than a minute left"}, {61s, L"1 min left"},
        {9min + 20s, L"9 min left"},      {23min, L"25 min left"},           {58min, L"1 h left"},
        {1h + 17min, L"1 h 20 min left"}, {26h + 4min, L"26 h left"},
    };
    for (const auto& [left, text] : cases) EXPECT_EQ(TimeLeftText(left), text) << left.count();
}

// The status line gains the time left once three drafts are done.
TEST(TimeLeft, TheWindowsStatusLineSaysIt) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"a.dft", L"b.dft", L"c.dft", L"d.dft", L"e.dft"});
    auto now = kStart;
    f.form.SetClock([&] { return now; });
    std::vector<std::wstring> statuses;
    f.server.onCall = [&](const std::wstring& line) {
        if (line.rfind(L"docs get 6", 0) != 0) return;
        statuses.push_back(f.Label1.caption);
        now += 1min;
    };
    f.form.cmdUpdate_Click();
    EXPECT_EQ(statuses, (std::vector<std::wstring>{L"Updating file 1 of 5...", L"Updating file 2 of 5...",
                                                   L"Updating file 3 of 5...",
                                                   L"Updating file 4 of 5... 2 min left",
                                                   L"Updating file 5 of 5... 1 min left"}));
}

// The console says it once three drafts are done, then at most once a
// minute, never after the last draft.
TEST(TimeLeft, TheConsoleSaysItNowAndThen) {
    Lines output;
    UnattendedUser user(output);
    auto now = kStart;
    user.EstimateTimeLeft(2400, 1, [&] { return now; });
    std::vector<size_t> saidAfter;
    for (std::int32_t i = 0; i < 2400; ++i) {
        DraftRecord draft{L"d.dft", L"C:\\D\\d.dft", DraftState::Stored};
        user.DraftStarting(i, 2400, draft);
        now += 2s;
        const size_t before = output.lines.size();
        user.DraftEnded(i, 2400, draft);
        if (output.lines.size() == before + 2) saidAfter.push_back(static_cast<size_t>(i) + 1);
    }
    ASSERT_GE(saidAfter.size(), 3u);
    EXPECT_EQ(saidAfter[0], 3u);
    EXPECT_EQ(saidAfter[1], 33u);  // a minute on
    EXPECT_LT(saidAfter.back(), 2400u);
    EXPECT_EQ(output.lines[3], L"Kestrow: 3 of 2,400 drafts done; at this pace, 1 h 20 min left.");
}

TEST(WhatIf, ListsTheDraftsAndWhyTheRestAreLeft) {
    RunPlan plan;
    plan.run = 4;
    plan.resumes = true;
    plan.toDo = {L"A\\a.dft", L"B\\b.dft"};
    plan.skipped = 3;
    plan.wasInHand = {L"B\\b.dft"};
    WhatIfRequest request;
    request.folder = L"P:\\D\\";
    request.listed = 13;
    request.inShare = 6;
    request.shardIndex = 2;
    request.shardCount = 3;
    request.resume = true;
    request.logRecordsRuns = true;
    request.otherNames = {{L"C\\a link.dft", L"A\\a.dft"}};
    EXPECT_EQ(WhatIfLines(request, plan),
              (std::vector<std::wstring>{
                  L"would update  A\\a.dft",
                  L"would update  C\\a link.dft  (the same file as A\\a.dft: done once, under that name)",
                  L"would update  B\\b.dft  (in hand when the run was cut short)",
                  L"Kestrow would update 2 of the 13 drafts listed in P:\\D\\: 7 are in other shares (this run takes "
                  L"share 2 of 3); 1 is another name of a file listed before, done once under its first name; 3 were "
                  L"stored by run 4 of the log, which this one resumes, and unchanged since.",
                  L"Nothing was started, written or changed."}));

    plan = RunPlan{};
    plan.toDo = {L"a.dft"};
    WhatIfRequest plain;
    plain.folder = L"P:\\D\\";
    plain.listed = plain.inShare = 1;
    plain.resume = true;
    EXPECT_EQ(WhatIfLines(plain, plan).at(1), L"Kestrow would update 1 of the 1 draft listed in P:\\D\\. /resume: the "
                                              L"log records no runs, so every draft is done.");
}
