#include "Form1Window.h"

#include <commctrl.h>

#include "HandlerBoundary.h"
#include "Heartbeat.h"
#include "Twips.h"
#include "resource.h"

namespace kestrow::win32 {
namespace {

constexpr UINT kReleaseHelpMessage = WM_APP + 1;
constexpr UINT kHeartbeatMessage = WM_APP + 2;

HICON ProgramIcon() {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_KESTROW), IMAGE_ICON, 0, 0,
                                         LR_DEFAULTSIZE | LR_SHARED));
}

}  // namespace

Form1Window::Form1Window(MessageFilterPolicy policy, Form1Overrides overrides)
    : policy_(policy),
      automation_(BusyRetry{policy.busyRetryMs, policy.retryIntervalMs}),
      form_(std::make_unique<Form1>(
          Form1Controls{cmdBrowse_, List1_, Label1_, Text1_, cmdUpdate_},
          Form1Services{messages_, overrides.folders ? *overrides.folders : static_cast<FolderPicker&>(folders_),
                        directory_,
                        overrides.automation ? *overrides.automation : static_cast<AutomationFactory&>(automation_)})) {}

Form1Window::~Form1Window() {
    help_.reset();
    filterRegistration_.reset();
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
    CreateControls();

    filter_ = std::make_unique<MessageFilter>(
        policy_, [this](DWORD seconds) { return AskKeepWaiting(seconds); },
        [this] { form_->AbandonServer(); });
    filterRegistration_ = std::make_unique<MessageFilterRegistration>(filter_.get());
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
    cmdUpdate_.Attach(CreateControl(WC_BUTTONW, L"Up&date", WS_VISIBLE | WS_TABSTOP | WS_DISABLED | BS_PUSHBUTTON, 0,
                                    ControlId::cmdUpdate, 120, 1440, 1335, 495));
    Text1_.Attach(CreateControl(WC_EDITW, L"", WS_VISIBLE | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE,
                                ControlId::Text1, 120, 960, 3615, 285));
    Label1_.Attach(CreateControl(WC_STATICW, L"", WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, ControlId::Label1,
                                 120, 600, 3615, 255));
    cmdHelp_.Attach(CreateControl(WC_BUTTONW, L"H&elp", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, ControlId::cmdHelp,
                                  1560, 1440, 1095, 495));
    cmdQuit_.Attach(CreateControl(WC_BUTTONW, L"Q&uit", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, ControlId::cmdQuit,
                                  2760, 1440, 975, 495));
    SetFocus(cmdBrowse_);
}

bool Form1Window::PreTranslate(MSG& message) {
    if (Handle() && IsWindowVisible(Handle()) && IsDialogMessageW(Handle(), &message)) return true;
    return false;
}

void Form1Window::cmdBrowse_Click() { form_->cmdBrowse_Click(); }

void Form1Window::cmdUpdate_Click() {
    if (form_->BatchRunning()) return;
    Heartbeat heartbeat(Handle(), kHeartbeatMessage, 250);
    filter_->SetAbandoned(false);
    form_->cmdUpdate_Click();
    filter_->SetAbandoned(false);
    if (quitRequested_) EndProgram();
}

void Form1Window::cmdHelp_Click() {
    if (form_->BatchRunning() || help_) return;
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
    if (form_->BatchRunning()) {
        // The batch in progress ends first, so the server is still told to
        // stop and nothing is left running; the program ends right after.
        quitRequested_ = true;
        form_->RequestStop();
        return;
    }
    EndProgram();
}

void Form1Window::EndProgram() {
    help_.reset();
    DestroyWindow(Handle());
}

void Form1Window::OnDestroyed() noexcept { PostQuitMessage(0); }

bool Form1Window::AskKeepWaiting(DWORD secondsWaited) {
    const std::wstring text = L"The CAD system has not answered for " + std::to_wstring(secondsWaited) +
                              L" seconds while working on:\n" + form_->filePath +
                              L"\n\nYes keeps waiting. No stops the batch; this drawing is then not stored.";
    return messages_.Show(text, MB_YESNO | MB_ICONQUESTION, Form1::Caption) == IDYES;
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
        case WM_CLOSE:
            RunHandler(Handle(), Form1::Caption, [this] { cmdQuit_Click(); });
            return 0;
        case kHeartbeatMessage:
            return 0;
        case kReleaseHelpMessage:
            help_.reset();
            return 0;
        default: break;
    }
    return Window::HandleMessage(message, wParam, lParam);
}

}  // namespace kestrow::win32
