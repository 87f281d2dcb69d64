#include <gtest/gtest.h>

#include "common/RuntimeError.h"
#include "Fakes.h"
#include "listing/GCP.h"
#include "listing/WildcardMatch.h"

using namespace kestrow;
using kestrow::testing::FakeDirectory;

TEST(ListFiles, AppendsBackslashOnlyWhenMissingAndJoinsInEnumerationOrder) {
    FakeDirectory dir;
    dir.listings[L"C:\\Work\\*.dft"] = {L"c.dft", L"a.dft", L"b.dft"};
    std::wstring folder = L"C:\\Work";
    EXPECT_EQ(GCP::ListFiles(folder, L"*.dft", L"#", dir), L"c.dft#a.dft#b.dft");
    EXPECT_EQ(folder, L"C:\\Work\\");
    EXPECT_EQ(GCP::ListFiles(folder, L"*.dft", L"#", dir), L"c.dft#a.dft#b.dft");
    EXPECT_EQ(folder, L"C:\\Work\\");

    std::wstring empty;
    EXPECT_EQ(GCP::ListFiles(empty, L"*.dft", L"#", dir), L"");
    EXPECT_EQ(empty, L"\\");
}

TEST(ListFiles, SingleFileNoFilesAndShortAccumulator) {
    FakeDirectory dir;
    dir.listings[L"D:\\one\\*.dft"] = {L"a.dft"};
    dir.listings[L"D:\\x\\*"] = {L"a"};
    std::wstring one = L"D:\\one";
    EXPECT_EQ(GCP::ListFiles(one, L"*.dft", L"#", dir), L"a.dft");
    std::wstring none = L"D:\\none\\";
    EXPECT_EQ(GCP::ListFiles(none, L"*.dft", L"#", dir), L"");
    // A one-character accumulator counts as no listing at all.
    std::wstring x = L"D:\\x";
    EXPECT_EQ(GCP::ListFiles(x, L"*", L"", dir), L"");
}

TEST(ListFiles, RejectsShortNameMatchesAndKeepsAnyCaseOfTheExtension) {
    FakeDirectory dir;
    // What Windows returns for "*.dft" when 8.3 names are on.
    dir.listings[L"C:\\D\\*.dft"] = {L"x.dftold", L"Upper.DFT", L"plain.dft", L"long name.dft.bak", L"Mixed.Dft"};
    std::wstring folder = L"C:\\D";
    EXPECT_EQ(GCP::ListFiles(folder, L"*.dft", L"|", dir), L"Upper.DFT|plain.dft|Mixed.Dft");
}

TEST(WildcardMatch, StarsQuestionMarksAndCase) {
    EXPECT_TRUE(WildcardMatch(L"*.dft", L".dft"));
    EXPECT_TRUE(WildcardMatch(L"*.dft", L"a.b.dft"));
    EXPECT_FALSE(WildcardMatch(L"*.dft", L"a.dft "));
    EXPECT_TRUE(WildcardMatch(L"a?c*", L"ABCdef"));
    EXPECT_FALSE(WildcardMatch(L"a?c", L"ac"));
    EXPECT_TRUE(WildcardMatch(L"*", L""));
    EXPECT_TRUE(WildcardMatch(L"**x", L"aaax"));
    EXPECT_TRUE(WildcardMatch(L"*", L"**"));  // found by the fuzzer
    EXPECT_TRUE(WildcardMatch(L"a*", L"a*b"));
    EXPECT_TRUE(WildcardMatch(L"*.DFT", L"\u0391\u03b2.dft"));
}

TEST(CountOccurrences, CountsOverlappingAndBinary) {
    EXPECT_EQ(GCP::CountOccurrences(L"a.dft#b.dft#c.dft", L"#"), 2);
    EXPECT_EQ(GCP::CountOccurrences(L"aaa", L"aa"), 2);
    EXPECT_EQ(GCP::CountOccurrences(L"", L"#"), 0);
    EXPECT_EQ(GCP::CountOccurrences(L"AbAB", L"ab"), 0);
    EXPECT_EQ(GCP::CountOccurrences(L"ab", L"abc"), 0);
    // Every position matches an empty token.
    EXPECT_EQ(GCP::CountOccurrences(L"abc", L""), 3);
}

TEST(GetField, PicksEntriesAndRepeatsTheLastBeyondTheEnd) {
    const std::wstring list = L"a.dft#b.dft#c.dft";
    EXPECT_EQ(GCP::GetField(list, L"#", 1), L"a.dft");
    EXPECT_EQ(GCP::GetField(list, L"#", 2), L"b.dft");
    EXPECT_EQ(GCP::GetField(list, L"#", 3), L"c.dft");
    EXPECT_EQ(GCP::GetField(list, L"#", 5), L"c.dft");
    EXPECT_EQ(GCP::GetField(L"x#y", L"#!", 1), L"x");
    EXPECT_EQ(GCP::GetField(L"a##b", L"#", 2), L"");
    EXPECT_EQ(GCP::GetField(L"a##b", L"#", 3), L"b");
    EXPECT_EQ(GCP::GetField(L"", L"#", 1), L"");
    EXPECT_EQ(GCP::GetField(L"a#", L"#", 2), L"");
}

TEST(GetField, NameHoldingTheSeparatorSplitsInTwo) {
    const std::wstring list = L"Bracket #2.dft#b.dft";
    EXPECT_EQ(GCP::CountOccurrences(list, L"#") + 1, 3);
    EXPECT_EQ(GCP::GetField(list, L"#", 1), L"Bracket ");
    EXPECT_EQ(GCP::GetField(list, L"#", 2), L"2.dft");
}

TEST(GetField, IndexZeroOrLessIsAnInvalidCall) {
    try {
        GCP::GetField(L"a#b", L"#", 0);
        FAIL() << "no error raised";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number(), ErrorNumber::InvalidProcedureCall);
    }
    EXPECT_THROW(GCP::GetField(L"a#b", L"#", -3), RuntimeError);
}

TEST(GetField, ListsBeyondSixteenBitPositionsWork) {
    // 40,000 names of 9 characters: far past 32,767 characters and entries.
    std::wstring list;
    for (int i = 0; i < 40000; ++i) {
        if (i) list += L'|';
        wchar_t name[16];
        std::swprintf(name, 16, L"f%04d.dft", i % 10000);
        list += name;
    }
    const std::int32_t count = GCP::CountOccurrences(list, L"|") + 1;
    ASSERT_EQ(count, 40000);
    EXPECT_EQ(GCP::GetField(list, L"|", 39999), L"f9998.dft");
    const auto fields = GCP::GetFields(list, L"|", count);
    ASSERT_EQ(fields.size(), 40000u);
    EXPECT_EQ(fields[32767], GCP::GetField(list, L"|", 32768));
    EXPECT_EQ(fields.back(), L"f9999.dft");
}

TEST(GetFields, EqualsGetFieldForEveryIndexIncludingOddSeparators) {
    const std::vector<std::pair<std::wstring, std::wstring>> cases = {
        {L"a#b#c", L"#"}, {L"#a##", L"#"}, {L"", L"#"}, {L"abc", L""}, {L"x#y", L"#!"}, {L"no separators", L"|"}};
    for (const auto& [text, sep] : cases) {
        const auto fields = GCP::GetFields(text, sep, 7);
        ASSERT_EQ(fields.size(), 7u);
        for (std::int32_t i = 1; i <= 7; ++i)
            EXPECT_EQ(fields[static_cast<size_t>(i - 1)], GCP::GetField(text, sep, i)) << "index " << i;
    }
    EXPECT_TRUE(GCP::GetFields(L"a", L"#", 0).empty());
}
