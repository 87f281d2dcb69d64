#include <gtest/gtest.h>

#include "DialogWatcher.h"
#include "MainWindowFixture.h"
#include "TestSupport.h"

using namespace kestrow;
using namespace kestrow::wintest;
using win32::ControlId::cmdBrowse;
using win32::ControlId::cmdUpdate;
using win32::ControlId::Label1;
using win32::ControlId::Text1;

namespace {

class BatchTest : public MainWindowTest {
protected:
    void TearDown() override {
        EXPECT_TRUE(WaitForNoStandIn(10000)) << "a stand-in server process was left running";
        KillStandIn();
    }
    // A Browse through the real folder dialog to `folder`.
    void BrowseTo(const std::wstring& folder) {
        DialogWatcher watcher({Answer{IDOK, folder}});
        Click(cmdBrowse);
        ASSERT_EQ(watcher.Unexpected(), 0);
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

    DialogWatcher none({});
    Click(cmdUpdate);
    EXPECT_EQ(none.Unexpected(), 0);

    // The enumeration order is the file system's; rebuild the expected
    // sequence from the list the window holds.
    std::vector<std::string> expected = {"create", "application put 59 named:-3 VT_BOOL:false",
                                         "application put 18 named:-3 VT_BOOL:false"};
    for (int row = 0; row < 3; ++row) {
        wchar_t name[MAX_PATH];
        SendMessageW(Child(win32::ControlId::List1), LB_GETTEXT, row, reinterpret_cast<LPARAM>(name));
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
