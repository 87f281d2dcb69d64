// Sessions renewed as planned: after so many drafts, or once the server's
// memory passes a bound; never counted as the server's failure.
#include <gtest/gtest.h>

#include <algorithm>

#include "FakeAutomation.h"
#include "unattended/UnattendedRun.h"

using namespace kestrow;
using namespace kestrow::testing;

namespace {

struct Lines : RunOutput {
    std::vector<std::wstring> lines;
    void Line(const std::wstring& text) override { lines.push_back(text); }
    void InHand(const DraftRecord&) override {}
    void Row(const UnreadableFolder&) override {}
    void Row(const DraftRecord&, std::optional<double>) override {}
};

std::vector<std::wstring> Names(int count) {
    std::vector<std::wstring> names;
    for (int i = 0; i < count; ++i) names.push_back(L"d" + std::to_wstring(i) + L".dft");
    return names;
}

// The journal reduced to what tells sessions apart: "create", "open <name>", "quit".
std::vector<std::wstring> Outline(const FakeServer& server) {
    std::vector<std::wstring> outline;
    for (const auto& line : server.journal) {
        if (line.rfind(L"create ", 0) == 0) outline.push_back(L"create");
        else if (line.rfind(L"docs get 6 ", 0) == 0) outline.push_back(L"open " + line.substr(line.rfind(L'\\') + 1));
        else if (line == L"app call 40") outline.push_back(L"quit");
    }
    return outline;
}

BatchResult RunUnattended(FakeServer& server, int drafts, RenewalPolicy renewal, Lines& output) {
    InlineLauncher launcher(server);
    DraftBatch batch(L"C:\\D\\", Names(drafts), launcher, CallWatch::Policy{});
    batch.SetRenewal(renewal);
    UnattendedUser user(output);
    return batch.Run(user, user);
}

}  // namespace

TEST(Renewal, EveryNDraftsTriedEndsTheSessionAndTheLastDraftStartsNoFreshOne) {
    FakeServer server;
    // d4 fails: a failed draft was tried all the same and counts.
    server.Fail(L"docs get 6 bstrref:C:\\D\\d4.dft", RuntimeError(5, L"Stand-in", L"cannot open"));
    Lines output;
    const BatchResult result = RunUnattended(server, 10, RenewalPolicy{4, 0}, output);
    const std::vector<std::wstring> expected = {
        L"create", L"open d0.dft", L"open d1.dft", L"open d2.dft", L"open d3.dft", L"quit",
        L"create", L"open d4.dft", L"open d5.dft", L"open d6.dft", L"open d7.dft", L"quit",
        L"create", L"open d8.dft", L"open d9.dft", L"quit"};
    EXPECT_EQ(Outline(server), expected);
    EXPECT_EQ(result.end, BatchEnd::Completed);
    EXPECT_EQ(result.Count(DraftState::Stored), 9);
    EXPECT_EQ(std::count_if(output.lines.begin(), output.lines.end(),
                            [](const std::wstring& l) { return l.find(L"as planned (after 4 drafts)") != std::wstring::npos; }),
              2);

    // Exactly n drafts: no renewal after the last one.
    FakeServer exact;
    Lines quiet;
    RunUnattended(exact, 4, RenewalPolicy{4, 0}, quiet);
    EXPECT_EQ(exact.applicationsCreated, 1);
}

TEST(Renewal, AReplacementAfterACrashCountsAnewAndRenewalsAreNoLosses) {
    FakeServer server;
    server.Fail(L"view call 107", RuntimeError(static_cast<std::int32_t>(0x800706BEu), L"", L"gone",
                                               FailureKind::ServerGone),
                1);
    Lines output;
    // d0 loses its server; the fresh session counts d1, d2, d3 and is renewed.
    RunUnattended(server, 6, RenewalPolicy{3, 0}, output);
    const std::vector<std::wstring> expected = {L"create", L"open d0.dft", L"create", L"open d1.dft",
                                                L"open d2.dft", L"open d3.dft", L"quit", L"create",
                                                L"open d4.dft", L"open d5.dft", L"quit"};
    EXPECT_EQ(Outline(server), expected);

    // A session renewed after every draft is never taken for a server that
    // keeps failing.
    FakeServer renewedOften;
    const BatchResult result = RunUnattended(renewedOften, 7, RenewalPolicy{1, 0}, output);
    EXPECT_EQ(result.end, BatchEnd::Completed);
    EXPECT_EQ(result.Count(DraftState::Stored), 7);
    EXPECT_EQ(renewedOften.applicationsCreated, 7);
}

TEST(Renewal, AServerPastItsMemoryBoundIsRenewedBeforeTheNextDraft) {
    FakeServer server;
    constexpr std::uint64_t kMB = 1024 * 1024;
    // Each session grows by 100 MB with every draft it opens.
    server.memory = [&server] {
        const auto& journal = server.journal;
        const auto lastCreate = std::find_if(journal.rbegin(), journal.rend(),
                                             [](const std::wstring& l) { return l.rfind(L"create ", 0) == 0; });
        const auto opened = std::count_if(journal.rbegin(), lastCreate,
                                          [](const std::wstring& l) { return l.rfind(L"docs get 6 ", 0) == 0; });
        return std::optional<std::uint64_t>(static_cast<std::uint64_t>(opened) * 100 * kMB);
    };
    Lines output;
    RunUnattended(server, 7, RenewalPolicy{0, 250 * kMB}, output);
    const std::vector<std::wstring> expected = {L"create", L"open d0.dft", L"open d1.dft", L"open d2.dft", L"quit",
                                                L"create", L"open d3.dft", L"open d4.dft", L"open d5.dft", L"quit",
                                                L"create", L"open d6.dft", L"quit"};
    EXPECT_EQ(Outline(server), expected);
    EXPECT_NE(std::find_if(output.lines.begin(), output.lines.end(),
                           [](const std::wstring& l) { return l.find(L"memory reached 300 MB") != std::wstring::npos; }),
              output.lines.end());

    // A server whose memory cannot be read is never renewed for it.
    FakeServer unreadable;
    RunUnattended(unreadable, 5, RenewalPolicy{0, 1}, output);
    EXPECT_EQ(unreadable.applicationsCreated, 1);
}
