#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/CaseFold.h"
#include "common/LongPath.h"
#include "common/RuntimeError.h"
#include "exports/ExportFormats.h"
#include "form/BatchMessages.h"
#include "form/BatchRecord.h"
#include "form/Centring.h"
#include "form/foldbrow.h"

using namespace kestrow;

TEST(Centring, KeepsTheFractionAndAllowsNegativeEdges) {
    const WindowEdges edges = CentreOnScreen(15360.0f, 11520.0f, 7155.0f, 5895.0f);
    EXPECT_FLOAT_EQ(edges.left, 4102.5f);
    EXPECT_FLOAT_EQ(edges.top, 2812.5f);
    const WindowEdges wide = CentreOnScreen(3000.0f, 3000.0f, 4000.0f, 1000.0f);
    EXPECT_FLOAT_EQ(wide.left, -500.0f);
    EXPECT_FLOAT_EQ(wide.top, 1000.0f);
}

TEST(Centring, FloatingPointFaultsRaiseInsteadOfAssigning) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_THROW(CentreOnScreen(inf, 100.0f, inf, 10.0f), RuntimeError);  // inf - inf is invalid
    EXPECT_THROW(CentreOnScreen(100.0f, std::numeric_limits<float>::max(), 10.0f,
                                -std::numeric_limits<float>::max()),
                 RuntimeError);  // the difference overflows
    // A quiet NaN passes through arithmetic without raising the status.
    EXPECT_TRUE(std::isnan(CentreOnScreen(nan, 100.0f, 10.0f, 10.0f).left));
}

// The edges of each run of small letters, where an off-by-one would pair a
// letter with its neighbour; and characters with no capital in the table.
TEST(FoldToUpper, PairsEachSmallLetterWithItsOwnCapital) {
    const std::vector<std::pair<char32_t, char32_t>> pairs = {
        {U'a', U'A'},     {U'z', U'Z'},     {0x00E0, 0x00C0}, {0x00FE, 0x00DE}, {0x00FF, 0x0178}, {0x0101, 0x0100},
        {0x012F, 0x012E}, {0x0133, 0x0132}, {0x0137, 0x0136}, {0x013A, 0x0139}, {0x0148, 0x0147}, {0x014B, 0x014A},
        {0x0177, 0x0176}, {0x017A, 0x0179}, {0x017E, 0x017D}, {0x03B1, 0x0391}, {0x03C2, 0x03A3}, {0x03C9, 0x03A9},
        {0x0430, 0x0410}, {0x044F, 0x042F}, {0x0450, 0x0400}, {0x045F, 0x040F},
    };
    for (const auto& [small, capital] : pairs) {
        EXPECT_EQ(FoldToUpper(small), capital) << std::hex << static_cast<unsigned>(small);
        EXPECT_EQ(FoldToUpper(capital), capital) << std::hex << static_cast<unsigned>(capital);
    }
    for (char32_t unchanged : {U'@', U'{', U'1', char32_t(0x00F7), char32_t(0x00DF), char32_t(0x0138), char32_t(0x0149),
                               char32_t(0x017F), char32_t(0x03AC), char32_t(0x4E2D), char32_t(0x1F600)})
        EXPECT_EQ(FoldToUpper(unchanged), unchanged) << std::hex << static_cast<unsigned>(unchanged);
    EXPECT_TRUE(SameIgnoringCase(L"\u0141\u00D3D\u0179", L"\u0142\u00F3d\u017A"));
    EXPECT_FALSE(SameIgnoringCase(L"Ok", L"OK "));
}

TEST(TrimStringAtNull, CutsAtTheFirstNul) {
    using foldbrow::TrimStringAtNull;
    EXPECT_EQ(TrimStringAtNull(std::wstring(L"abc\0def", 7)), L"abc");
    EXPECT_EQ(TrimStringAtNull(std::wstring(L"\0abc", 4)), L"");
    EXPECT_EQ(TrimStringAtNull(L"no nul"), L"no nul");
    std::wstring far(40000, L' ');
    far += L'\0';
    try {
        TrimStringAtNull(far);
        FAIL() << "no error raised";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number(), ErrorNumber::Overflow);
        EXPECT_EQ(e.Source(), L"FolderBrowse:TrimStringAtNull");
    }
}

TEST(BatchMessages, StatusLinesAndErrorDescriptions) {
    EXPECT_EQ(UpdatedStatus(3, 3), L"Updated 3 files in : ");
    EXPECT_EQ(UpdatedStatus(2, 3), L"Updated 2 of 3 files in : ");
    EXPECT_EQ(UpdatedStatus(3, 3, 6, 0), L"Updated 3 files, 6 exports in : ");
    EXPECT_EQ(UpdatingStatus(0, 3), L"Updating file 1 of 3...");
    EXPECT_EQ(StoppedStatus(1, 2), L"Stopped: 1 updated, 2 not reached, in : ");
    const std::wstring described = DescribeError(RuntimeError(static_cast<std::int32_t>(0x80004005u), L"Srv", L"Boom"));
    EXPECT_NE(described.find(L"0x80004005"), std::wstring::npos);
    EXPECT_NE(described.find(L"Srv"), std::wstring::npos);
    EXPECT_NE(described.find(L"Boom"), std::wstring::npos);
}

TEST(ExportFormats, ParsesACommaListInAnyCaseIntoItsFixedOrder) {
    using F = ExportFormat;
    const std::vector<std::pair<std::wstring, std::optional<std::vector<F>>>> cases = {
        {L"pdf", std::vector<F>{F::Pdf}},
        {L"DXF, pdf", std::vector<F>{F::Pdf, F::Dxf}},
        {L"dwg,Dwg,pdf,dxf", std::vector<F>{F::Pdf, F::Dwg, F::Dxf}},
        {L"  ", std::vector<F>{}},
        {L"pdf,,dxf", std::nullopt},
        {L"pdf,", std::nullopt},
        {L"png", std::nullopt},
        {L".pdf", std::nullopt},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(ParseExportFormats(text), expected) << text;
    EXPECT_EQ(ExportFormatsText(*ParseExportFormats(L"Dxf,PDF")), L"pdf,dxf");
}

// One log a folder: the same folder however written, another folder of the
// same name apart; a drive's root by its letter.
TEST(BatchRecordName, NamesTheFolderAndTellsFoldersOfOneNameApart) {
    const std::wstring name = BatchRecordName(L"D:\\Projects\\Drawings\\");
    EXPECT_EQ(name.rfind(L"Drawings ", 0), 0u);
    EXPECT_EQ(name.size(), std::wstring(L"Drawings 12345678.csv").size());
    // The same file on a file system that ignores case.
    EXPECT_EQ(FoldedPath(BatchRecordName(L"d:\\projects\\DRAWINGS")), FoldedPath(name));
    EXPECT_NE(BatchRecordName(L"E:\\Projects\\Drawings\\"), name);
    EXPECT_EQ(BatchRecordName(L"D:\\").rfind(L"D ", 0), 0u);
}
