// A batch in the window is recorded as a night is: a log of its folder in
// Kestrow's data folder, and its report's page on request, from the last
// box or the window's menu.
#include <gtest/gtest.h>

#include "MainWindowFixture.h"
#include "window/WindowMenu.h"

using namespace kestrow;
using namespace kestrow::wintest;
namespace id = kestrow::win32::ControlId;

namespace {

constexpr int kShowReportButton = 101;

class WindowReport : public MainWindowTest {
protected:
    WindowReport() : MainWindowTest({}, Pages()) {}
    win32::Form1Overrides Pages() {
        win32::Form1Overrides overrides;
        overrides.openPage = [this](const std::wstring& page) { opened_.push_back(page); };
        return overrides;
    }
    std::vector<std::wstring> opened_;
};

}  // namespace

TEST_F(WindowReport, TheLastBoxShowsTheReportWhosePageListsEveryDrawingOfTheBatch) {
    TestFolder folder(L"window report");
    WriteDraft(folder / L"a.dft", 2);
    WriteDraft(folder / L"b #2.dft", 1, "fault update\r\n");
    WriteDraft(folder / L"c.dft", 1);
    BrowseTo(folder.Path());
    // Older folders' logs, each a day older than the one before, with their
    // pages and pictures: the oldest go so that 30 folders' logs stay, and
    // nothing else of the folder.
    wchar_t data[MAX_PATH] = L"";
    GetEnvironmentVariableW(L"KESTROW_DATA_FOLDER", data, MAX_PATH);
    const std::wstring logs = std::wstring(data) + L"\\Window logs\\";
    CreateDirectoryW(logs.c_str(), nullptr);
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    for (int age = 1; age <= 31; ++age) {
        const std::wstring old = logs + L"old " + std::to_wstring(age);
        WriteUtf8(old + L".csv", "time,result,file,error,source,description\r\n");
        WriteUtf8(old + L".html", "<!DOCTYPE html>");
        CreateDirectoryW((old + L"-dialogs").c_str(), nullptr);
        WriteUtf8(old + L"-dialogs\\1.png", "png");
        ULARGE_INTEGER time{{now.dwLowDateTime, now.dwHighDateTime}};
        time.QuadPart -= static_cast<ULONGLONG>(age) * 24 * 3600 * 10000000ull;
        const FILETIME written{time.LowPart, time.HighPart};
        const HANDLE file = CreateFileW((old + L".csv").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        SetFileTime(file, nullptr, nullptr, &written);
        CloseHandle(file);
    }
    WriteUtf8(logs + L"notes.txt", "mine");
    Answer last{IDOK};
    last.pressFirst = kShowReportButton;
    const auto seen = Press(id::cmdUpdate, {Answer{IDCONTINUE}, last});
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].buttons, (std::vector<std::wstring>{L"Show the &report", L"OK"}));
    ASSERT_EQ(opened_.size(), 1u);
    const auto exists = [](const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; };
    for (int age = 1; age <= 31; ++age) {
        const std::wstring old = logs + L"old " + std::to_wstring(age);
        for (const wchar_t* part : {L".csv", L".html", L"-dialogs"}) EXPECT_EQ(exists(old + part), age <= 29) << age;
    }
    EXPECT_TRUE(exists(logs + L"notes.txt"));
    EXPECT_EQ(opened_[0].rfind(logs, 0), 0u) << Narrow(opened_[0]);
    const std::wstring log = opened_[0].substr(0, opened_[0].size() - 5) + L".csv";
    EXPECT_NE(GetFileAttributesW(log.c_str()), INVALID_FILE_ATTRIBUTES) << "no log beside the page";
    const std::string page = ReadUtf8(opened_[0]);
    for (const wchar_t* stored : {L"a.dft", L"c.dft"})
        EXPECT_NE(page.find("<td class=\"path\">" + Narrow(folder / stored) + "</td><td>stored</td>"), std::string::npos)
            << Narrow(stored);
    EXPECT_NE(page.find("<td class=\"path\">" + Narrow(folder / L"b #2.dft") + "</td><td class=\"err\">failed: "),
              std::string::npos);

    // Later, from the menu: the same page, made again from the log.
    DeleteFileW(opened_[0].c_str());
    SendMessageW(window_.Handle(), WM_SYSCOMMAND, win32::WindowCommand::Report, 0);
    ASSERT_EQ(opened_.size(), 2u);
    EXPECT_NE(ReadUtf8(opened_[1]).find(Narrow(folder / L"b #2.dft")), std::string::npos);
}
