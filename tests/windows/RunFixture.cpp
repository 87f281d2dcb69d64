#include "RunFixture.h"

#include "unattended/RunLog.h"

namespace kestrow::wintest {

std::vector<LoggedRow> ReadLog(const std::wstring& path, int* headers) {
    std::vector<LoggedRow> rows;
    const std::wstring text = Widen(ReadUtf8(path));
    CsvReader reader(text);
    std::vector<std::wstring> fields;
    size_t columns = 10;
    if (headers) *headers = 0;
    while (reader.Next(fields)) {
        if (!fields.empty() && !fields[0].empty() && fields[0][0] == L'\xFEFF') fields[0].erase(0, 1);
        if (fields.size() >= 6 && fields[0] == L"time" && fields[1] == L"result") {
            columns = fields.size();
            if (headers) ++*headers;
            continue;
        }
        EXPECT_EQ(fields.size(), columns) << Narrow(fields[0]);
        // 2026-12-07T14:03:09+01:00: local time with its offset.
        EXPECT_TRUE(fields[0].size() == 25 && fields[0][10] == L'T' && fields[0][22] == L':') << Narrow(fields[0]);
        fields.resize(std::max<size_t>(fields.size(), 12));
        if (fields[1] == L"stored") EXPECT_TRUE(fields[3].empty()) << Narrow(fields[2]);
        if (fields[1] == L"failed" || fields[1] == L"unreadable") EXPECT_FALSE(fields[3].empty()) << Narrow(fields[2]);
        rows.push_back(LoggedRow{fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], fields[6],
                                 fields[7], fields[8], fields[9], fields[10], fields[11], columns});
    }
    return rows;
}

std::map<std::wstring, std::wstring> Fates(const std::vector<LoggedRow>& rows) {
    std::map<std::wstring, std::wstring> fates;
    for (const LoggedRow& row : rows)
        if (TellsAFate(row.result) && row.result != L"in-hand") fates[row.file] = row.result;
    return fates;
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

bool Contains(const ProgramRun& run, const std::wstring& text) { return run.Text().find(text) != std::wstring::npos; }

std::vector<std::string> OpenedNames(const std::vector<std::string>& journalLines) {
    std::vector<std::string> names;
    for (const auto& line : journalLines) {
        const size_t open = line.find("documents get 6");
        if (open != std::string::npos) names.push_back(line.substr(line.find_last_of('\\') + 1));
    }
    return names;
}

PROCESS_INFORMATION StartKestrow(const std::wstring& arguments) {
    std::wstring command = L"\"" + KestrowExe() + L"\" " + arguments;
    STARTUPINFOW startup{sizeof(startup)};
    PROCESS_INFORMATION process{};
    CreateProcessW(KestrowExe().c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                   &process);
    return process;
}

DWORD WaitForExit(PROCESS_INFORMATION& process) {
    if (WaitForSingleObject(process.hProcess, 5 * 60 * 1000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    process = PROCESS_INFORMATION{};
    return exitCode;
}

void RunTest::TearDown() {
    for (const std::wstring& name : settings_) ClearStandInSetting(name.c_str());
    EXPECT_TRUE(WaitForNoStandIn(20000)) << "a stand-in server process was left running";
    KillStandIn();
}

void RunTest::SetStandIn(const wchar_t* name, const std::wstring& value) {
    SetStandInSetting(name, value);
    settings_.push_back(name);
}

std::vector<std::wstring> RunTest::WriteDrafts(int count, const std::map<int, std::string>& extra, int views) {
    std::vector<std::wstring> paths;
    for (int i = 1; i <= count; ++i) {
        wchar_t name[16];
        swprintf(name, 16, L"d%02d.dft", i);
        paths.push_back(folder / name);
        const auto lines = extra.find(i);
        WriteDraft(paths.back(), views, lines == extra.end() ? "" : lines->second);
    }
    return paths;
}

ProgramRun RunTest::Update(const std::wstring& switches, bool logged, DWORD limitMs) {
    return RunKestrow(L"/update " + Quoted(folder.Path()) + (switches.empty() ? L"" : L" " + switches) +
                          (logged ? L" /log " + Quoted(log) : L""),
                      L"", limitMs);
}

}  // namespace kestrow::wintest
