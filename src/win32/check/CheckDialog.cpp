#include "check/CheckDialog.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "batch/AutomationContract.h"
#include "check/CheckFindings.h"
#include "check/CheckOnThisComputer.h"
#include "check/CheckText.h"
#include "resources/DialogIds.h"
#include "ui/GdiObjects.h"
#include "ui/HandlerBoundary.h"
#include "ui/ModalDialog.h"
#include "settings/RegistrySettings.h"
#include "ui/Win32Controls.h"

namespace kestrow::win32 {
namespace {

constexpr UINT kCheckDoneMessage = WM_APP + 1;
constexpr const wchar_t* kTitle = L"Check Solid Edge";

std::wstring Joined(const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (const std::wstring& line : lines) text += line + L"\r\n";
    return text;
}

// A fixed-pitch font, so that the findings' columns line up.
FontHandle ColumnFont(HWND like) {
    LOGFONTW font{};
    if (HFONT shown = reinterpret_cast<HFONT>(SendMessageW(like, WM_GETFONT, 0, 0))) GetObjectW(shown, sizeof(font), &font);
    font.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    wcscpy_s(font.lfFaceName, L"Courier New");
    return FontHandle(CreateFontIndirectW(&font));
}

bool CopyToClipboard(HWND owner, const std::wstring& text) {
    if (!OpenClipboard(owner)) return false;
    EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    bool copied = false;
    if (void* target = memory ? GlobalLock(memory) : nullptr) {
        memcpy(target, text.c_str(), bytes);
        GlobalUnlock(memory);
        copied = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    }
    // Once set, the clipboard owns the memory.
    if (!copied && memory) GlobalFree(memory);
    CloseClipboard();
    return copied;
}

class CheckDialog : public ModalDialog {
public:
    explicit CheckDialog(CheckRequest request) : ModalDialog(IDD_CHECK), request_(std::move(request)) {}
    ~CheckDialog() override {
        if (worker_.joinable()) worker_.join();
    }

private:
    bool OnInit() noexcept override {
        RunHandler(Handle(), kTitle, [this] {
            font_ = ColumnFont(Item(IDC_CHECK_TEXT));
            SendMessageW(Item(IDC_CHECK_TEXT), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
            SetItemText(IDC_CHECK_STATUS, request_.sample.empty()
                                              ? L"Checking Solid Edge, without a sample draft (no folder is listed)..."
                                              : L"Checking Solid Edge with a copy of " + request_.sample + L"...");
            SetItemText(IDC_CHECK_TEXT, CheckIntroLine(contract::kProgId));
            const HWND dialog = Handle();
            worker_ = std::thread([this, dialog] {
                std::wstring text;
                bool canRun = false;
                try {
                    const CheckFacts facts = CheckThisComputer(request_, stop_);
                    const CheckVerdict verdict = JudgeCheck(facts, request_);
                    text = Joined(CheckLines(facts, verdict));
                    canRun = verdict.NightCanRun();
                } catch (const std::exception&) {
                    text = L"Kestrow itself failed while it checked Solid Edge; please report this.";
                }
                {
                    const std::lock_guard<std::mutex> lock(mutex_);
                    result_ = text;
                    nightCanRun_ = canRun;
                }
                // The dialog waits for this before it can end.
                PostMessageW(dialog, kCheckDoneMessage, 0, 0);
            });
        });
        return true;
    }

    bool OnCommand(int id, int) noexcept override {
        if (id == IDC_CHECK_COPY) {
            RunHandler(Handle(), kTitle, [this] { CopyToClipboard(Handle(), ItemText(IDC_CHECK_TEXT)); });
            return true;
        }
        if (id != IDCANCEL) return false;
        // No worker (its thread could not be made): nothing to wait for.
        if (!done_ && worker_.joinable()) {
            // The check stops after the call in hand and ends its session;
            // the dialog closes once it has.
            stop_->store(true);
            closeWhenDone_ = true;
            SetItemText(IDC_CHECK_STATUS, L"Stopping the check: Solid Edge finishes the call in hand and ends...");
            EnableWindow(Item(IDCANCEL), FALSE);
            return true;
        }
        EndDialog(Handle(), IDCANCEL);
        return true;
    }

    bool OnMessage(UINT message, WPARAM, LPARAM) noexcept override {
        if (message != kCheckDoneMessage) return false;
        RunHandler(Handle(), kTitle, [this] { ShowResult(); });
        return true;
    }

    void ShowResult() {
        worker_.join();
        done_ = true;
        if (closeWhenDone_) {
            EndDialog(Handle(), IDCANCEL);
            return;
        }
        const std::lock_guard<std::mutex> lock(mutex_);
        SetItemText(IDC_CHECK_STATUS, nightCanRun_ ? L"A night can run. Select the text and press Ctrl+C, or Copy, to "
                                                     L"keep it."
                                                   : L"A night cannot run: the reasons are below the findings.");
        SetItemText(IDC_CHECK_TEXT, result_);
        EnableWindow(Item(IDC_CHECK_COPY), TRUE);
        SendMessageW(Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_CHECK_TEXT)), TRUE);
        // The dialog manager selects all of an edit it moves the focus to; the
        // caret at the top reads better, and Copy takes the whole text anyway.
        SendMessageW(Item(IDC_CHECK_TEXT), EM_SETSEL, 0, 0);
    }

    CheckRequest request_;
    const std::shared_ptr<std::atomic<bool>> stop_ = std::make_shared<std::atomic<bool>>(false);
    FontHandle font_;
    std::thread worker_;
    std::mutex mutex_;
    std::wstring result_;
    bool nightCanRun_ = false;
    bool done_ = false;
    bool closeWhenDone_ = false;
};

}  // namespace

void ShowCheckDialog(HWND owner, const std::wstring& sample) {
    CheckRequest request;
    request.sample = sample;
    // As Update in the window would: its formats and its answers.
    const BatchSettings settings = ReadBatchSettings();
    request.exports = settings.exports;
    request.answers = settings.answers;
    CheckDialog dialog(std::move(request));
    dialog.Run(owner);
}

}  // namespace kestrow::win32
