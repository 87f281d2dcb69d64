#pragma once
// The main window: real controls laid out from the twips table, wired to
// the core's Form1, with the Browse, Update (or Stop), Help and Quit
// handlers. Batches run on a thread of their own; the window keeps
// answering and shows their progress.
#include <windows.h>
#include <shellapi.h>

#include <memory>

#include "automation/SessionThread.h"
#include "copies/CopyKeepingLauncher.h"
#include "files/DraftCopyFolder.h"
#include "files/ExportFilesOnDisk.h"
#include "files/FindFileEnumerator.h"
#include "form/Form1.h"
#include "window/BatchThread.h"
#include "ui/GdiObjects.h"
#include "window/HelpWindow.h"
#include "ui/ShellFolderDialog.h"
#include "window/TaskbarButton.h"
#include "window/WindowBatchLog.h"
#include "window/WindowMenu.h"
#include "ui/Win32Controls.h"
#include "ui/Win32MessageBox.h"
#include "ui/Window.h"

namespace kestrow::win32 {

namespace ControlId {
constexpr int List1 = 100;
constexpr int cmdBrowse = 101;
constexpr int cmdUpdate = 102;
constexpr int Text1 = 103;
constexpr int Label1 = 104;
constexpr int cmdHelp = 105;
constexpr int cmdQuit = 106;
}  // namespace ControlId

// How long a busy server is retried, and how long a call may wait before
// the user is asked whether to keep waiting.
struct BatchTimings {
    DWORD busyRetryMs = 30000;
    DWORD retryIntervalMs = 250;
    DWORD hangPromptMs = 60000;
};

// What a harness may put in place of the real services: a folder picker
// without the modal dialog, and an observer of every call to the server.
struct Form1Overrides {
    FolderPicker* folders = nullptr;
    CallObserver* callObserver = nullptr;
    std::function<void(const std::wstring& page)> openPage;  // instead of the browser
};

class Form1Window : public Window {
public:
    static constexpr int ClientWidthTwips = 3825;
    static constexpr int ClientHeightTwips = 1995;

    explicit Form1Window(BatchTimings timings = {}, Form1Overrides overrides = {});
    ~Form1Window() override;

    // Creates the window and its controls and runs the load handler; the
    // window is not shown yet.
    void Load();
    void Show();

    Form1& Form() { return *form_; }
    HelpWindow* Help() const { return help_.get(); }
    // Dialog-style keyboard handling for this window and the help window.
    bool PreTranslate(MSG& message);
    // Dispatches messages until no batch runs, or for `limitMs` at most.
    void WaitForBatchEnd(DWORD limitMs = INFINITE);

    // The handlers, callable directly as a click would call them.
    void cmdBrowse_Click();
    void cmdUpdate_Click();
    void cmdHelp_Click();
    void cmdQuit_Click();

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept override;
    void OnDestroyed() noexcept override;
    void Form_Load();
    void CreateControls();
    HWND CreateControl(const wchar_t* className, const wchar_t* text, DWORD style, DWORD exStyle, int id, int left,
                       int top, int width, int height);
    void OnCommand(int id, int code);
    // Check Solid Edge..., Settings..., Schedule a night... and the last
    // batch's report of the system menu; false for every other command,
    // which the default handling takes.
    bool OnSystemCommand(UINT command);
    WindowMenuState MenuState();
    void OnDropFiles(HDROP drop);
    void EndIfCloseWasHeld();
    // The Windows session ends: stops a batch as a closed window does.
    void OnSessionEnding();
    void EndProgram();

    BatchTimings timings_;
    Form1Overrides overrides_;
    int dpi_ = 96;
    FontHandle font_;
    Win32Button cmdBrowse_, cmdUpdate_, cmdHelp_, cmdQuit_;
    Win32ListBox List1_;
    Win32Label Label1_;
    Win32TextBox Text1_;
    Win32MessageBox messages_;
    ShellFolderPicker folders_;
    FindFileEnumerator directory_;
    WindowBatchLog log_;
    SessionThreadLauncher servers_;
    DraftCopyFolder copies_;
    CopyKeepingLauncher copyingServers_{servers_, copies_};
    ExportFilesOnDisk exportFiles_;
    TaskbarButton taskbar_;
    std::unique_ptr<BatchThread> runner_;
    std::unique_ptr<Form1> form_;
    std::unique_ptr<HelpWindow> help_;
    bool quitRequested_ = false;
};

}  // namespace kestrow::win32
