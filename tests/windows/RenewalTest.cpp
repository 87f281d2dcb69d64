// Long nights: a session is ended as planned after so many drafts and a
// fresh one takes over, each ended by its last call.
#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace kestrow::wintest;

TEST(Renewal, RestartEveryFourOverTenDraftsUsesThreeSessionsOneAfterTheOther) {
    TestFolder folder(L"renewed");
    for (int i = 0; i < 10; ++i) WriteDraft(folder / (L"d" + std::to_wstring(i) + L".dft"), 1);
    Journal journal;
    const ProgramRun run = RunKestrow(L"/update \"" + folder.Path() + L"\" /restart-every 4");
    EXPECT_EQ(run.exitCode, 0u) << Narrow(run.Text());

    // Each session: created, four drafts at most, then its call 40, before
    // the next is created.
    std::string outline;
    for (const auto& line : journal.Lines()) {
        if (line == "create") outline += "C";
        else if (line.rfind("documents get 6 ", 0) == 0) outline += "o";
        else if (line.rfind("application call 40", 0) == 0) outline += "Q";
    }
    EXPECT_EQ(outline, "CooooQCooooQCooQ");
    for (int i = 0; i < 10; ++i) EXPECT_EQ(StoredCount(folder / (L"d" + std::to_wstring(i) + L".dft")), 1);
    EXPECT_NE(run.Text().find(L"ended the CAD session as planned (after 4 drafts)"), std::wstring::npos);
    EXPECT_TRUE(WaitForNoStandIn(20000)) << "a session was left running";
}
