#include "check/CheckDialog.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "server/AutomationContract.h"
#include "check/CheckFindings.h"
#include "check/CheckOnThisComputer.h"
#include "check/CheckText.h"
#include "resources/DialogIds.h"
#include "settings/RegistrySettings.h"
#include "settings/SettingsStore.h"
#include "ui/HandlerBoundary.h"
#include "ui/ModalDialog.h"
#include "ui/OpenFileDialog.h"
#include "ui/ReportList.h"
#include "ui/Win32Controls.h"

namespace kestrow::win32 {
namespace {

constexpr UINT kCheckDoneMessage = WM_APP + 1;
constexpr const wchar_t* kTitle = L"Check Solid Edge";

std::wstring Joined(const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (const std::wstring& line : lines) text += (text.empty() ? L"" : L"\r\n") + line;
    return text;
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

// What the check found, handed from its thread to the dialog's.
struct CheckOutcome {
    CheckFacts facts;
    CheckVerdict verdict;
    std::wstring failure;  // Kestrow's own, when it could not check
};

class CheckDialog : public ModalDialog {
public:
    explicit CheckDialog(CheckRequest request) : ModalDialog(IDD_CHECK), request_(std::move(request)) {}
    ~CheckDialog() override {
        if (worker_.joinable()) worker_.join();
    }

private:
    bool OnInit() noexcept override {
        RunHandler(Handle(), kTitle, [this] {
            AddListColumns(Item(IDC_CHECK_LIST), {L"Status", L"Step", L"Figure", L"Finding"});
            SetItemText(IDC_CHECK_STATUS, request_.sample.empty()
                                              ? L"Checking Solid Edge, without a sample draft..."
                                              : L"Checking Solid Edge with a copy of " + request_.sample + L"...");
            SetItemText(IDC_CHECK_TEXT, CheckIntroLine(contract::kProgId));
            const HWND dialog = Handle();
            worker_ = std::thread([this, dialog] {
                auto outcome = std::make_unique<CheckOutcome>();
                try {
                    outcome->facts = CheckThisComputer(request_, stop_);
                    outcome->verdict = JudgeCheck(outcome->facts, request_);
                } catch (const std::exception&) {
                    outcome->failure = L"Kestrow itself failed while it checked Solid Edge; please report this.";
                }
                {
                    const std::lock_guard<std::mutex> lock(mutex_);
                    outcome_ = std::move(outcome);
                }
                // The dialog waits for this before it can end.
                PostMessageW(dialog, kCheckDoneMessage, 0, 0);
            });
        });
        return true;
    }

    bool OnCommand(int id, int) noexcept override {
        if (id == IDC_CHECK_COPY) {
            RunHandler(Handle(), kTitle, [this] { CopyToClipboard(Handle(), whole_); });
            return true;
        }
        if (id == IDC_CHECK_USE) {
            RunHandler(Handle(), kTitle, [this] { UseTheseSettings(); });
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

    bool OnMessage(UINT message, WPARAM, LPARAM lParam) noexcept override {
        if (message == kCheckDoneMessage) {
            RunHandler(Handle(), kTitle, [this] { ShowResult(); });
            return true;
        }
        if (message != WM_NOTIFY) return false;
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_CHECK_LIST && header->code == LVN_ITEMCHANGED) ShowSelectedFinding();
        return false;
    }

    void ShowResult() {
        worker_.join();
        done_ = true;
        if (closeWhenDone_) {
            EndDialog(Handle(), IDCANCEL);
            return;
        }
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            outcome_.swap(shown_);
        }
        if (!shown_->failure.empty()) {
            SetItemText(IDC_CHECK_STATUS, shown_->failure);
            SetItemText(IDC_CHECK_TEXT, L"");
            return;
        }
        const CheckVerdict& verdict = shown_->verdict;
        whole_ = Joined(CheckLines(shown_->facts, verdict));
        FillList(verdict.findings);
        SetItemText(IDC_CHECK_STATUS, verdict.NightCanRun() ? L"A night can run. Select a finding to read it whole."
                                                            : L"A night cannot run: the problems say what to do.");
        if (!verdict.switches.empty())
            SetItemText(IDC_CHECK_SWITCHES, L"Switches for the night, from what was measured here: " +
                                                SwitchesTogether(verdict) +
                                                L"\r\nUse these settings makes them the window's settings, and a new "
                                                L"night's.");
        EnableWindow(Item(IDC_CHECK_COPY), TRUE);
        EnableWindow(Item(IDC_CHECK_USE), !verdict.switches.empty() || !request_.exports.empty());
        SendMessageW(Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_CHECK_LIST)), TRUE);
    }

    // A row a finding; the first problem selected, or else the first row.
    void FillList(const std::vector<Finding>& findings) {
        const HWND list = Item(IDC_CHECK_LIST);
        const auto problem = std::find_if(findings.begin(), findings.end(),
                                          [](const Finding& f) { return f.mark == FindingMark::Problem; });
        const int selected = problem == findings.end() ? 0 : static_cast<int>(problem - findings.begin());
        for (const Finding& finding : findings)
            AddListRow(list, {MarkName(finding.mark), finding.topic, finding.figure, finding.text});
        // The words of a long finding scroll sideways, and show whole below.
        FitListColumns(list, true);
        ListView_SetItemState(list, selected, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(list, selected, FALSE);
    }

    void ShowSelectedFinding() {
        if (!shown_) return;
        const int index = ListView_GetNextItem(Item(IDC_CHECK_LIST), -1, LVNI_SELECTED);
        const std::vector<Finding>& findings = shown_->verdict.findings;
        if (index < 0 || index >= static_cast<int>(findings.size())) return;
        SetItemText(IDC_CHECK_TEXT, Joined(FindingDetail(findings[static_cast<size_t>(index)])));
    }

    void UseTheseSettings() {
        const StoredSettings taken = SettingsWithSuggestions(ReadStoredSettings(), shown_->verdict.switches,
                                                             request_.exports, shown_->facts.sample.exports);
        WriteStoredSettings(taken);
        EnableWindow(Item(IDC_CHECK_USE), FALSE);
        // A value an administrator set is neither written nor shown as the user's.
        SetItemText(IDC_CHECK_STATUS, ReadStoredSettings() == taken
                                          ? L"Settings now hold what the check suggests; Settings... shows them."
                                          : L"Settings now hold what the check suggests, but for the values your "
                                            L"administrator set; Settings... shows them.");
    }

    CheckRequest request_;
    const std::shared_ptr<std::atomic<bool>> stop_ = std::make_shared<std::atomic<bool>>(false);
    std::thread worker_;
    std::mutex mutex_;
    std::unique_ptr<CheckOutcome> outcome_;  // under `mutex_`, until shown
    std::unique_ptr<CheckOutcome> shown_;
    std::wstring whole_;  // the check as the console prints it, for Copy
    bool done_ = false;
    bool closeWhenDone_ = false;
};

}  // namespace

void ShowCheckDialog(HWND owner, const std::wstring& firstListed, const std::wstring& folder) {
    CheckRequest request;
    request.sample = firstListed;
    if (request.sample.empty()) {
        const std::optional<std::wstring> chosen = ChooseFileToOpen(
            owner, FileRequest{L"Choose a draft for the check (Kestrow works on a copy of it)", L"Solid Edge drafts",
                               L"*.dft", folder});
        if (!chosen) return;
        request.sample = *chosen;
    }
    // As Update in the window would: its formats, answers and call limit.
    const BatchSettings settings = ReadBatchSettings();
    request.exports = settings.exports;
    request.answers = settings.answers;
    if (settings.callSeconds > 0) request.timeout = std::chrono::seconds(settings.callSeconds);
    // The list's window class must be there before the dialog is made.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    CheckDialog dialog(std::move(request));
    dialog.Run(owner);
}

}  // namespace kestrow::win32
