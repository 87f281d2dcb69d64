// Runs the Windows tests on one user-interface thread in a single-threaded
// apartment with OLE, as Kestrow itself runs.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "TestSupport.h"

namespace {

// Each test gets a data folder of its own (copies of drafts, records of
// sessions), for Kestrow in this process and every Kestrow.exe it starts:
// what one test leaves there on purpose, such as the copy of a killed run,
// is never taken by the next for its own.
class PrivateDataFolderPerTest : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        folder_ = std::make_unique<kestrow::wintest::TestFolder>(L"data");
        SetEnvironmentVariableW(L"KESTROW_DATA_FOLDER", folder_->Path().c_str());
    }
    void OnTestEnd(const ::testing::TestInfo&) override {
        SetEnvironmentVariableW(L"KESTROW_DATA_FOLDER", nullptr);
        folder_.reset();
    }
    std::unique_ptr<kestrow::wintest::TestFolder> folder_;
};

// "--press-ctrl-c <process id>": Ctrl+C in that process's console, as at its
// keyboard, from a process of its own so that the tests' console stays.
int PressCtrlC(const char* process) {
    FreeConsole();
    if (!AttachConsole(static_cast<DWORD>(std::strtoul(process, nullptr, 10)))) return 1;
    SetConsoleCtrlHandler(nullptr, TRUE);
    const bool pressed = GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
    Sleep(500);  // the event reaches this process too before it ends
    return pressed ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--press-ctrl-c") == 0) return PressCtrlC(argv[2]);
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (FAILED(OleInitialize(nullptr))) return 2;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    // Stand-in settings that an interrupted bench or test left behind would
    // change every server the tests start; each test sets what it needs.
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Kestrow\\StandIn");
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new PrivateDataFolderPerTest);
    const int result = RUN_ALL_TESTS();
    OleUninitialize();
    return result;
}
