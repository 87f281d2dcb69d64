// The stand-in server's draft format: what the fault and storage tests
// under Wine rely on.
#include <gtest/gtest.h>

#include "DraftFile.h"

using namespace standin;

TEST(DraftFile, ParsesViewsFaultsAndKeepsUnknownLines) {
    const auto draft = ParseDraft(
        "KESTROW-DRAFT 1\r\nstored 4\r\nview Front stale\r\nview Top current\r\nfault delay 3000\r\nfault store\r\n"
        "fault teleport\r\nauthor someone\r\n");
    ASSERT_TRUE(draft);
    ASSERT_EQ(draft->views.size(), 2u);
    EXPECT_EQ(draft->views[0].name, "Front");
    EXPECT_FALSE(draft->views[0].current);
    EXPECT_TRUE(draft->views[1].current);
    EXPECT_EQ(draft->stored, 4u);
    EXPECT_TRUE(draft->Has(FaultKind::Delay));
    EXPECT_EQ(draft->Milliseconds(FaultKind::Delay), 3000u);
    EXPECT_TRUE(draft->Has(FaultKind::Store));
    EXPECT_FALSE(draft->Has(FaultKind::Open));
    EXPECT_EQ(draft->otherLines, (std::vector<std::string>{"fault teleport", "author someone"}));
}

TEST(DraftFile, AnythingWithoutTheHeaderIsNotADraft) {
    EXPECT_FALSE(ParseDraft(""));
    EXPECT_FALSE(ParseDraft("PK\x03\x04"));
    EXPECT_FALSE(ParseDraft("view Front stale\r\n"));
    EXPECT_TRUE(ParseDraft("KESTROW-DRAFT 1\n"));
}

TEST(DraftFile, StoringRoundTripsWhatWasRead) {
    auto draft = ParseDraft("KESTROW-DRAFT 1\nstored 0\nview A stale\nview B stale\nfault hang 500\nnote x\n"
                            "fault dialog 3 Missing references|Some models were not found.|OK/Cancel\n");
    ASSERT_TRUE(draft);
    for (auto& view : draft->views) view.current = true;
    ++draft->stored;
    const auto again = ParseDraft(FormatDraft(*draft));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->stored, 1u);
    ASSERT_EQ(again->views.size(), 2u);
    EXPECT_TRUE(again->views[0].current && again->views[1].current);
    EXPECT_EQ(again->Milliseconds(FaultKind::Hang), 500u);
    EXPECT_EQ(again->otherLines, std::vector<std::string>{"note x"});
    ASSERT_TRUE(again->Find(FaultKind::Dialog));
    EXPECT_EQ(again->Find(FaultKind::Dialog)->milliseconds, 3u);
    EXPECT_EQ(again->Find(FaultKind::Dialog)->text, "Missing references|Some models were not found.|OK/Cancel");
}
