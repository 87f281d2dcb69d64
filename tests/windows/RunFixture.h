#pragma once
// One set-up for the tests that run Kestrow.exe from the command line: a
// folder of drafts, the stand-in's journal and settings, the run and its
// log. What a test sets for the stand-in is taken back after it, and no
// stand-in process may outlive it.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace kestrow::wintest {

// One row of a Kestrow log, as written.
struct LoggedRow {
    std::wstring time, result, file, error, source, description, run, seconds, size, written, session, detail;
    size_t columns = 0;
};

// The rows of a log, header and byte-order mark left out; each row's shape
// is checked on the way (as many columns as the header, a local time).
std::vector<LoggedRow> ReadLog(const std::wstring& path, int* headers = nullptr);
// Each file's last result among those that tell a fate, in-hand rows left out.
std::map<std::wstring, std::wstring> Fates(const std::vector<LoggedRow>& rows);

std::wstring Quoted(const std::wstring& text);
bool Contains(const ProgramRun& run, const std::wstring& text);
// How many of `lines` hold `part`.
template <typename Line, typename Part>
long LinesWith(const std::vector<Line>& lines, const Part& part) {
    long count = 0;
    for (const Line& line : lines) count += line.find(part) != Line::npos ? 1 : 0;
    return count;
}
// The drafts the stand-in was asked to open, by file name, in order.
std::vector<std::string> OpenedNames(const std::vector<std::string>& journalLines);
// Kestrow.exe started and left running, for a test to end it.
PROCESS_INFORMATION StartKestrow(const std::wstring& arguments);
// Waits up to five minutes for a started process to end (ends it then),
// lets go of it and returns its exit code.
DWORD WaitForExit(PROCESS_INFORMATION& process);

class RunTest : public ::testing::Test {
public:
    explicit RunTest(const std::wstring& folderName = L"drafts") : folder(folderName), log(folder / L"log.csv") {}
    void TearDown() override;
    // Kestrow.exe /update "<folder>" /log "<log>", started and left running.
    PROCESS_INFORMATION Start() { return StartKestrow(L"/update " + Quoted(folder.Path()) + L" /log " + Quoted(log)); }
    // A stand-in setting for the servers started from now on, until the test ends.
    void SetStandIn(const wchar_t* name, const std::wstring& value);
    // d01.dft, d02.dft, ... with `views` stale views each; `extra` adds
    // lines (faults) to some of them, by number from 1.
    std::vector<std::wstring> WriteDrafts(int count, const std::map<int, std::string>& extra = {}, int views = 1);
    // Kestrow.exe /update "<folder>" <switches> /log "<log>" (without the
    // log when `logged` is false).
    ProgramRun Update(const std::wstring& switches = L"", bool logged = true, DWORD limitMs = 5 * 60 * 1000);
    std::vector<LoggedRow> Log() const { return ReadLog(log); }

    TestFolder folder;
    std::wstring log;
    Journal journal;

private:
    std::vector<std::wstring> settings_;
};

}  // namespace kestrow::wintest
