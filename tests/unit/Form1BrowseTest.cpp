#include <gtest/gtest.h>

#include "Form1Fixture.h"

using namespace kestrow;
using namespace kestrow::testing;

TEST(Form1Browse, ListsDraftsAndEnablesUpdate) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"a.dft", L"b.dft"});
    EXPECT_EQ(f.folders.prompts, std::vector<std::wstring>{L"Select Draft files folder"});
    EXPECT_EQ(f.List1.rows, (std::vector<std::wstring>{L"a.dft", L"b.dft"}));
    EXPECT_EQ(f.List1.selected, 0);
    EXPECT_EQ(f.Label1.caption, L"2 file(s) found in :");
    EXPECT_EQ(f.Text1.text, L"C:\\D\\");
    EXPECT_TRUE(f.cmdUpdate.enabled);
    EXPECT_EQ(f.form.folderPath, L"C:\\D\\");
    EXPECT_EQ(f.form.fileCount, 2);
    EXPECT_TRUE(f.messages.shown.empty());
}

TEST(Form1Browse, HashInANameStaysOneRow) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\Parts\\", {L"Bracket #2.dft", L"A&B \u03b1\u4e2d.DFT", L"plain.dft"});
    EXPECT_EQ(f.List1.rows, (std::vector<std::wstring>{L"Bracket #2.dft", L"A&B \u03b1\u4e2d.DFT", L"plain.dft"}));
    EXPECT_EQ(f.Label1.caption, L"3 file(s) found in :");
}

TEST(Form1Browse, CancelAfterASuccessfulBrowseClearsTheWindowButKeepsTheList) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"a.dft", L"b.dft", L"c.dft"});
    f.form.cmdBrowse_Click();  // the picker is cancelled
    ASSERT_EQ(f.messages.shown.size(), 1u);
    EXPECT_EQ(f.messages.shown[0].text, L"No folder selected");
    EXPECT_EQ(f.messages.shown[0].code, 48u);
    EXPECT_EQ(f.messages.shown[0].title, L"Kestrow v 1.0");
    EXPECT_TRUE(f.List1.rows.empty());
    EXPECT_EQ(f.Label1.caption, L"");
    EXPECT_EQ(f.Text1.text, L"");
    EXPECT_FALSE(f.cmdUpdate.enabled);
    EXPECT_EQ(f.form.folderPath, L"");
    EXPECT_EQ(f.form.fileList, L"a.dft|b.dft|c.dft");
    EXPECT_EQ(f.form.fileCount, 3);
}

TEST(Form1Browse, FolderWithoutDraftsShowsTheInformationMessage) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"a.dft"});
    f.BrowseTo(L"C:\\Empty", {L"x.dftold"});
    ASSERT_EQ(f.messages.shown.size(), 1u);
    EXPECT_EQ(f.messages.shown[0].text, L"No Draft file(s) in selected folder");
    EXPECT_EQ(f.messages.shown[0].code, 64u);
    EXPECT_TRUE(f.List1.rows.empty());
    EXPECT_EQ(f.Label1.caption, L"");
    EXPECT_EQ(f.Text1.text, L"");
    EXPECT_FALSE(f.cmdUpdate.enabled);
    EXPECT_EQ(f.form.folderPath, L"C:\\Empty\\");
}

TEST(Form1Browse, FortyThousandDraftsAreAllListed) {
    Form1Fixture f;
    std::vector<std::wstring> names;
    for (int i = 0; i < 40000; ++i) names.push_back(L"drawing " + std::to_wstring(i) + L".dft");
    f.BrowseTo(L"C:\\Big", names);
    ASSERT_EQ(f.List1.rows.size(), 40000u);
    EXPECT_EQ(f.List1.rows[39999], L"drawing 39999.dft");
    EXPECT_EQ(f.Label1.caption, L"40000 file(s) found in :");
}
