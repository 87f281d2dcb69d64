#include "scheduler/ScheduleDialog.h"

#include <commctrl.h>

#include <memory>
#include <vector>

#include "resources/DialogIds.h"
#include "schedule/NightForm.h"
#include "scheduler/Nights.h"
#include "system/FullPath.h"
#include "settings/ExportChecks.h"
#include "ui/HandlerBoundary.h"
#include "ui/ModalDialog.h"
#include "scheduler/PasswordPrompt.h"
#include "settings/SettingsStore.h"
#include "ui/ReportList.h"
#include "ui/ShellFolderDialog.h"

namespace kestrow::win32 {
namespace {

constexpr const wchar_t* kTitle = L"Schedule a night";


// A folder as the user means it: full, without a trailing "\" but at a root.
std::wstring FolderAsMeant(const std::wstring& text) {
    std::wstring folder = FullPath(text);
    while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    return folder;
}


class ScheduleDialog : public ModalDialog {
public:
    explicit ScheduleDialog(std::wstring folder) : ModalDialog(IDD_SCHEDULE), folder_(std::move(folder)) {}

private:
    bool OnInit() noexcept override {
        RunHandler(Handle(), kTitle, [this] {
            SetUpList();
            SendMessageW(Item(IDC_LOG), EM_SETCUEBANNER, TRUE,
                         reinterpret_cast<LPARAM>(L"empty: one of Kestrow's own for each folder, in "
                                                  L"%LOCALAPPDATA%\\Kestrow\\Logs"));
            settings_ = ReadStoredSettings();
            ShowFields(FieldsOfNight(NightOfSettings(folder_.empty() ? folder_ : FolderAsMeant(folder_), settings_)));
            try {
                tasks_ = std::make_unique<KestrowTasks>();
                Refresh();
            } catch (const RuntimeError& error) {
                SetItemText(IDC_STATUS, error.Description());
                for (const int id : {IDOK, IDC_RUN_NOW, IDC_CHANGE, IDC_DELETE}) EnableWindow(Item(id), FALSE);
            }
            ready_ = true;
            ShowCommandLine();
        });
        return true;
    }

    bool OnCommand(int id, int code) noexcept override {
        RunHandler(Handle(), kTitle, [&] {
            switch (id) {
                case IDCANCEL: EndDialog(Handle(), IDCANCEL); return;
                case IDOK: Save(); return;
                case IDC_BROWSE: Browse(); return;
                case IDC_CHANGE: Change(); return;
                case IDC_DELETE: Delete(); return;
                case IDC_RUN_NOW: RunNow(); return;
                default: break;
            }
            if (code == EN_CHANGE || code == BN_CLICKED) ShowCommandLine();
        });
        return true;
    }

    bool OnMessage(UINT message, WPARAM, LPARAM lParam) noexcept override {
        if (message != WM_NOTIFY) return false;
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom != IDC_NIGHTS) return false;
        if (header->code == NM_DBLCLK) RunHandler(Handle(), kTitle, [this] { Change(); });
        if (header->code == LVN_ITEMCHANGED) EnableRowButtons();
        return false;
    }

    void SetUpList() {
        AddListColumns(Item(IDC_NIGHTS), {L"Name", L"Folder", L"Runs", L"Next run", L"Last run", L"Last result"});
    }

    void Refresh(const std::wstring& select = L"") {
        rows_ = ListNights(*tasks_);
        HWND list = Item(IDC_NIGHTS);
        ListView_DeleteAllItems(list);
        for (const NightRow& row : rows_) {
            const int i = AddListRow(
                list, {row.name,
                       // The mark comes first, where a narrow column still shows it.
                       row.reading.folder ? (row.folderMissing ? L"not found: " : L"") + row.folder : L"not known",
                       row.when.empty() ? L"not known" : row.when, row.nextRun, row.lastRun, row.lastResult});
            if (row.name == select) ListView_SetItemState(list, i, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        }
        // Names and folders whole: the list scrolls sideways when they are long.
        FitListColumns(list, true);
        EnableRowButtons();
        ShowCommandLine();  // the default log's name may have changed with the list
    }

    const NightRow* SelectedRow() const {
        const int index = ListView_GetNextItem(Item(IDC_NIGHTS), -1, LVNI_SELECTED);
        return index >= 0 && index < static_cast<int>(rows_.size()) ? &rows_[static_cast<size_t>(index)] : nullptr;
    }

    void EnableRowButtons() const {
        const bool selected = tasks_ && SelectedRow();
        for (const int id : {IDC_RUN_NOW, IDC_CHANGE, IDC_DELETE}) EnableWindow(Item(id), selected);
    }

    void ShowFields(const NightFields& fields) {
        const bool wasReady = ready_;
        ready_ = false;  // one command line once every field is set
        SetItemText(IDC_FOLDER, fields.folder);
        Check(IDC_SUBFOLDERS, fields.subfolders);
        Check(IDC_SHARED, fields.shared);
        SetItemText(IDC_TIME, fields.time);
        for (int day = 0; day < kDaysInWeek; ++day) Check(IDC_DAY_FIRST + day, fields.days & (1u << day));
        SetItemText(IDC_LOG, fields.log);
        SetItemText(IDC_SESSIONS, fields.sessions);
        SetItemText(IDC_TIMEOUT, fields.timeout);
        SetItemText(IDC_ANSWERS, fields.answers);
        SetExportChecks(Handle(), fields.exports);
        // A logon set by hand in the Task Scheduler ticks neither: it stays
        // as it is unless one is chosen.
        Check(IDC_LOGGED_ON, fields.logon == NightLogon::WhenLoggedOn);
        Check(IDC_LOGGED_OFF, fields.logon == NightLogon::WhetherLoggedOnOrNot);
        kept_ = fields.kept;
        ready_ = wasReady;
        ShowCommandLine();
    }

    NightFields Fields() const {
        NightFields fields;
        fields.folder = ItemText(IDC_FOLDER);
        fields.subfolders = Checked(IDC_SUBFOLDERS);
        fields.shared = Checked(IDC_SHARED);
        fields.time = ItemText(IDC_TIME);
        fields.days = 0;
        for (int day = 0; day < kDaysInWeek; ++day)
            if (Checked(IDC_DAY_FIRST + day)) fields.days = static_cast<NightDays>(fields.days | (1u << day));
        fields.log = ItemText(IDC_LOG);
        fields.sessions = ItemText(IDC_SESSIONS);
        fields.timeout = ItemText(IDC_TIMEOUT);
        fields.answers = ItemText(IDC_ANSWERS);
        fields.exports = ExportChecks(Handle());
        fields.logon = Checked(IDC_LOGGED_OFF) ? NightLogon::WhetherLoggedOnOrNot
                       : Checked(IDC_LOGGED_ON) ? NightLogon::WhenLoggedOn
                                                : NightLogon::AsSetInTheTask;
        fields.kept = kept_;
        return fields;
    }

    // The night the fields describe, its paths full; none when a field is
    // wrong (`check` says which).
    std::optional<ScheduledNight> FieldsNight(NightCheck& check) const {
        check = CheckNightFields(Fields(), settings_);
        if (!check.night) return std::nullopt;
        ScheduledNight night = *check.night;
        night.night.folder = FolderAsMeant(night.night.folder);
        if (!night.night.log.empty()) night.night.log = FullPath(night.night.log);
        return night;
    }

    void ShowCommandLine() {
        if (!ready_) return;
        NightCheck check;
        const std::optional<ScheduledNight> night = FieldsNight(check);
        SetItemText(IDC_COMMAND, night ? NightCommandLineFor(rows_, *night) : std::wstring());
    }

    void Save() {
        NightCheck check;
        const std::optional<ScheduledNight> night = FieldsNight(check);
        if (!night) {
            Say(check.refusal + L"\n\nNothing was saved.", MB_OK | MB_ICONEXCLAMATION);
            FocusField(FieldId(check.field));
            return;
        }
        if (!FolderExists(night->night.folder)) {
            Say(L"The folder cannot be found: " + night->night.folder + L"\n\nNothing was saved.", MB_OK | MB_ICONEXCLAMATION);
            FocusField(IDC_FOLDER);
            return;
        }
        std::unique_ptr<Credentials> credentials;
        if (night->logon == NightLogon::WhetherLoggedOnOrNot) {
            credentials = AskForPassword(Handle());
            if (!credentials) {
                SetItemText(IDC_STATUS, L"Not saved: a night that runs while you are logged off needs your password.");
                return;
            }
        }
        SavedNight saved;
        try {
            saved = SaveNight(*tasks_, rows_, *night, credentials.get());
        } catch (const RuntimeError&) {
            // Another window or user may have changed the nights meanwhile:
            // the list shows them as they now are.
            Refresh();
            throw;
        }
        Refresh(saved.name);
        SetItemText(IDC_COMMAND, saved.commandLine);
        SetItemText(IDC_STATUS, (saved.changed ? L"Changed " : L"Saved ") + saved.name + L": " +
                                    NightScheduleText(night->time, night->days) + L".");
    }

    void Browse() {
        ShellFolderPicker picker;
        picker.SetOwner(Handle());
        const FolderChoice choice = picker.ChooseFolder(
            FolderRequest{L"The folder whose drafts the night updates", ItemText(IDC_FOLDER), Checked(IDC_SUBFOLDERS)});
        if (choice.outcome != FolderChoice::Outcome::Folder) return;
        SetItemText(IDC_FOLDER, FolderAsMeant(choice.path));
        Check(IDC_SUBFOLDERS, choice.includeSubfolders);
        ShowCommandLine();
    }

    void Change() {
        const NightRow* row = SelectedRow();
        if (!row) return;
        if (!row->reading.night) {
            // Its folder may be known without the rest: the night then
            // starts again from the window's settings.
            Say(L"Kestrow cannot read the night of " + row->name +
                    L" from its task: the task holds no action of Kestrow's that it can read." +
                    (row->reading.folder ? L" Its folder is filled in; set the rest and Save." : L""),
                MB_OK | MB_ICONINFORMATION);
            if (row->reading.folder) ShowFields(FieldsOfNight(NightOfSettings(*row->reading.folder, settings_)));
            return;
        }
        ScheduledNight night;
        night.night = *row->reading.night;
        night.time = row->reading.time.value_or(NightTime{});
        night.days = row->reading.days.value_or(kEveryDay);
        night.logon = row->reading.logon;
        ShowFields(FieldsOfNight(night));
        SetItemText(IDC_STATUS, L"Change the night of " + row->name + L", then Save." +
                                    (night.logon == NightLogon::AsSetInTheTask
                                         ? L" It logs on as set in the Task Scheduler, and stays so unless you choose."
                                         : L""));
    }

    void Delete() {
        const NightRow* row = SelectedRow();
        if (!row) return;
        const std::wstring name = row->name;
        if (Say(L"Delete the task " + name + L" from the Task Scheduler? Its log stays.", MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
        const bool deleted = tasks_->Delete(name);
        Refresh();
        SetItemText(IDC_STATUS, deleted ? L"Deleted " + name + L"." : name + L" was gone already.");
    }

    void RunNow() {
        const NightRow* row = SelectedRow();
        if (!row) return;
        const std::wstring name = row->name;
        tasks_->RunNow(name);
        Refresh(name);
        SetItemText(IDC_STATUS, L"The Task Scheduler started " + name + L".");
    }

    static int FieldId(NightField field) {
        switch (field) {
            case NightField::Folder: return IDC_FOLDER;
            case NightField::Time: return IDC_TIME;
            case NightField::Days: return IDC_DAY_FIRST;
            case NightField::Sessions: return IDC_SESSIONS;
            case NightField::Timeout: return IDC_TIMEOUT;
            case NightField::Log: return IDC_LOG;
            case NightField::Shared: return IDC_SHARED;
            case NightField::Answers: break;
        }
        return IDC_ANSWERS;
    }

    std::wstring folder_;
    std::unique_ptr<KestrowTasks> tasks_;
    std::vector<NightRow> rows_;
    StoredSettings settings_;  // what a night for a folder of its own starts from
    Night kept_;
    bool ready_ = false;
};

}  // namespace

void ShowScheduleDialog(HWND owner, const std::wstring& folder) {
    // The list's window class must be there before the dialog is made.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    ScheduleDialog dialog(folder);
    dialog.Run(owner);
}

}  // namespace kestrow::win32
