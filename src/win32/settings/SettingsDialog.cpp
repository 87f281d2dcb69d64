#include "settings/SettingsDialog.h"

#include "form/WindowSettings.h"
#include "resources/DialogIds.h"
#include "settings/ExportChecks.h"
#include "ui/HandlerBoundary.h"
#include "ui/ModalDialog.h"
#include "settings/SettingsStore.h"

namespace kestrow::win32 {
namespace {

class SettingsDialog : public ModalDialog {
public:
    SettingsDialog() : ModalDialog(IDD_SETTINGS) {}

private:
    bool OnInit() noexcept override {
        RunHandler(Handle(), L"Kestrow settings", [this] {
            const SettingsFields fields = FieldsOfStored(ReadStoredSettings());
            SetItemText(IDC_SESSIONS, fields.sessions);
            SetItemText(IDC_RESTART_EVERY, fields.restartEvery);
            SetItemText(IDC_RESTART_MEMORY, fields.restartMemoryMB);
            SetItemText(IDC_ANSWERS, fields.answers);
            SetExportChecks(Handle(), fields.exports);
            SetItemText(IDC_QUEUE, fields.queue);
        });
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
                                                                 ItemText(IDC_RESTART_MEMORY), ItemText(IDC_ANSWERS),
                                                                 ExportChecks(Handle()), ItemText(IDC_QUEUE)});
        if (!check.values) {
            Say(check.refusal + L"\n\nNothing was saved.", MB_OK | MB_ICONEXCLAMATION);
            FocusField(FieldId(check.field));
            return;
        }
        WriteStoredSettings(*check.values);
        EndDialog(Handle(), IDOK);
    }

    static int FieldId(SettingsField field) {
        switch (field) {
            case SettingsField::Sessions: return IDC_SESSIONS;
            case SettingsField::RestartEvery: return IDC_RESTART_EVERY;
            case SettingsField::RestartMemory: return IDC_RESTART_MEMORY;
            case SettingsField::Queue: return IDC_QUEUE;
            case SettingsField::Answers: break;
        }
        return IDC_ANSWERS;
    }
};

}  // namespace

bool ShowSettingsDialog(HWND owner) {
    SettingsDialog dialog;
    return dialog.Run(owner) == IDOK;
}

}  // namespace kestrow::win32
