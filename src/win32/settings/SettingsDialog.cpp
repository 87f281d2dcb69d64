#include "settings/SettingsDialog.h"

#include "form/WindowSettings.h"
#include "resources/DialogIds.h"
#include "settings/ExportChecks.h"
#include "ui/HandlerBoundary.h"
#include "ui/ModalDialog.h"
#include "settings/SettingSource.h"
#include "settings/SettingsStore.h"

namespace kestrow::win32 {
namespace {

// Each control and the setting it shows; one an administrator set is greyed.
struct ControlOfSetting {
    int control;
    const wchar_t* setting;
    bool checkBox;
};
constexpr ControlOfSetting kControlsOfSettings[] = {
    {IDC_SESSIONS, L"Sessions", false},         {IDC_RESTART_EVERY, L"RestartEvery", false},
    {IDC_RESTART_MEMORY, L"RestartMemoryMB", false}, {IDC_CALL_SECONDS, L"Timeout", false},
    {IDC_ANSWERS, L"Answers", false},
    {IDC_EXPORT_PDF, L"Export", true},          {IDC_EXPORT_DWG, L"Export", true},
    {IDC_EXPORT_DXF, L"Export", true},          {IDC_QUEUE, L"QueueConnection", false},
};

class SettingsDialog : public ModalDialog {
public:
    SettingsDialog() : ModalDialog(IDD_SETTINGS) {}

private:
    bool OnInit() noexcept override {
        bool focused = false;
        RunHandler(Handle(), L"Kestrow settings", [&] {
            const SettingsFields fields = FieldsOfStored(ReadStoredSettings());
            SetItemText(IDC_SESSIONS, fields.sessions);
            SetItemText(IDC_RESTART_EVERY, fields.restartEvery);
            SetItemText(IDC_RESTART_MEMORY, fields.restartMemoryMB);
            SetItemText(IDC_CALL_SECONDS, fields.callSeconds);
            SetItemText(IDC_ANSWERS, fields.answers);
            SetExportChecks(Handle(), fields.exports);
            SetItemText(IDC_QUEUE, fields.queue);
            focused = GreySetByAdministrator();
        });
        return !focused;
    }

    // A box stays readable and scrollable, read-only; a check box is greyed.
    // True when it gave the focus to the first field left to the user.
    bool GreySetByAdministrator() {
        for (const ControlOfSetting& field : kControlsOfSettings) {
            if (!SetByAdministrator(field.setting)) continue;
            setByAdministrator_.insert(field.control);
            if (field.checkBox)
                EnableWindow(Item(field.control), FALSE);
            else
                SendMessageW(Item(field.control), EM_SETREADONLY, TRUE, 0);
        }
        if (setByAdministrator_.empty()) return false;
        ShowWindow(Item(IDC_SET_BY_ADMINISTRATOR), SW_SHOW);
        int first = IDOK;
        for (const ControlOfSetting& field : kControlsOfSettings)
            if (!setByAdministrator_.count(field.control)) {
                first = field.control;
                break;
            }
        SendMessageW(Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(first)), TRUE);
        return true;
    }

    bool OnCommand(int id, int) noexcept override {
        if (id == IDCANCEL) {
            EndDialog(Handle(), IDCANCEL);
            return true;
        }
        if (id != IDOK) return false;
        RunHandler(Handle(), L"Kestrow settings", [this] { Save(); });
        return true;
    }

    void Save() {
        const SettingsCheck check = CheckSettings(SettingsFields{ItemText(IDC_SESSIONS), ItemText(IDC_RESTART_EVERY),
                                                                 ItemText(IDC_RESTART_MEMORY), ItemText(IDC_CALL_SECONDS),
                                                                 ItemText(IDC_ANSWERS), ExportChecks(Handle()), ItemText(IDC_QUEUE)},
                                                  FieldsSetByAdministrator());
        if (!check.values) {
            Say(check.refusal + L"\n\nNothing was saved.", MB_OK | MB_ICONEXCLAMATION);
            FocusField(FieldId(check.field));
            return;
        }
        WriteStoredSettings(*check.values);
        EndDialog(Handle(), IDOK);
    }

    std::set<SettingsField> FieldsSetByAdministrator() const {
        std::set<SettingsField> fields;
        for (const SettingsField field : {SettingsField::Sessions, SettingsField::RestartEvery,
                                          SettingsField::RestartMemory, SettingsField::CallSeconds,
                                          SettingsField::Answers, SettingsField::Queue})
            if (setByAdministrator_.count(FieldId(field))) fields.insert(field);
        return fields;
    }

    static int FieldId(SettingsField field) {
        switch (field) {
            case SettingsField::Sessions: return IDC_SESSIONS;
            case SettingsField::RestartEvery: return IDC_RESTART_EVERY;
            case SettingsField::RestartMemory: return IDC_RESTART_MEMORY;
            case SettingsField::CallSeconds: return IDC_CALL_SECONDS;
            case SettingsField::Queue: return IDC_QUEUE;
            case SettingsField::Answers: break;
        }
        return IDC_ANSWERS;
    }

    std::set<int> setByAdministrator_;  // controls
};

}  // namespace

bool ShowSettingsDialog(HWND owner) {
    SettingsDialog dialog;
    return dialog.Run(owner) == IDOK;
}

}  // namespace kestrow::win32
