#include <gtest/gtest.h>

#include "DialogWatcher.h"
#include "MainWindowFixture.h"
#include "TestSupport.h"

using namespace kestrow;
using namespace kestrow::wintest;
using win32::ControlId::cmdUpdate;
using win32::ControlId::Label1;
using win32::ControlId::Text1;

namespace {

class BatchTest : public MainWindowTest {
protected:
    std::vector<SeenDialog> Update(std::vector<Answer> answers) { return Press(cmdUpdate, std::move(answers)); }
    void TearDown() override {
        EXPECT_TRUE(WaitForNoStandIn(10000)) << "a stand-in server process was left running";
        KillStandIn();
    }
};

std::vector<std::string> WithoutQueries(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const auto& line : lines)
        if (line.rfind("qi ", 0) != 0) out.push_back(line);
    return out;
}

}  // namespace

TEST_F(BatchTest, ThreeFileJournalMatchesTheContractCallForCall) {
    TestFolder folder(L"three");
    WriteDraft(folder / L"a.dft", 2);
    WriteDraft(folder / L"b.dft", 1);
    WriteDraft(folder / L"c.dft", 0);
    Journal journal;
    BrowseTo(folder.Path());
    ASSERT_EQ(TextOf(Label1), L"3 file(s) found in :");

    EXPECT_TRUE(Update({}).empty());

    // The enumeration order is the file system's; rebuild the expected
    // sequence from the list the window holds. Before the contract's first
    // call, the one question a server that COM started gets: its process.
    std::vector<std::string> expected = {"create", "application GetIDsOfNames ProcessID", "application get 1001",
                                         "application put 59 named:-3 VT_BOOL:false",
                                         "application put 18 named:-3 VT_BOOL:false"};
    for (const std::wstring& name : Rows()) {
        const int views = name[0] == L'a' ? 2 : name[0] == L'b' ? 1 : 0;
        expected.push_back("application get 21");
        expected.push_back("documents get 6 VT_BSTR|VT_BYREF:" + Narrow(folder.Path() + L"\\" + name));
        expected.push_back("document get 24677");
        expected.push_back("views get 2");
        for (int i = 1; i <= views; ++i) {
            expected.push_back("views get 0 VT_I2:" + std::to_string(i));
            expected.push_back("view call 107");
        }
        expected.push_back("document call 6 VT_BOOL:true");
    }
    expected.push_back("application call 40");
    EXPECT_EQ(WithoutQueries(journal.Lines()), expected);

    EXPECT_EQ(TextOf(Label1), L"Updated 3 files in : ");
    EXPECT_EQ(TextOf(Text1), folder.Path() + L"\\");
    EXPECT_TRUE(Enabled(Text1));
    for (const wchar_t* name : {L"a.dft", L"b.dft", L"c.dft"}) EXPECT_EQ(StoredCount(folder / name), 1) << Narrow(name);
    EXPECT_TRUE(AllViewsCurrent(folder / L"a.dft"));
}

namespace {

struct ChoiceCase {
    int button;
    const char* name;
};

class FailureChoiceTest : public BatchTest, public ::testing::WithParamInterface<ChoiceCase> {};

}  // namespace

TEST_P(FailureChoiceTest, ABrokenDraftInTheMiddleAndTheUsersChoice) {
    TestFolder folder(L"choice");
    WriteDraft(folder / L"a.dft", 1);
    WriteDraft(folder / L"b.dft", 1);
    WriteDraft(folder / L"c.dft", 1);
    BrowseTo(folder.Path());
    // The middle row of the list, whatever the enumeration order, is broken.
    const auto rows = Rows();
    ASSERT_EQ(rows.size(), 3u);
    WriteUtf8(folder / rows[1], "this is not a draft\r\n");

    const int button = GetParam().button;
    std::vector<Answer> answers = {Answer{button}};
    if (button == IDTRYAGAIN) answers.push_back(Answer{IDCONTINUE});  // it fails again
    answers.push_back(Answer{IDOK});                                  // the summary
    const auto seen = Update(answers);

    ASSERT_EQ(seen.size(), answers.size());
    EXPECT_EQ(seen[0].title, L"Kestrow v 1.0");
    EXPECT_EQ(seen[0].icon, Icon::Exclamation);
    EXPECT_NE(seen[0].text.find(folder / rows[1]), std::wstring::npos);
    EXPECT_NE(seen[0].text.find(L"Kestrow stand-in server"), std::wstring::npos);
    EXPECT_NE(seen[0].text.find(L"Not a draft file"), std::wstring::npos);
    EXPECT_EQ(seen[0].buttons, (std::vector<std::wstring>{L"Cancel", L"&Try Again", L"&Continue"}));
    EXPECT_EQ(seen[0].checkBox, L"&Do the same for the remaining drawings");
    EXPECT_NE(seen.back().text.find(rows[1]), std::wstring::npos);

    EXPECT_EQ(StoredCount(folder / rows[0]), 1);
    EXPECT_EQ(StoredCount(folder / rows[1]), -1);
    const bool goesOn = button != IDCANCEL;
    EXPECT_EQ(StoredCount(folder / rows[2]), goesOn ? 1 : 0);
    EXPECT_EQ(TextOf(Label1), goesOn ? L"Updated 2 of 3 files in : " : L"Stopped: 1 updated, 1 not reached, in : ");
    EXPECT_EQ(TextOf(Text1), folder.Path() + L"\\");
    EXPECT_TRUE(Enabled(Text1));
    EXPECT_TRUE(Enabled(cmdUpdate));
}

INSTANTIATE_TEST_SUITE_P(Choices, FailureChoiceTest,
                         ::testing::Values(ChoiceCase{IDCANCEL, "Cancel"}, ChoiceCase{IDTRYAGAIN, "TryAgain"},
                                           ChoiceCase{IDCONTINUE, "Continue"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A draft whose view update failed is let go by the server, unlocked: it
// can be mended while the failure box is up, and Try Again then opens it
// afresh instead of finding it still open.
TEST_F(BatchTest, TryAgainAfterAFailedViewUpdateStoresTheMendedDraft) {
    TestFolder folder(L"mended");
    WriteDraft(folder / L"only.dft", 2, "fault update\r\n");
    BrowseTo(folder.Path());
    Journal journal;
    bool mended = false;
    DialogWatcher watcher({Answer{IDTRYAGAIN, L"", [&] {
        WriteDraft(folder / L"only.dft", 2);
        mended = ReadUtf8(folder / L"only.dft").find("fault") == std::string::npos;
    }}});
    Click(cmdUpdate);
    ASSERT_TRUE(WaitForBatch());
    EXPECT_EQ(watcher.Seen().size(), 1u);
    EXPECT_TRUE(mended) << "the draft was still locked by the server";
    EXPECT_EQ(StoredCount(folder / L"only.dft"), 1);
    EXPECT_EQ(TextOf(Label1), L"Updated 1 files in : ");
    const auto lines = journal.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "document call 6 VT_BOOL:false"), lines.end());
}

TEST_F(BatchTest, UnicodeFolderAndHashNamesAreStored) {
    TestFolder folder(L"\u03a3\u03c7\u03ad\u03b4\u03b9\u03b1 \u56fe\u7eb8 #7");
    const std::vector<std::wstring> names = {L"Bracket #2.dft", L"\u03a9 part & co.DFT", L"\u8f74.dft"};
    for (const auto& name : names) WriteDraft(folder / name, 2);
    BrowseTo(folder.Path());
    const auto seen = Update({});
    EXPECT_TRUE(seen.empty());
    for (const auto& name : names) {
        EXPECT_EQ(StoredCount(folder / name), 1) << Narrow(name);
        EXPECT_TRUE(AllViewsCurrent(folder / name)) << Narrow(name);
    }
    EXPECT_EQ(TextOf(Label1), L"Updated 3 files in : ");
}

TEST_F(BatchTest, UpdateTwiceRunsTheSameBatchWithANewServer) {
    TestFolder folder(L"twice");
    WriteDraft(folder / L"a.dft", 1);
    BrowseTo(folder.Path());
    Journal journal;
    Update({});
    ASSERT_TRUE(WaitForNoStandIn(10000));
    Update({});
    int created = 0;
    for (const auto& line : journal.Lines()) created += line == "create";
    EXPECT_EQ(created, 2);
    EXPECT_EQ(StoredCount(folder / L"a.dft"), 2);
}
