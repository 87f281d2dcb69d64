#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "common/RuntimeError.h"
#include "form/BatchMessages.h"
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
    EXPECT_EQ(UpdatingStatus(0, 3), L"Updating file 1 of 3...");
    const std::wstring described = DescribeError(RuntimeError(static_cast<std::int32_t>(0x80004005u), L"Srv", L"Boom"));
    EXPECT_NE(described.find(L"0x80004005"), std::wstring::npos);
    EXPECT_NE(described.find(L"Srv"), std::wstring::npos);
    EXPECT_NE(described.find(L"Boom"), std::wstring::npos);
}
