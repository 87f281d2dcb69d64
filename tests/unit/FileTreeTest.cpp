// Which folders a walk enters, and a tree whose subfolders cannot all be
// read.
#include <gtest/gtest.h>

#include "form/BatchMessages.h"
#include "Form1Fixture.h"
#include "listing/FileTree.h"
#include "listing/FolderEntry.h"

using namespace kestrow;
using namespace kestrow::testing;

namespace {

RuntimeError AccessDenied() { return RuntimeError(static_cast<std::int32_t>(0x80070005u), L"Kestrow", L"Access is denied."); }

}  // namespace

TEST(FolderMayBeEntered, PlainAndCloudFoldersOnlyNeverLinksOrUnknownTags) {
    constexpr std::uint32_t directory = 0x10, reparse = FolderAttribute::ReparsePoint;
    EXPECT_TRUE(FolderMayBeEntered(directory, 0));
    EXPECT_FALSE(FolderMayBeEntered(directory | FolderAttribute::Hidden, 0));
    EXPECT_FALSE(FolderMayBeEntered(directory | FolderAttribute::System, 0));
    // Files-on-demand placeholders: the plain tag and all its variants.
    EXPECT_TRUE(FolderMayBeEntered(directory | reparse, 0x9000001A));
    for (std::uint32_t variant = 1; variant <= 0xF; ++variant)
        EXPECT_TRUE(FolderMayBeEntered(directory | reparse, 0x9000001A | (variant << 12))) << variant;
    EXPECT_FALSE(FolderMayBeEntered(directory | reparse | FolderAttribute::Hidden, 0x9000001A));
    // Junctions, symbolic links, WSL links, tags near the cloud ones, and
    // a reparse point whose tag was not read.
    for (const std::uint32_t tag : {ReparseTag::MountPoint, ReparseTag::Symlink, 0xA000001Du, 0x9000001Bu, 0x9001001Au,
                                    0x1000001Au, 0x8000001Bu, 0u})
        EXPECT_FALSE(FolderMayBeEntered(directory | reparse, tag)) << std::hex << tag;
}

TEST(ListDrafts, NamesInOrderAndUnreadableSubfoldersReportedWhileTheRestIsListed) {
    FakeDirectory directory;
    directory.listings[L"C:\\T\\*.dft"] = {L"one.dft", L"two|x.dft"};
    std::wstring folder = L"C:\\T";
    EXPECT_EQ(ListDrafts(folder, false, directory).names, (std::vector<std::wstring>{L"one.dft", L"two|x.dft"}));
    EXPECT_EQ(folder, L"C:\\T\\");

    directory.listings[L"C:\\T\\*"] = {L"top.dft", L"Locked\\", L"A\\"};
    directory.unreadable.insert_or_assign(L"C:\\T\\Locked\\*", AccessDenied());
    directory.listings[L"C:\\T\\A\\*"] = {L"a.dft", L"Gone\\", L"B\\"};
    directory.unreadable.insert_or_assign(L"C:\\T\\A\\Gone\\*", RuntimeError(-2147024893, L"Kestrow", L"Path not found."));
    directory.listings[L"C:\\T\\A\\B\\*"] = {L"b.dft"};
    const DraftListing tree = ListDrafts(folder, true, directory);
    EXPECT_EQ(tree.names, (std::vector<std::wstring>{L"top.dft", L"A\\a.dft", L"A\\B\\b.dft"}));
    ASSERT_EQ(tree.unreadableFolders.size(), 2u);
    EXPECT_EQ(tree.unreadableFolders[0].path, L"C:\\T\\Locked\\");
    EXPECT_EQ(tree.unreadableFolders[1].path, L"C:\\T\\A\\Gone\\");
    EXPECT_EQ(tree.unreadableFolders[1].error.Number(), -2147024893);
    EXPECT_EQ(JoinNames(tree.names, kDraftSeparator), L"top.dft|A\\a.dft|A\\B\\b.dft");
    EXPECT_EQ(JoinNames({}, kDraftSeparator), L"");

    // The folder asked for unreadable is the caller's to report.
    directory.unreadable.insert_or_assign(L"C:\\T\\*", AccessDenied());
    EXPECT_THROW(ListDrafts(folder, true, directory), RuntimeError);
}

// An enumeration that fails after some entries: none of that folder's
// drafts or subfolders are listed, so that it is either listed or reported.
TEST(ListDrafts, AFolderCutShortIsLeftOutWhole) {
    struct FailsPartWay : FakeDirectory {
        void ForEachEntry(const std::wstring& query,
                          const std::function<void(const std::wstring&, EntryKind)>& onEntry) override {
            if (query == L"C:\\T\\Half\\*") {
                onEntry(L"h.dft", EntryKind::PlainFile);
                onEntry(L"Sub", EntryKind::Folder);
                throw RuntimeError(-2147024858, L"Kestrow", L"The network name is no longer available.");
            }
            FakeDirectory::ForEachEntry(query, onEntry);
        }
    } directory;
    directory.listings[L"C:\\T\\*"] = {L"Half\\", L"top.dft"};
    directory.listings[L"C:\\T\\Half\\Sub\\*"] = {L"s.dft"};
    std::wstring folder = L"C:\\T\\";
    const DraftListing listing = ListFileTree(folder, kDraftPattern, directory);
    EXPECT_EQ(listing.names, std::vector<std::wstring>{L"top.dft"});
    ASSERT_EQ(listing.unreadableFolders.size(), 1u);
    EXPECT_EQ(listing.unreadableFolders[0].path, L"C:\\T\\Half\\");
}

TEST(Form1Browse, UnreadableSubfoldersAreNamedInABoxAfterTheListing) {
    Form1Fixture f;
    f.directory.listings[L"C:\\T\\*"] = {L"top.dft", L"Locked\\"};
    f.directory.unreadable.insert_or_assign(L"C:\\T\\Locked\\*", AccessDenied());
    f.folders.Choose(L"C:\\T", true);
    f.form.cmdBrowse_Click();
    EXPECT_EQ(f.List1.rows, std::vector<std::wstring>{L"top.dft"});
    EXPECT_EQ(f.form.fileList, L"top.dft");
    EXPECT_EQ(f.Label1.caption, L"1 file(s) found in :");
    EXPECT_TRUE(f.cmdUpdate.enabled);
    ASSERT_EQ(f.messages.shown.size(), 1u);
    EXPECT_EQ(f.messages.shown[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(f.messages.shown[0].text, L"1 file(s) were listed, but this folder could not be read, and no drawing "
                                        L"in it is in the list:\n\nC:\\T\\Locked\\ - Error -2147024891 (0x80070005): "
                                        L"Access is denied.");

    // Only unreadable folders: the box, then the usual one about no drafts.
    f.directory.listings[L"C:\\T\\*"] = {L"Locked\\"};
    f.folders.Choose(L"C:\\T", true);
    f.form.cmdBrowse_Click();
    ASSERT_EQ(f.messages.shown.size(), 3u);
    EXPECT_EQ(f.messages.shown[1].text.rfind(L"0 file(s) were listed", 0), 0u);
    EXPECT_EQ(f.messages.shown[2].text, L"No Draft file(s) in selected folder");
    EXPECT_FALSE(f.cmdUpdate.enabled);
}
