#include <gtest/gtest.h>

#include "Form1Fixture.h"

using namespace kestrow;
using namespace kestrow::testing;

TEST(Form1Browse, ListsDraftsAndEnablesUpdate) {
    Form1Fixture f;
    f.BrowseTo(L"C:\\D", {L"a.dft", L"b.dft"});
    ASSERT_EQ(f.folders.requests.size(), 1u);
    EXPECT_EQ(f.folders.requests[0].prompt, L"Select Draft files folder");
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
    EXPECT_EQ(f.messages.shown[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(f.messages.shown[0].buttons, MessageButtons::Ok);
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
    EXPECT_EQ(f.messages.shown[0].icon, MessageIcon::Information);
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

TEST(Form1Browse, ADialogOpenedFromInsideTheDialogIsIgnored) {
    Form1Fixture f;
    f.directory.listings[L"C:\\A\\*.dft"] = {L"a.dft"};
    f.directory.listings[L"C:\\B\\*.dft"] = {L"b1.dft", L"b2.dft"};
    // While the first dialog is open, a second Browse arrives.
    struct Reentering : FolderPicker {
        Form1* form = nullptr;
        int opened = 0;
        FolderChoice ChooseFolder(const FolderRequest&) override {
            if (++opened == 1) form->cmdBrowse_Click();
            return {FolderChoice::Outcome::Folder, opened == 1 ? L"C:\\A" : L"C:\\B", L"", false};
        }
    } picker;
    Form1Services services{f.messages, picker, f.directory, f.launcher, f.runner, f.taskbar};
    Form1 form{Form1Controls{f.cmdBrowse, f.List1, f.Label1, f.Text1, f.cmdUpdate}, services};
    picker.form = &form;
    form.cmdBrowse_Click();
    EXPECT_EQ(picker.opened, 1);
    EXPECT_EQ(f.List1.rows, std::vector<std::wstring>{L"a.dft"});
    EXPECT_EQ(f.Label1.caption, L"1 file(s) found in :");
}

TEST(Form1Browse, NotAFolderOnDiskAndAnUnreadableFolderAreSaidSo) {
    Form1Fixture f;
    f.folders.results.push_back({FolderChoice::Outcome::NotOnDisk, L"", L"This PC", false});
    f.form.cmdBrowse_Click();
    f.directory.unreadable.insert_or_assign(
        L"C:\\Locked\\*.dft", RuntimeError(static_cast<std::int32_t>(0x80070005u), L"Kestrow", L"Access is denied."));
    f.BrowseTo(L"C:\\Locked", {});
    ASSERT_EQ(f.messages.shown.size(), 2u);
    EXPECT_NE(f.messages.shown[0].text.find(L"\"This PC\" is not a folder on disk"), std::wstring::npos);
    EXPECT_NE(f.messages.shown[1].text.find(L"C:\\Locked\\"), std::wstring::npos);
    EXPECT_NE(f.messages.shown[1].text.find(L"Access is denied."), std::wstring::npos);
    EXPECT_EQ(f.messages.shown[1].icon, MessageIcon::Error);
    EXPECT_EQ(f.Label1.caption, L"");
    EXPECT_EQ(f.Text1.text, L"");
    EXPECT_FALSE(f.cmdUpdate.enabled);
}

TEST(Form1Browse, SubfoldersAreListedByRelativePathAndTheChoiceIsRemembered) {
    Form1Fixture f;
    f.directory.listings[L"C:\\T\\*"] = {L"top.dft", L"A\\", L"notes.txt", L"B\\"};
    f.directory.listings[L"C:\\T\\A\\*"] = {L"a.dft", L"Deep\\"};
    f.directory.listings[L"C:\\T\\A\\Deep\\*"] = {L"d.DFT"};
    f.directory.listings[L"C:\\T\\B\\*"] = {L"b.dft"};
    f.folders.Choose(L"C:\\T", true);
    f.form.cmdBrowse_Click();
    EXPECT_EQ(f.List1.rows, (std::vector<std::wstring>{L"top.dft", L"A\\a.dft", L"A\\Deep\\d.DFT", L"B\\b.dft"}));
    EXPECT_EQ(f.Label1.caption, L"4 file(s) found in :");

    // The next dialog opens at the last folder, the box still ticked.
    f.form.cmdBrowse_Click();
    ASSERT_EQ(f.folders.requests.size(), 2u);
    EXPECT_EQ(f.folders.requests[1].startFolder, L"C:\\T");
    EXPECT_TRUE(f.folders.requests[1].includeSubfolders);
}
