#include <gtest/gtest.h>

#include "AutomationContract.h"
#include "Form1Fixture.h"

using namespace kestrow;
using namespace kestrow::testing;

namespace {

std::vector<std::wstring> FileCalls(const std::wstring& path, int views) {
    std::vector<std::wstring> calls = {L"app get 21",
                                       L"qi docs",
                                       L"docs get 6 bstrref:" + path,
                                       L"qi doc",
                                       L"doc get 24677",
                                       L"qi views",
                                       L"views get 2"};
    for (int i = 1; i <= views; ++i) {
        calls.push_back(L"views get 0 i2:" + std::to_wstring(i));
        calls.push_back(L"qi view");
        calls.push_back(L"view call 107");
    }
    calls.push_back(L"doc call 6 bool:true");
    return calls;
}

std::vector<std::wstring> BatchCalls(const std::vector<std::pair<std::wstring, int>>& files) {
    std::vector<std::wstring> calls = {L"create SolidEdge.Application", L"qi app", L"app put 59 bool:false",
                                       L"app put 18 bool:false"};
    for (const auto& [path, views] : files) {
        const auto more = FileCalls(path, views);
        calls.insert(calls.end(), more.begin(), more.end());
    }
    calls.push_back(L"app call 40");
    return calls;
}

RuntimeError ServerError() { return RuntimeError(static_cast<std::int32_t>(0x80040001u), L"Stand-in", L"cannot open"); }

}  // namespace

TEST(UpdateDraftFiles, ThreeFilesInListOrderWithTheExactCallSequence) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"a.dft", L"b.dft", L"c.dft"});
    f.server.viewCounts[L"C:\\D\\b.dft"] = 3;

    // While file k runs, row k-1 is selected and its bare name shown.
    std::vector<std::wstring> seenWhileOpening;
    f.server.onCall = [&](const std::wstring& line) {
        if (line.rfind(L"docs get 6", 0) == 0)
            seenWhileOpening.push_back(std::to_wstring(f.List1.selected) + L" " + f.Label1.caption + L" " + f.Text1.text +
                                       (f.Text1.enabled ? L" enabled" : L" disabled"));
    };
    f.form.cmdUpdate_Click();

    EXPECT_EQ(f.server.journal, BatchCalls({{L"C:\\D\\a.dft", 2}, {L"C:\\D\\b.dft", 3}, {L"C:\\D\\c.dft", 2}}));
    EXPECT_EQ(seenWhileOpening, (std::vector<std::wstring>{L"0 Updating file... a.dft disabled",
                                                           L"1 Updating file... b.dft disabled",
                                                           L"2 Updating file... c.dft disabled"}));
    EXPECT_EQ(f.Label1.caption, L"Updated 3 files in : ");
    EXPECT_EQ(f.Text1.text, L"C:\\D\\");
    EXPECT_TRUE(f.Text1.enabled);
    EXPECT_TRUE(f.cmdUpdate.enabled);
    EXPECT_EQ(f.server.liveObjects, 0);
    EXPECT_EQ(f.form.seApp, nullptr);
    EXPECT_EQ(f.form.seDoc, nullptr);
    EXPECT_EQ(f.server.stored.size(), 3u);
    EXPECT_TRUE(f.messages.shown.empty());
}

TEST(UpdateDraftFiles, EmptyViewCollectionIsStoredWithoutViewUpdates) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"empty.dft"});
    f.server.viewCounts[L"C:\\D\\empty.dft"] = 0;
    f.form.cmdUpdate_Click();
    EXPECT_EQ(f.server.journal, BatchCalls({{L"C:\\D\\empty.dft", 0}}));
    EXPECT_EQ(f.Label1.caption, L"Updated 1 files in : ");
}

TEST(UpdateDraftFiles, TwoRunsInARowCreateANewApplicationEachTime) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"a.dft"});
    f.form.cmdUpdate_Click();
    const auto first = f.server.journal;
    f.server.journal.clear();
    f.form.cmdUpdate_Click();
    EXPECT_EQ(f.server.journal, first);
    EXPECT_EQ(f.server.applicationsCreated, 2);
    EXPECT_EQ(f.form.fileCount, 1);
    EXPECT_TRUE(f.cmdUpdate.enabled);
}

TEST(UpdateDraftFiles, MissingServerGivesOneMessageAndChangesNothingElse) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"a.dft"});
    f.server.createFails = true;
    f.form.cmdUpdate_Click();
    ASSERT_EQ(f.messages.shown.size(), 1u);
    EXPECT_NE(f.messages.shown[0].text.find(L"SolidEdge.Application"), std::wstring::npos);
    EXPECT_EQ(f.messages.shown[0].title, L"Kestrow v 1.0");
    EXPECT_EQ(f.Label1.caption, L"1 file(s) found in :");
    EXPECT_EQ(f.Text1.text, L"C:\\D\\");
    EXPECT_TRUE(f.Text1.enabled);
    EXPECT_TRUE(f.cmdUpdate.enabled);
}

TEST(UpdateDraftFiles, WrongApplicationInterfaceIsReportedAndReleased) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"a.dft"});
    f.server.faults.insert_or_assign(L"qi app", FakeServer::Fault{RuntimeError(static_cast<std::int32_t>(0x80004002u), L"", L"No such interface"), 1});
    f.form.cmdUpdate_Click();
    ASSERT_EQ(f.messages.shown.size(), 1u);
    EXPECT_EQ(f.server.liveObjects, 0);
    EXPECT_EQ(f.form.seApp, nullptr);
}

struct FailureChoice {
    int answer;
    std::vector<std::wstring> opened;
    std::wstring status;
    size_t boxes;
};

class UpdateFailureChoice : public ::testing::TestWithParam<FailureChoice> {};

TEST_P(UpdateFailureChoice, MiddleFileFailsOnceAndTheAnswerDecides) {
    const FailureChoice& c = GetParam();
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"a.dft", L"b.dft", L"c.dft"});
    f.server.faults.insert_or_assign(L"docs get 6 bstrref:C:\\D\\b.dft", FakeServer::Fault{ServerError(), 1});
    f.messages.answers = {c.answer};
    f.form.cmdUpdate_Click();

    std::vector<std::wstring> opened;
    for (const auto& line : f.server.journal)
        if (line.rfind(L"docs get 6 ", 0) == 0) opened.push_back(line.substr(19));
    EXPECT_EQ(opened, c.opened);
    ASSERT_EQ(f.messages.shown.size(), c.boxes);
    const ShownMessage& box = f.messages.shown[0];
    EXPECT_EQ(box.code, 0x36u);  // Cancel, Try Again, Continue with the exclamation icon
    EXPECT_EQ(box.title, L"Kestrow v 1.0");
    EXPECT_NE(box.text.find(L"C:\\D\\b.dft"), std::wstring::npos);
    EXPECT_NE(box.text.find(L"0x80040001"), std::wstring::npos);
    EXPECT_NE(box.text.find(L"Stand-in"), std::wstring::npos);
    EXPECT_NE(box.text.find(L"cannot open"), std::wstring::npos);
    EXPECT_EQ(f.Label1.caption, c.status);
    EXPECT_EQ(f.server.journal.back(), L"app call 40");
    EXPECT_EQ(f.server.liveObjects, 0);
    EXPECT_TRUE(f.Text1.enabled);
    EXPECT_EQ(f.Text1.text, L"C:\\D\\");
}

INSTANTIATE_TEST_SUITE_P(
    Choices, UpdateFailureChoice,
    ::testing::Values(
        FailureChoice{MessageAnswer::Cancel, {L"C:\\D\\a.dft", L"C:\\D\\b.dft"}, L"Updated 1 of 3 files in : ", 1},
        FailureChoice{MessageAnswer::TryAgain,
                      {L"C:\\D\\a.dft", L"C:\\D\\b.dft", L"C:\\D\\b.dft", L"C:\\D\\c.dft"},
                      L"Updated 3 files in : ",
                      1},
        FailureChoice{MessageAnswer::Continue,
                      {L"C:\\D\\a.dft", L"C:\\D\\b.dft", L"C:\\D\\c.dft"},
                      L"Updated 2 of 3 files in : ",
                      1}),
    [](const ::testing::TestParamInfo<FailureChoice>& info) {
        switch (info.param.answer) {
            case MessageAnswer::Cancel: return std::string("Cancel");
            case MessageAnswer::TryAgain: return std::string("TryAgain");
            default: return std::string("Continue");
        }
    });

TEST(UpdateDraftFiles, FailuresAtEveryStepOfAFileReachTheFailureBox) {
    const std::vector<std::wstring> steps = {L"app get 21", L"qi docs",   L"docs get 6", L"qi doc",
                                             L"doc get 24677", L"qi views", L"views get 2", L"views get 0 i2:2",
                                             L"qi view",   L"view call 107", L"doc call 6"};
    for (const auto& step : steps) {
        Form1Fixture f;
        f.BrowseTo(L"C:\\D", {L"a.dft"});
        f.server.faults.insert_or_assign(step, FakeServer::Fault{ServerError(), 1});
        f.messages.answers = {MessageAnswer::Continue};
        f.form.cmdUpdate_Click();
        EXPECT_EQ(f.messages.shown.size(), 1u) << "step " << std::string(step.begin(), step.end());
        EXPECT_EQ(f.Label1.caption, L"Updated 0 of 1 files in : ");
        EXPECT_EQ(f.server.journal.back(), L"app call 40");
        EXPECT_EQ(f.server.liveObjects, 0);
        EXPECT_TRUE(f.server.stored.empty());
    }
}

TEST(UpdateDraftFiles, SetupFailureStillEndsTheServer) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"a.dft"});
    f.server.faults.insert_or_assign(L"app put 18", FakeServer::Fault{ServerError(), -1});
    f.form.cmdUpdate_Click();
    ASSERT_EQ(f.messages.shown.size(), 1u);
    EXPECT_EQ(f.server.journal.back(), L"app call 40");
    EXPECT_EQ(f.server.liveObjects, 0);
    EXPECT_EQ(f.Label1.caption, L"1 file(s) found in :");
    EXPECT_TRUE(f.Text1.enabled);
}

TEST(UpdateDraftFiles, ServerThatDiesStopsTheBatchWithOneReport) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"a.dft", L"b.dft", L"c.dft"});
    const RuntimeError gone(static_cast<std::int32_t>(0x800706BAu), L"", L"The RPC server is unavailable.");
    f.server.faults.insert_or_assign(L"docs get 6 bstrref:C:\\D\\b.dft", FakeServer::Fault{gone, -1});
    f.server.faults.insert_or_assign(L"app call 40", FakeServer::Fault{gone, -1});
    f.form.cmdUpdate_Click();
    ASSERT_EQ(f.messages.shown.size(), 1u);
    EXPECT_EQ(f.messages.shown[0].code, 0x10u);
    EXPECT_EQ(f.Label1.caption, L"Updated 1 of 3 files in : ");
    EXPECT_EQ(f.server.liveObjects, 0);
    EXPECT_TRUE(f.Text1.enabled);
}

TEST(UpdateDraftFiles, ViewCountBeyondSixteenBitsIsAClearError) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"huge.dft"});
    f.server.viewCounts[L"C:\\D\\huge.dft"] = 40000;
    f.messages.answers = {MessageAnswer::Continue};
    f.form.cmdUpdate_Click();
    ASSERT_EQ(f.messages.shown.size(), 1u);
    EXPECT_NE(f.messages.shown[0].text.find(L"40000 views"), std::wstring::npos);
    EXPECT_EQ(f.Label1.caption, L"Updated 0 of 1 files in : ");
}

TEST(UpdateDraftFiles, ClicksDuringABatchNeverStartASecondOne) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"a.dft", L"b.dft"});
    f.folders.results.push_back(L"C:\\Other");
    int reentered = 0;
    f.server.onCall = [&](const std::wstring& line) {
        if (line == L"view call 107" && reentered++ == 0) {
            f.form.cmdUpdate_Click();
            f.form.cmdBrowse_Click();
        }
    };
    f.form.cmdUpdate_Click();
    EXPECT_EQ(f.server.applicationsCreated, 1);
    EXPECT_EQ(f.folders.prompts.size(), 1u);
    EXPECT_EQ(f.List1.rows.size(), 2u);
    EXPECT_EQ(f.Label1.caption, L"Updated 2 files in : ");
}

TEST(UpdateDraftFiles, AbandonedServerGetsNoFurtherCalls) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"a.dft", L"b.dft"});
    f.server.onCall = [&](const std::wstring& line) {
        if (line == L"view call 107") {
            f.form.AbandonServer();
            throw RuntimeError(static_cast<std::int32_t>(0x80010002u), L"", L"Call was canceled by the message filter.");
        }
    };
    f.form.cmdUpdate_Click();
    EXPECT_TRUE(f.messages.shown.empty());
    EXPECT_NE(f.server.journal.back(), L"app call 40");
    EXPECT_EQ(f.Label1.caption, L"Updated 0 of 2 files in : ");
    EXPECT_EQ(f.server.liveObjects, 0);
}
