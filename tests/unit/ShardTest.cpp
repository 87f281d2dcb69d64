// Shares of a tree for several computers: fixed for ever, blind to case and
// to the root the tree is reached by, and stable when drafts come and go.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "common/CaseFold.h"
#include "listing/Shard.h"

using namespace kestrow;

TEST(Shard, TheHashIsTheOneWrittenDownAndNeverChanges) {
    // Computed independently from the README's description of the algorithm.
    EXPECT_EQ(ShardHash(L""), 0xefd01f60ba992926ULL);
    EXPECT_EQ(ShardHash(L"a.dft"), 0x1ef25ec6630a074eULL);
    EXPECT_EQ(ShardHash(L"Sub\\Name.dft"), 0xa975ee3076536b3aULL);
    EXPECT_EQ(ShardHash(L"Gr\u00f6\u00dfe\\\u03a9mega \u0416\u0423\u041a.dft"), 0x8ee998f82d81e1e9ULL);
    // A character beyond the basic plane counts as one character, however
    // wchar_t holds it.
    EXPECT_EQ(ShardHash(L"\U0001F600.dft"), ShardHash(std::wstring(L"\U0001F600") + L".dft"));
}

TEST(Shard, CaseAndSlashesDoNotMatter) {
    EXPECT_EQ(ShardHash(L"sub\\name.DFT"), ShardHash(L"Sub\\Name.dft"));
    EXPECT_EQ(ShardHash(L"Sub/Name.dft"), ShardHash(L"Sub\\Name.dft"));
    EXPECT_EQ(ShardHash(L"\u00e9t\u00e9\\\u0142\u00f3d\u017a \u03c3\u03c2 \u0436\u0451.dft"),
              ShardHash(L"\u00c9T\u00c9\\\u0141\u00d3D\u0179 \u03a3\u03a3 \u0416\u0401.DFT"));
    EXPECT_NE(ShardHash(L"a.dft"), ShardHash(L"b.dft"));
    for (char32_t c = 0; c < 0x500; ++c) EXPECT_EQ(FoldToUpper(FoldToUpper(c)), FoldToUpper(c)) << static_cast<unsigned>(c);
}

TEST(Shard, SharesCoverEveryDraftOnceAndAddingDraftsMovesNoOther) {
    std::vector<std::wstring> names;
    for (int i = 0; i < 3000; ++i) names.push_back(L"Project " + std::to_wstring(i % 7) + L"\\Drawing " + std::to_wstring(i) + L".dft");
    std::map<std::wstring, int> shareOf;
    for (std::int32_t index = 1; index <= 3; ++index)
        for (const auto& name : TakeShard(names, index, 3)) {
            EXPECT_TRUE(shareOf.emplace(name, index).second) << "in two shares";
        }
    EXPECT_EQ(shareOf.size(), names.size());

    std::vector<std::wstring> more = names;
    more.insert(more.begin() + 100, L"Project 1\\New drawing.dft");
    more.erase(more.begin() + 2000);
    for (std::int32_t index = 1; index <= 3; ++index)
        for (const auto& name : TakeShard(more, index, 3))
            if (shareOf.count(name)) EXPECT_EQ(shareOf[name], index) << "moved";

    // Each share keeps the list's order; one share is the whole list.
    const auto first = TakeShard(names, 1, 3);
    EXPECT_TRUE(std::is_sorted(first.begin(), first.end(), [&](const std::wstring& a, const std::wstring& b) {
        return std::find(names.begin(), names.end(), a) < std::find(names.begin(), names.end(), b);
    }));
    EXPECT_EQ(TakeShard(names, 1, 1), names);
}
