#include "window/Form1Window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include "resources/resource.h"
#include "system/DataFolder.h"
#include "system/FullPath.h"
#include "check/CheckDialog.h"
#include "window/ExportMenu.h"
#include "window/WindowMenu.h"
#include "ui/HandlerBoundary.h"
#include "scheduler/NightMenu.h"
#include "settings/RegistrySettings.h"
#include "scheduler/ScheduleDialog.h"
#include "settings/SettingsDialog.h"
#include "ui/Twips.h"

namespace kestrow::win32 {
namespace {

constexpr UINT kReleaseHelpMessage = WM_APP + 1;
constexpr UINT kRunOnThisThreadMessage = WM_APP + 2;
// Windows gives a program about five seconds to answer the end of a
// session before it offers to end it regardless.
constexpr DWORD kSessionEndWaitMs = 4000;

HICON ProgramIcon() {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_KESTROW), IMAGE_ICON, 0, 0,
                                         LR_DEFAULTSIZE | LR_SHARED));
}

// The first folder among the dropped items; "" when there is none.
std::wstring FirstDroppedFolder(HDROP drop) {
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        path.resize(DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
        if (FolderExists(path)) return path;
    }
    return std::wstring();
}

}  // namespace

Form1Window::Form1Window(BatchTimings timings, Form1Overrides overrides)
    : timings_(timings),
      overrides_(overrides),
      log_(overrides.openPage),
      servers_(BusyRetry{timings.busyRetryMs, timings.retryIntervalMs}, overrides.callObserver,
               [this] { return log_.PictureFolder(); }) {
    copies_.SetRunLabel(L"the Kestrow window");
}

Form1Window::~Form1Window() {
    if (form_ && form_->BatchRunning() && Handle()) {
        form_->RequestStopForClosing();
        WaitForBatchEnd();
    }
    help_.reset();
}

void Form1Window::Load() {
    dpi_ = ScreenDpi();
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    RECT frame{0, 0, TwipsToPixels(ClientWidthTwips, dpi_), TwipsToPixels(ClientHeightTwips, dpi_)};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    if (!CreateTopLevel(L"KestrowForm1", Form1::Caption, style, 0, frame.right - frame.left, frame.bottom - frame.top,
                        ProgramIcon()))
        throw RuntimeError(ErrorNumber::OutOfMemory, kProgramSource, L"The main window could not be created");
    messages_.SetOwner(Handle());
    folders_.SetOwner(Handle());
    taskbar_.SetWindow(Handle());
    runner_ = std::make_unique<BatchThread>(UiThreadCalls(Handle(), kRunOnThisThreadMessage));
    CreateControls();
    form_ = std::make_unique<Form1>(
        Form1Controls{cmdBrowse_, List1_, Label1_, Text1_, cmdUpdate_},
        Form1Services{messages_, overrides_.folders ? *overrides_.folders : static_cast<FolderPicker&>(folders_),
                      directory_, copyingServers_, *runner_, taskbar_, &copies_, &exportFiles_, &log_},
        std::chrono::milliseconds(timings_.hangPromptMs), ClickTiming{std::chrono::milliseconds(GetDoubleClickTime())});
    form_->SetBatchEndedHandler([this] {
        if (quitRequested_) EndProgram();
    });
    form_->SetSettingsSource(&ReadBatchSettings);
    DragAcceptFiles(Handle(), TRUE);
    AddWindowMenuItems(Handle());
    Form_Load();
}

void Form1Window::Form_Load() { CentreWindowOnScreen(Handle()); }

void Form1Window::Show() { ShowWindow(Handle(), SW_SHOW); }

HWND Form1Window::CreateControl(const wchar_t* className, const wchar_t* text, DWORD style, DWORD exStyle, int id,
                                int left, int top, int width, int height) {
    HWND control = CreateWindowExW(exStyle, className, text, WS_CHILD | style, TwipsToPixels(left, dpi_),
                                   TwipsToPixels(top, dpi_), TwipsToPixels(width, dpi_), TwipsToPixels(height, dpi_),
                                   Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    if (font_) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    return control;
}

void Form1Window::CreateControls() {
    font_ = CreateMessageFont();
    // Created in tab order: the Z order of siblings is the order Tab walks.
    List1_.Attach(CreateControl(WC_LISTBOXW, L"", WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS, WS_EX_CLIENTEDGE,
                                ControlId::List1, 2040, 120, 495, 255));
    cmdBrowse_.Attach(CreateControl(WC_BUTTONW, L"Br&owse...", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0,
                                    ControlId::cmdBrowse, 120, 120, 1095, 375));
    cmdUpdate_.Attach(CreateControl(WC_BUTTONW, Form1::UpdateCaption,
                                    WS_VISIBLE | WS_TABSTOP | WS_DISABLED | BS_PUSHBUTTON, 0, ControlId::cmdUpdate,
                                    120, 1440, 1335, 495));
    // Read-only: nothing reads what is typed there, but the folder can
    // still be selected and copied.
    Text1_.Attach(CreateControl(WC_EDITW, L"", WS_VISIBLE | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL | ES_READONLY,
                                WS_EX_CLIENTEDGE, ControlId::Text1, 120, 960, 3615, 285));
    Label1_.Attach(CreateControl(WC_STATICW, L"", WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, ControlId::Label1,
                                 120, 600, 3615, 255));
    cmdHelp_.Attach(CreateControl(WC_BUTTONW, L"H&elp", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, ControlId::cmdHelp,
                                  1560, 1440, 1095, 495));
    cmdQuit_.Attach(CreateControl(WC_BUTTONW, L"Q&uit", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, ControlId::cmdQuit,
                                  2760, 1440, 975, 495));
    SetFocus(cmdBrowse_);
}

bool Form1Window::PreTranslate(MSG& message) {
    if (!Handle() || !IsWindowVisible(Handle())) return false;
    // The context-menu key opens the window's menu, as Windows' own handling
    // of the key does (Wine's does not): taken here, it is never handled twice.
    if (message.message == WM_KEYUP && message.wParam == VK_APPS &&
        (message.hwnd == Handle() || IsChild(Handle(), message.hwnd))) {
        SendMessageW(message.hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(message.hwnd), MAKELPARAM(-1, -1));
        return true;
    }
    return IsDialogMessageW(Handle(), &message) != FALSE;
}

void Form1Window::WaitForBatchEnd(DWORD limitMs) {
    const ULONGLONG start = GetTickCount64();
    while (form_ && form_->BatchRunning()) {
        if (limitMs != INFINITE && GetTickCount64() - start >= limitMs) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam));
                return;
            }
            if (PreTranslate(message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

void Form1Window::cmdBrowse_Click() {
    form_->cmdBrowse_Click();
    EndIfCloseWasHeld();
}

void Form1Window::EndIfCloseWasHeld() {
    // A close asked for while a Browse had its dialog or a box up ends the
    // program once they have closed.
    if (quitRequested_ && !form_->Browsing() && !form_->BatchRunning()) EndProgram();
}

void Form1Window::cmdUpdate_Click() { form_->cmdUpdate_Click(); }

void Form1Window::cmdHelp_Click() {
    if (help_) return;
    ShowWindow(Handle(), SW_HIDE);
    help_ = std::make_unique<HelpWindow>(
        [this] {
            ShowWindow(Handle(), SW_SHOW);
            SetForegroundWindow(Handle());
        },
        [this] { PostMessageW(Handle(), kReleaseHelpMessage, 0, 0); });
    try {
        help_->Open();
    } catch (...) {
        help_.reset();
        ShowWindow(Handle(), SW_SHOW);
        throw;
    }
}

void Form1Window::cmdQuit_Click() {
    quitRequested_ = true;
    if (form_->Browsing()) return;  // ends once the dialog has closed
    if (form_->BatchRunning()) {
        // The batch stops after the drawing in hand and the server is told
        // to end its work; the program ends right after.
        form_->RequestStopForClosing();
        return;
    }
    EndProgram();
}

void Form1Window::EndProgram() {
    help_.reset();
    DestroyWindow(Handle());
}

void Form1Window::OnDestroyed() noexcept { PostQuitMessage(0); }

void Form1Window::OnDropFiles(HDROP drop) {
    const std::wstring folder = FirstDroppedFolder(drop);
    DragFinish(drop);
    if (folder.empty() || !IsWindowEnabled(Handle())) return;
    SetForegroundWindow(Handle());
    RunHandler(Handle(), Form1::Caption, [&] {
        form_->BrowseDroppedFolder(folder);
        EndIfCloseWasHeld();
    });
}

void Form1Window::OnSessionEnding() {
    if (!form_->BatchRunning()) return;
    // As for a closed window: the call in hand finishes, the draft in hand
    // is closed, the server is told to end, and nothing more is asked. The
    // session ends soon after this returns, whether the batch is done or
    // not, so the wait is bounded.
    form_->RequestStopForClosing();
    WaitForBatchEnd(kSessionEndWaitMs);
}

WindowMenuState Form1Window::MenuState() {
    WindowMenuState state;
    state.busy = !form_ || form_->BatchRunning() || form_->Browsing() || !IsWindowEnabled(Handle());
    state.reportKnown = form_ && !form_->folderPath.empty() && log_.HasReport(form_->folderPath);
    return state;
}

bool Form1Window::OnSystemCommand(UINT command) {
    if (command != NightMenuCommand::Check && command != NightMenuCommand::Settings &&
        command != NightMenuCommand::Schedule && command != WindowCommand::Report)
        return false;
    // A command may arrive while the menu could not offer it (posted, or
    // while a Browse holds the window disabled): it is passed over then.
    if (form_->BatchRunning() || form_->Browsing() || !IsWindowEnabled(Handle())) return true;
    RunHandler(Handle(), Form1::Caption, [&] {
        if (command == NightMenuCommand::Check)
            ShowCheckDialog(Handle(), form_->FirstListedDraft(), form_->folderPath);
        else if (command == NightMenuCommand::Settings)
            ShowSettingsDialog(Handle());
        else if (command == WindowCommand::Report)
            log_.ShowReport(form_->folderPath);
        else
            ShowScheduleDialog(Handle(), form_->folderPath);
    });
    return true;
}

void Form1Window::OnCommand(int id, int code) {
    if (code != BN_CLICKED) return;
    switch (id) {
        case ControlId::cmdBrowse: RunHandler(Handle(), Form1::Caption, [this] { cmdBrowse_Click(); }); break;
        case ControlId::cmdUpdate: RunHandler(Handle(), Form1::Caption, [this] { cmdUpdate_Click(); }); break;
        case ControlId::cmdHelp: RunHandler(Handle(), Form1::Caption, [this] { cmdHelp_Click(); }); break;
        case ControlId::cmdQuit: RunHandler(Handle(), Form1::Caption, [this] { cmdQuit_Click(); }); break;
        case IDOK: {
            // Enter presses the button that has the focus, as in a dialog.
            HWND focus = GetFocus();
            if (focus && GetParent(focus) == Handle() && IsWindowEnabled(focus))
                OnCommand(GetDlgCtrlID(focus), BN_CLICKED);
            break;
        }
        default: break;
    }
}

LRESULT Form1Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lParam) == static_cast<HWND>(Text1_)) {
                HDC dc = reinterpret_cast<HDC>(wParam);
                SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
                SetTextColor(dc, GetSysColor(IsWindowEnabled(Text1_) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
                return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
            }
            break;
        case WM_INITMENUPOPUP:
            if (HIWORD(lParam)) PrepareWindowMenu(Handle(), MenuState());
            break;
        case WM_CONTEXTMENU:
            RunHandler(Handle(), Form1::Caption, [&] {
                OpenWindowMenu(Handle(), POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, MenuState());
            });
            return 0;
        case WM_SYSCOMMAND: {
            // The low four bits are the system's own.
            const UINT command = static_cast<UINT>(wParam & 0xFFF0);
            if (OnSystemCommand(command)) return 0;
            // A tick that arrives while the menu could not offer it (posted)
            // is passed over as the other items are.
            if (IsExportCommand(command)) {
                if (!MenuState().busy) ToggleExport(Handle(), command);
                return 0;
            }
            break;
        }
        case WM_DROPFILES:
            OnDropFiles(reinterpret_cast<HDROP>(wParam));
            return 0;
        case WM_CLOSE:
            RunHandler(Handle(), Form1::Caption, [this] { cmdQuit_Click(); });
            return 0;
        case WM_QUERYENDSESSION:
            // Never holds the session up; the batch stops once it really ends.
            return TRUE;
        case WM_ENDSESSION:
            if (wParam) RunHandler(Handle(), Form1::Caption, [this] { OnSessionEnding(); });
            return 0;
        case kRunOnThisThreadMessage:
            RunHandler(Handle(), Form1::Caption, [lParam] { UiThreadCalls::Run(lParam); });
            return 0;
        case kReleaseHelpMessage:
            help_.reset();
            return 0;
        default: break;
    }
    return Window::HandleMessage(message, wParam, lParam);
}

}  // namespace kestrow::win32
