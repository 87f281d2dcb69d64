// Kestrow.exe from the command line, as a schedule or a script runs it:
// each exit code, the log against what is really on disk, and a run that
// loses its server twice and still stores every other draft.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "TestSupport.h"

using namespace kestrow::wintest;

namespace {

class Unattended : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_TRUE(WaitForNoStandIn(20000)) << "a stand-in server process was left running";
        KillStandIn();
    }
    static std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }
};

bool Contains(const ProgramRun& run, const std::wstring& text) { return run.Text().find(text) != std::wstring::npos; }

// The fields of one CSV line, quotes undone.
std::vector<std::string> CsvFields(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

// The log's rows as file -> result, checking the header and each row's shape.
std::map<std::wstring, std::wstring> LogResults(const std::wstring& log, int& headers) {
    std::map<std::wstring, std::wstring> results;
    headers = 0;
    std::istringstream in(ReadUtf8(log));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "time,result,file,error,source,description") {
            ++headers;
            continue;
        }
        const auto fields = CsvFields(line);
        EXPECT_EQ(fields.size(), 6u) << line;
        // 2026-12-07T14:03:09+01:00: local time with its offset.
        EXPECT_TRUE(fields[0].size() == 25 && fields[0][10] == 'T' && fields[0][22] == ':') << line;
        EXPECT_EQ(fields[3].empty(), fields[1] != "failed") << line;
        if (fields.size() == 6) results[Widen(fields[2])] = Widen(fields[1]);
    }
    return results;
}

}  // namespace

TEST_F(Unattended, UsageAndBadRequestsTouchNothing) {
    const ProgramRun usage = RunKestrow(L"/?");
    EXPECT_EQ(usage.exitCode, 0u);
    EXPECT_TRUE(Contains(usage, L"Kestrow.exe /update <folder> [/subfolders] [/log <file>] [/timeout <seconds>]"));

    TestFolder folder(L"bad requests");
    WriteDraft(folder / L"a.dft", 1);
    Journal journal;
    const std::vector<std::pair<std::wstring, std::wstring>> cases = {
        {L"/frobnicate", L"Unknown switch: /frobnicate"},
        {L"-update", L"-update needs a value."},
        {L"/update " + Quoted(folder / L"missing"), L"the folder cannot be found"},
        {L"/update " + Quoted(folder / L"a.dft"), L"this is a file, not a folder"},
        {L"/update " + Quoted(folder.Path()) + L" /log " + Quoted(folder / L"no such folder\\run.csv"),
         L"the log cannot be written"},
        {L"/update " + Quoted(folder.Path()) + L" /timeout soon", L"/timeout needs a whole number"},
    };
    for (const auto& [arguments, why] : cases) {
        const ProgramRun run = RunKestrow(arguments);
        EXPECT_EQ(run.exitCode, 3u) << Narrow(arguments);
        EXPECT_TRUE(Contains(run, why)) << Narrow(run.Text());
    }
    EXPECT_TRUE(journal.Lines().empty()) << "a server was started";
    EXPECT_EQ(StoredCount(folder / L"a.dft"), 0);
}

TEST_F(Unattended, ARunOverATreeStoresEveryDraftAndLogsEachOne) {
    TestFolder folder(L"\u03a3\u03c7\u03ad\u03b4\u03b9\u03b1 night run");
    const std::wstring sub = folder / L"Sub dir";
    CreateDirectoryW(sub.c_str(), nullptr);
    const std::vector<std::wstring> drafts = {folder / L"a, b & c.dft", folder / L"b.dft", sub + L"\\c.dft"};
    for (const auto& draft : drafts) WriteDraft(draft, 2);
    const std::wstring log = folder / L"run log.csv";

    // A relative folder is taken from the current directory.
    const std::wstring parent = folder.Path().substr(0, folder.Path().find_last_of(L'\\'));
    const std::wstring relative = folder.Path().substr(parent.size() + 1);
    for (int run = 1; run <= 2; ++run) {
        const ProgramRun result =
            RunKestrow(L"-Update " + Quoted(relative) + L" -SUBFOLDERS /log " + Quoted(log), parent);
        EXPECT_EQ(result.exitCode, 0u) << Narrow(result.Text());
        EXPECT_TRUE(Contains(result, L"stored  Sub dir\\c.dft"));
        EXPECT_TRUE(Contains(result, L"Updated 3 of 3 files in " + folder.Path() + L"\\."));
    }
    int headers = 0;
    const auto results = LogResults(log, headers);
    EXPECT_EQ(headers, 1) << "an existing log gets no second header";
    // Each draft was stored twice, and the log says so: the name with a
    // comma quoted.
    for (const auto& draft : drafts) EXPECT_EQ(StoredCount(draft), 2) << Narrow(draft);
    EXPECT_EQ(results.at(folder / L"a, b & c.dft"), L"stored");
    EXPECT_EQ(results.at(sub + L"\\c.dft"), L"stored");
    EXPECT_EQ(results.size(), 3u);

    TestFolder empty(L"no drafts");
    const ProgramRun none = RunKestrow(L"/update " + Quoted(empty.Path()));
    EXPECT_EQ(none.exitCode, 0u);
    EXPECT_TRUE(Contains(none, L"No Draft file(s) in"));
}

// Twenty drafts: the fifth crashes its server, the twelfth hangs it past
// the timeout, the sixteenth fails on its own. Each of those three costs
// itself only; a fresh server takes the rest.
TEST_F(Unattended, AServerThatCrashesOrHangsCostsOnlyTheDraftInHand) {
    TestFolder folder(L"twenty");
    std::vector<std::wstring> names;
    for (int i = 1; i <= 20; ++i) {
        wchar_t name[16];
        swprintf(name, 16, L"d%02d.dft", i);
        names.push_back(name);
        const std::string fault = i == 5 ? "fault crash\r\n" : i == 12 ? "fault hang 12000\r\n" : i == 16 ? "fault update\r\n" : "";
        WriteDraft(folder / name, 1, fault);
    }
    const std::wstring log = folder / L"log.csv";
    Journal journal;
    const ProgramRun run = RunKestrow(L"/update " + Quoted(folder.Path()) + L" /log " + Quoted(log) + L" /timeout 3");
    // The server given up on was ended then, and the last one at the end.
    EXPECT_EQ(StandInProcessCount(), 0);
    EXPECT_EQ(run.exitCode, 1u) << Narrow(run.Text());
    EXPECT_TRUE(Contains(run, L"Updated 17 of 20 files in"));
    int headers = 0;
    const auto results = LogResults(log, headers);
    ASSERT_EQ(results.size(), 20u);
    for (int i = 1; i <= 20; ++i) {
        const std::wstring path = folder / names[static_cast<size_t>(i - 1)];
        const bool failing = i == 5 || i == 12 || i == 16;
        EXPECT_EQ(results.at(path), failing ? L"failed" : L"stored") << Narrow(path);
        EXPECT_EQ(StoredCount(path), failing ? 0 : 1) << Narrow(path);
    }
    // Three servers: the first crashed, the second was given up, the third
    // ended the run and was the only one told to end.
    const auto lines = journal.Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "create"), 3);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "application call 40"), 1);
}

TEST_F(Unattended, ExitCodeTwoWhenNoSessionOfItsOwnCanBeStarted) {
    TestFolder folder(L"no server");
    WriteDraft(folder / L"a.dft", 1);
    const std::wstring log = folder / L"log.csv";

    // The user's own session runs: it is not used, and nothing is touched.
    Journal journal;
    HANDLE session = StartStandInUserSession();
    ASSERT_NE(session, nullptr);
    const ProgramRun busy = RunKestrow(L"/update " + Quoted(folder.Path()) + L" /log " + Quoted(log));
    TerminateProcess(session, 0);
    WaitForSingleObject(session, 5000);
    CloseHandle(session);
    EXPECT_EQ(busy.exitCode, 2u);
    EXPECT_TRUE(Contains(busy, L"already running"));
    EXPECT_EQ(journal.Lines(), std::vector<std::string>{"user session"});

    // No server is registered at all.
    UnregisteredStandIn unregistered;
    const ProgramRun none = RunKestrow(L"/update " + Quoted(folder.Path()) + L" /log " + Quoted(log));
    EXPECT_EQ(none.exitCode, 2u);
    EXPECT_TRUE(Contains(none, L"could not be started"));
    int headers = 0;
    EXPECT_EQ(LogResults(log, headers).at(folder / L"a.dft"), L"not-reached");
    EXPECT_EQ(StoredCount(folder / L"a.dft"), 0);
}
