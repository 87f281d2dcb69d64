// Dialogs the CAD system shows while it opens a drawing: answered by rule,
// left when no rule answers them (the draft then fails, named by its
// dialog), and left once they keep coming back. Each has its log row and
// its picture beside the log.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "MainWindowFixture.h"
#include "RunFixture.h"
#include "automation/DialogPicture.h"
#include "form/BatchRecord.h"
#include "system/KernelHandle.h"
#include "unattended/DialogRows.h"
#include "unattended/RunLog.h"

using namespace kestrow;
using namespace kestrow::wintest;

namespace {

const char* const kMissingReferences = "fault dialog 1 Missing references|Some models were not found.|OK/Cancel\r\n";

std::vector<LoggedRow> DialogRows(const std::vector<LoggedRow>& rows) {
    std::vector<LoggedRow> dialogs;
    std::copy_if(rows.begin(), rows.end(), std::back_inserter(dialogs),
                 [](const LoggedRow& row) { return row.result == L"dialog"; });
    return dialogs;
}

bool IsPng(const std::wstring& path) { return ReadUtf8(path).rfind("\x89PNG\r\n\x1a\n", 0) == 0; }

}  // namespace

using Dialogs = RunTest;

TEST_F(Dialogs, ADialogAnsweredByRuleLetsTheDraftBeStoredWithItsRowAndPicture) {
    const auto drafts = WriteDrafts(2, {{1, kMissingReferences}});
    const ProgramRun run = Update(L"/answer \"Licence*=OK\" /answer \"missing *=Cancel\"");
    EXPECT_EQ(run.exitCode, 0u) << Narrow(run.Text());
    for (const auto& draft : drafts) EXPECT_EQ(StoredCount(draft), 1) << Narrow(draft);
    const auto lines = journal.Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "dialog answered Cancel"), 1);
    const auto dialogs = DialogRows(Log());
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].file, drafts[0]);
    EXPECT_EQ(dialogs[0].source, L"Missing references");
    EXPECT_EQ(dialogs[0].description, L"Some models were not found.");
    EXPECT_EQ(DetailValue(dialogs[0].detail, L"buttons"), L"OK / Cancel");
    EXPECT_EQ(DetailValue(dialogs[0].detail, L"action"), L"pressed Cancel");
    const std::wstring picture = DetailValue(dialogs[0].detail, L"picture");
    EXPECT_EQ(picture.rfind(folder / L"log-dialogs\\d01 ", 0), 0u) << Narrow(picture);
    EXPECT_TRUE(IsPng(picture)) << Narrow(picture);
}

TEST_F(Dialogs, ADialogWithoutARuleFailsThatDraftOnlyAndIsNamedInItsFailure) {
    const auto drafts = WriteDrafts(3, {{2, kMissingReferences}});
    const ProgramRun run = Update(L"/answer \"Licence*=OK\" /timeout 5");
    EXPECT_EQ(run.exitCode, 1u) << Narrow(run.Text());
    EXPECT_EQ(StoredCount(drafts[0]), 1);
    EXPECT_EQ(StoredCount(drafts[1]), 0);
    EXPECT_EQ(StoredCount(drafts[2]), 1);
    const auto rows = Log();
    const auto failed = std::find_if(rows.begin(), rows.end(), [](const LoggedRow& row) { return row.result == L"failed"; });
    ASSERT_NE(failed, rows.end());
    EXPECT_EQ(failed->file, drafts[1]);
    EXPECT_EQ(failed->description.find(L"Solid Edge showed 'Missing references: Some models were not found.' "
                                       L"(picture: " + folder / L"log-dialogs\\d02 "),
              0u)
        << Narrow(failed->description);
    const auto dialogs = DialogRows(rows);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(DetailValue(dialogs[0].detail, L"action"), L"left open: no rule answers it");
    EXPECT_TRUE(IsPng(DetailValue(dialogs[0].detail, L"picture")));
}

// A greyed-out button is pressed by no click, so the rule that names it
// leaves the dialog (a command posted from it would reach the dialog).
TEST_F(Dialogs, ARuleOnADisabledButtonLeavesTheDialogAndTheDraftFailsNamingIt) {
    const auto drafts = WriteDrafts(1, {{1, "fault dialog 1 Missing references|Some models were not found.|!OK/Cancel\r\n"}});
    const ProgramRun run = Update(L"/answer \"Missing*=OK\" /timeout 5");
    EXPECT_EQ(run.exitCode, 1u) << Narrow(run.Text());
    EXPECT_EQ(StoredCount(drafts[0]), 0);
    const auto lines = journal.Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "dialog answered OK"), 0);
    const auto rows = Log();
    const auto dialogs = DialogRows(rows);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(DetailValue(dialogs[0].detail, L"action"), L"left open: its button \"OK\" is disabled");
    const auto failed = std::find_if(rows.begin(), rows.end(), [](const LoggedRow& row) { return row.result == L"failed"; });
    ASSERT_NE(failed, rows.end());
    EXPECT_EQ(failed->description.rfind(L"Solid Edge showed 'Missing references: Some models were not found.'", 0), 0u)
        << Narrow(failed->description);
}

// A dialog that greys its button out only while it gets ready is said once
// as left open, and pressed once the button comes alive.
TEST_F(Dialogs, ARuleOnAButtonGreyedOutAWhileIsPressedOnceItIsEnabled) {
    const auto drafts = WriteDrafts(1, {{1, "fault dialog 1 Missing references|Some models were not found.|~OK/Cancel\r\n"}});
    const ProgramRun run = Update(L"/answer \"Missing*=OK\" /timeout 20");
    EXPECT_EQ(run.exitCode, 0u) << Narrow(run.Text());
    EXPECT_EQ(StoredCount(drafts[0]), 1);
    const auto lines = journal.Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "dialog answered OK"), 1);
    std::vector<std::wstring> actions;
    for (const LoggedRow& row : DialogRows(Log())) actions.push_back(DetailValue(row.detail, L"action"));
    EXPECT_EQ(actions, (std::vector<std::wstring>{L"left open: its button \"OK\" is disabled", L"pressed OK"}));
}

// A box on top of a dialog disables it until that box goes; then the dialog
// below is answered by its rule.
TEST_F(Dialogs, ADialogUnderAnotherBoxIsAnsweredOnceThatBoxIsGone) {
    const auto drafts =
        WriteDrafts(1, {{1, "fault dialog 1 Missing references|Some models were not found.|OK/Cancel|Please wait\r\n"}});
    const ProgramRun run = Update(L"/answer \"Missing*=Cancel\" /timeout 20");
    EXPECT_EQ(run.exitCode, 0u) << Narrow(run.Text());
    EXPECT_EQ(StoredCount(drafts[0]), 1);
    const auto lines = journal.Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "dialog answered Cancel"), 1);
    std::vector<std::wstring> actions;
    for (const LoggedRow& row : DialogRows(Log())) actions.push_back(row.source + L": " + DetailValue(row.detail, L"action"));
    EXPECT_NE(std::find(actions.begin(), actions.end(), L"Missing references: pressed Cancel"), actions.end());
}

TEST_F(Dialogs, ADialogThatKeepsComingBackStopsBeingAnswered) {
    WriteDrafts(1, {{1, "fault dialog 50 Missing references|Some models were not found.|OK\r\n"}});
    const ProgramRun run = Update(L"/answer \"Missing*=OK\" /timeout 15");
    EXPECT_EQ(run.exitCode, 1u) << Narrow(run.Text());
    const auto lines = journal.Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "dialog answered OK"), 10);
    const auto dialogs = DialogRows(Log());
    ASSERT_EQ(dialogs.size(), 11u);
    EXPECT_NE(DetailValue(dialogs.back().detail, L"action").find(L"answered 10 times"), std::wstring::npos);
}

namespace {

// A window on a thread of its own that stops answering once asked to draw
// itself, until released (or a minute has passed).
class WindowThatHangsWhenDrawn {
public:
    WindowThatHangsWhenDrawn() : thread_([this] { Run(); }) {
        while (!window_.load()) Sleep(10);
    }
    ~WindowThatHangsWhenDrawn() {
        SetEvent(release_.get());
        PostMessageW(window_, WM_CLOSE, 0, 0);
        thread_.join();
    }
    HWND Window() const { return window_; }
    // Whether it is (or within `ms` will be) hanging in its drawing.
    bool DrawingWithin(DWORD ms) const {
        for (DWORD waited = 0; !drawing_ && waited < ms; waited += 10) Sleep(10);
        return drawing_;
    }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE)
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        auto* self = reinterpret_cast<WindowThatHangsWhenDrawn*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_PRINT && self) {
            self->drawing_ = true;
            WaitForSingleObject(self->release_.get(), 60000);
            self->drawing_ = false;
        }
        if (message == WM_DESTROY) PostQuitMessage(0);
        return DefWindowProcW(window, message, wParam, lParam);
    }
    void Run() {
        WNDCLASSW kind{};
        kind.lpfnWndProc = Procedure;
        kind.hInstance = GetModuleHandleW(nullptr);
        kind.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
        kind.lpszClassName = L"KestrowTestHangsWhenDrawn";
        RegisterClassW(&kind);
        window_ = CreateWindowExW(0, kind.lpszClassName, L"Hangs when drawn", WS_POPUP | WS_VISIBLE | WS_BORDER, 40,
                                  40, 240, 120, nullptr, nullptr, kind.hInstance, this);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    }

    win32::KernelHandle release_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<HWND> window_{nullptr};
    std::atomic<bool> drawing_{false};
    std::thread thread_;
};

}  // namespace

// A window that stops answering while it draws itself for its picture (as
// a CAD window may, between two messages) holds up nothing: the picture is
// taken from the screen while the window still hangs. The window is this
// process's own: Wine asks no other process's window to draw itself.
TEST(DialogPictures, AWindowThatHangsWhenDrawnIsPicturedFromTheScreenMeanwhile) {
    const WindowThatHangsWhenDrawn hanging;
    TestFolder folder(L"pictures");
    const std::wstring picture = win32::KeepDialogPicture(hanging.Window(), folder.Path(), L"C:\\D\\d01.dft");
    EXPECT_TRUE(hanging.DrawingWithin(10000)) << "the picture was taken only once the window had drawn itself";
    EXPECT_EQ(picture.rfind(folder / L"d01 ", 0), 0u) << Narrow(picture);
    EXPECT_TRUE(IsPng(picture));
}

namespace {

class DialogsInTheWindow : public MainWindowTest {
protected:
    void TearDown() override {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Kestrow", L"Answers");
        EXPECT_TRUE(WaitForNoStandIn(20000)) << "a stand-in server process was left running";
        KillStandIn();
    }
};

}  // namespace

// The window's rules come from the registry; its status line says what was
// done, and the picture is kept beside the window's log of the folder.
TEST_F(DialogsInTheWindow, RulesFromTheRegistryAnswerTheDialogAndTheStatusLineSaysSo) {
    const wchar_t rules[] = L"Licence*=OK\0Missing*=Cancel\0";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Kestrow", L"Answers", REG_MULTI_SZ, rules, sizeof(rules)),
              ERROR_SUCCESS);
    TestFolder folder(L"window dialogs");
    WriteDraft(folder / L"a.dft", 1, kMissingReferences);
    BrowseTo(folder.Path());
    Click(win32::ControlId::cmdUpdate);
    EXPECT_TRUE(PumpUntil([&] { return TextOf(win32::ControlId::Label1) == L"'Missing references': pressed Cancel"; },
                          std::chrono::seconds(30)))
        << Narrow(TextOf(win32::ControlId::Label1));
    ASSERT_TRUE(WaitForBatch());
    EXPECT_EQ(StoredCount(folder / L"a.dft"), 1);
    wchar_t data[MAX_PATH] = L"";
    GetEnvironmentVariableW(L"KESTROW_DATA_FOLDER", data, MAX_PATH);
    const std::wstring log = std::wstring(data) + L"\\Window logs\\" + BatchRecordName(folder.Path());
    const std::wstring pictures = DialogFolderBesideLog(log);
    WIN32_FIND_DATAW found{};
    const HANDLE find = FindFirstFileW((pictures + L"\\a *.png").c_str(), &found);
    ASSERT_NE(find, INVALID_HANDLE_VALUE) << "no picture beside the window's log";
    FindClose(find);
    EXPECT_TRUE(IsPng(pictures + L"\\" + found.cFileName));
}
