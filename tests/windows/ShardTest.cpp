// A tree split across computers: three runs with /shard 1/3, 2/3 and 3/3
// store every draft exactly once, and a draft added later moves no other.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "RunFixture.h"

using namespace kestrow::wintest;

namespace {

// The drafts a run reports as stored ("stored  <relative path>").
std::set<std::wstring> StoredNames(const ProgramRun& run) {
    std::set<std::wstring> names;
    for (const auto& line : run.lines)
        if (line.rfind(L"stored  ", 0) == 0) names.insert(line.substr(8));
    return names;
}

}  // namespace

using Shards = RunTest;

TEST_F(Shards, ThreeSharesStoreEveryDraftOnceAndANewDraftMovesNoOther) {
    std::vector<std::wstring> names;
    for (const wchar_t* sub : {L"Project A", L"project b"}) {
        CreateDirectoryW((folder / sub).c_str(), nullptr);
        for (int i = 0; i < 6; ++i) names.push_back(std::wstring(sub) + L"\\Drawing " + std::to_wstring(i) + L".dft");
    }
    for (const auto& name : names) WriteDraft(folder / name, 1);

    const auto runShares = [&] {
        std::map<std::wstring, int> shareOf;
        for (int index = 1; index <= 3; ++index) {
            const ProgramRun run = Update(L"/subfolders /shard " + std::to_wstring(index) + L"/3", false);
            EXPECT_EQ(run.exitCode, 0u) << Narrow(run.Text());
            for (const auto& name : StoredNames(run)) EXPECT_TRUE(shareOf.emplace(name, index).second) << Narrow(name);
        }
        return shareOf;
    };
    const std::map<std::wstring, int> before = runShares();
    EXPECT_EQ(before.size(), names.size());
    for (const auto& name : names) EXPECT_EQ(StoredCount(folder / name), 1) << Narrow(name);

    WriteDraft(folder / L"Project A\\Added later.dft", 1);
    const std::map<std::wstring, int> after = runShares();
    EXPECT_EQ(after.size(), names.size() + 1);
    for (const auto& [name, index] : before) EXPECT_EQ(after.at(name), index) << Narrow(name);
}
