// Kestrow's nights in Wine's Task Scheduler, which registers tasks but keeps
// their definitions without actions and triggers, and runs nothing: what is
// tested here is what it keeps (names, the folder \Kestrow, descriptions,
// deletion), and the settings and schedule dialogs driven through their
// controls. The definitions themselves are tested natively.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>

#include <taskschd.h>
#include <wrl/client.h>

#include "DialogWatcher.h"
#include "MainWindowFixture.h"
#include "RunFixture.h"
#include "resources/DialogIds.h"
#include "scheduler/KestrowTasks.h"
#include "scheduler/Nights.h"
#include "system/ComApartment.h"
#include "system/ComValues.h"
#include "system/WindowPicture.h"
#include "settings/RegistrySettings.h"
#include "scheduler/NightMenu.h"
#include "settings/SettingsStore.h"
#include "window/ExportMenu.h"

using namespace kestrow;
using namespace kestrow::wintest;
using Microsoft::WRL::ComPtr;

namespace {

// The root folder of the Task Scheduler, where Kestrow has no business.
ComPtr<ITaskFolder> RootTaskFolder() {
    ComPtr<ITaskService> service;
    ComPtr<ITaskFolder> root;
    const win32::Variant none;
    if (SUCCEEDED(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&service))) &&
        SUCCEEDED(service->Connect(none, none, none, none)))
        service->GetFolder(win32::ToBstr(L"\\").get(), &root);
    return root;
}

// A task's stored definition in the root folder, "" when there is none.
std::wstring RootTaskXml(const std::wstring& name) {
    ComPtr<IRegisteredTask> task;
    BSTR xml = nullptr;
    const ComPtr<ITaskFolder> root = RootTaskFolder();
    if (!root || !SUCCEEDED(root->GetTask(win32::ToBstr(name).get(), &task)) || FAILED(task->get_Xml(&xml))) return L"";
    return win32::FromBstr(win32::Bstr(xml).get());
}

std::wstring ItemText(HWND dialog, int id) {
    wchar_t text[2048] = L"";
    GetDlgItemTextW(dialog, id, text, 2048);
    return text;
}

HWND DialogTitled(const wchar_t* title) { return FindWindowW(L"#32770", title); }

// The task a /schedule run says it created or changed.
std::wstring TaskNamed(const ProgramRun& run) {
    const std::wstring text = run.Text();
    const size_t begin = text.find(L" the task ");
    const size_t end = text.find(L" in the Task Scheduler's folder");
    return begin == std::wstring::npos || end == std::wstring::npos ? L"" : text.substr(begin + 10, end - begin - 10);
}

std::wstring DescriptionOf(const std::wstring& xml) {
    const size_t begin = xml.find(L"<Description>");
    const size_t end = xml.find(L"</Description>");
    return begin == std::wstring::npos || end == std::wstring::npos ? L"" : xml.substr(begin + 13, end - begin - 13);
}

// Nights made by a test, deleted from \Kestrow and the root folder afterwards.
struct NightsMade {
    ~NightsMade() {
        for (const std::wstring& night : names) {
            win32::KestrowTasks().Delete(night);
            if (const ComPtr<ITaskFolder> root = RootTaskFolder()) root->DeleteTask(win32::ToBstr(night).get(), 0);
        }
    }
    std::vector<std::wstring> names;
};

std::wstring NightOf(const TestFolder& folder) {
    return L"Nightly - " + folder.Path().substr(folder.Path().find_last_of(L'\\') + 1);
}

std::optional<win32::RegisteredTask> KestrowTask(const std::wstring& name) { return win32::KestrowTasks().Find(name); }

// A folder of drafts, the name of its night, and a task of the same name
// outside \Kestrow that must stay as it is.
class Nights : public ::testing::Test {
protected:
    TestFolder folder{L"nights"};
    const std::wstring name = NightOf(folder);
    NightsMade made{{name}};
};

// The main window with a folder of drafts chosen, whose system menu opens
// the dialogs.
class NightsFromTheWindow : public MainWindowTest {
protected:
    NightsFromTheWindow() : MainWindowTest({}, win32::Form1Overrides{&picker_, nullptr}) {}
    void SetUp() override {
        MainWindowTest::SetUp();
        WriteDraft(folder / L"a.dft", 1);
        picker_.folder = folder.Path();
        Press(win32::ControlId::cmdBrowse, {});
    }
    // Opens a dialog from the system menu, as a click there does, while the
    // dialogs it opens get `answers`; returns what they showed once it has
    // closed.
    std::vector<SeenDialog> Open(UINT command, std::vector<Answer> answers) {
        DialogWatcher watcher(std::move(answers));
        SendMessageW(window_.Handle(), WM_SYSCOMMAND, command, 0);
        EXPECT_EQ(watcher.Unexpected(), 0);
        return watcher.Seen();
    }

    FixedFolderPicker picker_;
    TestFolder folder{L"nights"};
    const std::wstring name = NightOf(folder);
    NightsMade made{{name}};
};

// The window's settings in the registry, put back as they were afterwards.
class KeptSettings {
public:
    KeptSettings() : kept_(win32::ReadStoredSettings()) {}
    ~KeptSettings() { win32::WriteStoredSettings(kept_); }

private:
    StoredSettings kept_;
};

// Values an administrator set through policy, under the computer's or the
// user's Software\Policies\Kestrow; both keys are gone again afterwards.
class PolicyValues {
public:
    ~PolicyValues() { Remove(); }
    void Remove() const {
        for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) RegDeleteTreeW(root, kKey);
    }
    void Set(HKEY root, const wchar_t* name, DWORD value) const {
        RegSetKeyValueW(root, kKey, name, REG_DWORD, &value, sizeof(value));
    }
    // `text` holds a REG_MULTI_SZ's NULs; its size counts them all.
    void Set(HKEY root, const wchar_t* name, DWORD type, const std::wstring& text) const {
        RegSetKeyValueW(root, kKey, name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }

private:
    static constexpr const wchar_t* kKey = L"Software\\Policies\\Kestrow";
};

void SetDword(const wchar_t* name, DWORD value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Kestrow", name, REG_DWORD, &value, sizeof(value));
}

std::optional<DWORD> Dword(const wchar_t* name) {
    DWORD value = 0, size = sizeof(value);
    if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Kestrow", name, RRF_RT_REG_DWORD, nullptr, &value, &size))
        return std::nullopt;
    return value;
}

}  // namespace

TEST_F(Nights, FromTheCommandLineANightIsMadeChangedAndDeletedInKestrowsFolderOnly) {
    const std::wstring outside =
        L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\"><RegistrationInfo>"
        L"<Description>made by hand</Description></RegistrationInfo><Actions><Exec><Command>notepad.exe</Command>"
        L"</Exec></Actions></Task>";
    ComPtr<IRegisteredTask> registered;
    const win32::Variant none;
    ASSERT_HRESULT_SUCCEEDED(RootTaskFolder()->RegisterTask(win32::ToBstr(name).get(), win32::ToBstr(outside).get(),
                                                            TASK_CREATE, none, none, TASK_LOGON_INTERACTIVE_TOKEN,
                                                            none, &registered));
    const std::wstring outsideBefore = RootTaskXml(name);

    const ProgramRun created = RunKestrow(L"/schedule 02:00 /days mon,FRI /update " + Quoted(folder.Path()) +
                                       L" /subfolders /export pdf /answer \"Missing references=OK\"");
    EXPECT_EQ(created.exitCode, 0u) << Narrow(created.Text());
    EXPECT_TRUE(Contains(created, L"created the task " + name)) << Narrow(created.Text());
    EXPECT_TRUE(Contains(created, L"/update " + Quoted(folder.Path()) + L" /subfolders /log ")) << Narrow(created.Text());
    ASSERT_TRUE(KestrowTask(name));
    EXPECT_EQ(DescriptionOf(KestrowTask(name)->xml), L"Kestrow updates the drafts in " + folder.Path() +
                                               L" and its subfolders at 02:00 on Mon and Fri.");

    const ProgramRun listed = RunKestrow(L"/schedule list");
    EXPECT_EQ(listed.exitCode, 0u);
    // Wine's Task Scheduler keeps no trigger: the time is not known here.
    EXPECT_TRUE(Contains(listed, L"  runs at:     not known")) << Narrow(listed.Text());
    EXPECT_EQ(LinesWith(listed.lines, name), 1) << Narrow(listed.Text());

    std::wstring sameFolder = folder.Path();  // as another case writes it
    for (wchar_t& c : sameFolder) c = static_cast<wchar_t>(towupper(c));
    const ProgramRun changed = RunKestrow(L"-SCHEDULE 03:30 /update " + Quoted(sameFolder));
    EXPECT_EQ(changed.exitCode, 0u) << Narrow(changed.Text());
    EXPECT_TRUE(Contains(changed, L"changed the task " + name)) << Narrow(changed.Text());
    EXPECT_EQ(DescriptionOf(KestrowTask(name)->xml), L"Kestrow updates the drafts in " + sameFolder + L" at 03:30 every day.");
    EXPECT_EQ(LinesWith(RunKestrow(L"/schedule list").lines, name), 1) << "changed, not made twice";

    // Two folders of one name: two nights, each named apart.
    std::vector<std::wstring> twins;
    for (const wchar_t* parent : {L"\\Pump line", L"\\Valves"}) {
        CreateDirectoryW((folder.Path() + parent).c_str(), nullptr);
        CreateDirectoryW((folder.Path() + parent + L"\\Drawings").c_str(), nullptr);
        twins.push_back(TaskNamed(RunKestrow(L"/schedule 01:00 /update " + Quoted(folder.Path() + parent + L"\\Drawings"))));
        made.names.push_back(twins.back());
    }
    RemoveDirectoryW((folder.Path() + L"\\Valves\\Drawings").c_str());
    const ProgramRun both = RunKestrow(L"/schedule list");
    for (const std::wstring& twin : twins) {
        EXPECT_EQ(std::count(both.lines.begin(), both.lines.end(), twin), 1) << Narrow(both.Text());
        EXPECT_EQ(RunKestrow(L"/schedule delete " + Quoted(twin)).exitCode, 0u) << Narrow(twin);
    }
    EXPECT_NE(twins[0], twins[1]);
    EXPECT_TRUE(Contains(both, L"  folder:      " + folder.Path() + L"\\Valves\\Drawings  (not found)"))
        << Narrow(both.Text());

    const std::vector<std::pair<std::wstring, std::wstring>> refused = {
        {L"/schedule 25:00 /update " + Quoted(folder.Path()), L"from 00:00 to 23:59"},
        {L"/schedule 02:00 /update " + Quoted(folder / L"gone"), L"the folder cannot be found"},
        {L"/schedule delete \"Nightly - no such night\"", L"holds no task named"},
    };
    for (const auto& [arguments, why] : refused) {
        const ProgramRun run = RunKestrow(arguments);
        EXPECT_EQ(run.exitCode, 3u) << Narrow(arguments);
        EXPECT_TRUE(Contains(run, why)) << Narrow(run.Text());
    }

    const ProgramRun deleted = RunKestrow(L"/schedule delete " + Quoted(name));
    EXPECT_EQ(deleted.exitCode, 0u) << Narrow(deleted.Text());
    EXPECT_FALSE(KestrowTask(name));
    EXPECT_EQ(RunKestrow(L"/schedule delete " + Quoted(name)).exitCode, 3u) << "the task outside is no Kestrow's";
    EXPECT_EQ(RootTaskXml(name), outsideBefore) << "a task outside \\Kestrow was changed";
}

// Another window or user got there first, between the list Kestrow read and
// its save: a night made under the same name is not replaced, and one
// deleted is not made again.
TEST_F(Nights, ANightMadeOrDeletedMeanwhileElsewhereIsLeftAsItIs) {
    win32::KestrowTasks tasks;
    ScheduledNight night;
    night.night.folder = folder.Path();
    night.time = NightTime{4, 0};
    const auto savedAs = [&](const std::vector<win32::NightRow>& rows) -> std::wstring {
        try {
            win32::SaveNight(tasks, rows, night, nullptr);
            return L"saved";
        } catch (const RuntimeError& error) {
            return error.Description();
        }
    };

    const std::vector<win32::NightRow> withoutIt = win32::ListNights(tasks);
    ASSERT_EQ(RunKestrow(L"/schedule 02:00 /update " + Quoted(folder.Path())).exitCode, 0u);
    ASSERT_TRUE(KestrowTask(name));
    const std::wstring theirs = KestrowTask(name)->xml;
    EXPECT_NE(savedAs(withoutIt).find(L"made a task of that name meanwhile"), std::wstring::npos);
    EXPECT_EQ(KestrowTask(name)->xml, theirs) << "the other's night was replaced";

    const std::vector<win32::NightRow> withIt = win32::ListNights(tasks);
    ASSERT_EQ(RunKestrow(L"/schedule delete " + Quoted(name)).exitCode, 0u);
    EXPECT_NE(savedAs(withIt).find(L"deleted it meanwhile"), std::wstring::npos);
    EXPECT_FALSE(KestrowTask(name)) << "a night deleted elsewhere was made again";
}

// Values written by hand show; one out of range is refused with its range
// and nothing is stored until every field is sound.
TEST_F(NightsFromTheWindow, SettingsShowWhatIsStoredAndStoreOnlySoundValues) {
    const KeptSettings kept;
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Kestrow", L"Sessions");
    SetDword(L"RestartEvery", 200);
    SetDword(L"RestartMemoryMB", 5000000);
    const wchar_t answers[] = L"Missing references=OK\0*newer*=Yes\0";
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Kestrow", L"Answers", REG_MULTI_SZ, answers, sizeof(answers));
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Kestrow", L"Export", REG_SZ, L"DXF", 8);

    std::wstring shownEvery, shownMemory, shownAnswers;
    bool shownDxf = false;
    std::optional<DWORD> sessionsWhenRefused = 99;
    HWND dialog = nullptr;  // its boxes have its title too
    Answer fill{IDOK};
    fill.before = [&] {
        dialog = DialogTitled(L"Kestrow settings");
        shownEvery = ItemText(dialog, IDC_RESTART_EVERY);
        shownMemory = ItemText(dialog, IDC_RESTART_MEMORY);
        shownAnswers = ItemText(dialog, IDC_ANSWERS);
        shownDxf = IsDlgButtonChecked(dialog, IDC_EXPORT_DXF) == BST_CHECKED;
        SetDlgItemTextW(dialog, IDC_SESSIONS, L"3");
    };
    Answer refusal{IDOK};
    refusal.before = [&] { sessionsWhenRefused = Dword(L"Sessions"); };
    refusal.after = [&] {
        SetDlgItemTextW(dialog, IDC_RESTART_MEMORY, L"");
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    };
    const std::vector<SeenDialog> seen = Open(win32::NightMenuCommand::Settings, {fill, refusal});
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(shownEvery, L"200");
    EXPECT_EQ(shownMemory, L"5000000");
    EXPECT_EQ(shownAnswers, L"Missing references=OK\r\n*newer*=Yes");
    EXPECT_TRUE(shownDxf);
    EXPECT_NE(seen[1].text.find(L"from 1 to 1,048,576"), std::wstring::npos) << Narrow(seen[1].text);
    EXPECT_FALSE(sessionsWhenRefused) << "a refused dialog stored a value";

    const StoredSettings stored = win32::ReadStoredSettings();
    EXPECT_EQ(stored.sessions, 3u);
    EXPECT_EQ(stored.restartEvery, 200u);
    EXPECT_FALSE(stored.restartMemoryMB);
    EXPECT_EQ(stored.answers, (std::vector<std::wstring>{L"Missing references=OK", L"*newer*=Yes"}));
    EXPECT_EQ(stored.exports, L"dxf");
    // What the window's batch reads is what the dialog wrote.
    const BatchSettings batch = win32::ReadBatchSettings();
    EXPECT_EQ(batch.sessions, 3);
    EXPECT_EQ(batch.renewal.everyDrafts, 200);
    EXPECT_EQ(batch.answers.size(), 2u);
}

// A value an administrator set wins over the user's own, and the computer's
// policy over the user's: the window's batch takes it, Settings shows it
// greyed with "set by your administrator" and neither checks nor stores it
// (a rule of theirs that is no rule is not the user's to mend), and the
// user's own value stays as it was. The export items follow the policy too.
TEST_F(NightsFromTheWindow, ValuesAnAdministratorSetWinShowGreyedAndLeaveTheUsersOwn) {
    const KeptSettings kept;
    SetDword(L"Sessions", 3);
    SetDword(L"RestartEvery", 200);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Kestrow", L"RestartMemoryMB");
    SetDword(L"Timeout", 30);
    const wchar_t mine[] = L"Mine=OK\0Theirs=Yes\0";
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Kestrow", L"Answers", REG_MULTI_SZ, mine, sizeof(mine));
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Kestrow", L"Export", REG_SZ, L"dxf", 8);
    const PolicyValues policy;
    policy.Set(HKEY_LOCAL_MACHINE, L"Sessions", 2);
    policy.Set(HKEY_CURRENT_USER, L"Sessions", 5);
    policy.Set(HKEY_CURRENT_USER, L"RestartEvery", 300);
    policy.Set(HKEY_LOCAL_MACHINE, L"Timeout", 90);
    policy.Set(HKEY_LOCAL_MACHINE, L"Answers", REG_MULTI_SZ, std::wstring(L"Missing references=OK\0no rule here\0", 37));
    policy.Set(HKEY_LOCAL_MACHINE, L"Export", REG_SZ, L"pdf");

    const BatchSettings batch = win32::ReadBatchSettings();
    EXPECT_EQ(batch.sessions, 2) << "the computer's policy, over the user's policy and the user's own";
    EXPECT_EQ(batch.renewal.everyDrafts, 300);
    EXPECT_EQ(batch.callSeconds, 90);
    EXPECT_EQ(batch.answers.size(), 1u) << "the administrator's rules only";
    EXPECT_EQ(batch.exports, std::vector<ExportFormat>{ExportFormat::Pdf});

    // Each field as the dialog shows it: its text, "(theirs)" where it cannot
    // be changed, and where the focus is.
    std::wstring shown, note;
    Answer save{IDOK};
    save.before = [&] {
        const HWND dialog = DialogTitled(L"Kestrow settings");
        GUITHREADINFO thread{sizeof(thread)};
        GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &thread);
        for (const int id : {IDC_SESSIONS, IDC_RESTART_EVERY, IDC_RESTART_MEMORY, IDC_CALL_SECONDS, IDC_EXPORT_PDF, IDC_ANSWERS}) {
            const HWND field = GetDlgItem(dialog, id);
            const bool theirs = id == IDC_EXPORT_PDF ? !IsWindowEnabled(field) : GetWindowLongW(field, GWL_STYLE) & ES_READONLY;
            shown += (id == IDC_EXPORT_PDF ? (IsDlgButtonChecked(dialog, id) ? L"[x]" : L"[ ]") : L"'" + ItemText(dialog, id) + L"'") +
                     (theirs ? L" theirs" : L"") + (thread.hwndFocus == field ? L" focused" : L"") + L" | ";
        }
        if (IsWindowVisible(GetDlgItem(dialog, IDC_SET_BY_ADMINISTRATOR))) note = ItemText(dialog, IDC_SET_BY_ADMINISTRATOR);
        WriteUtf8(L"settings-set-by-administrator.png", win32::ScreenPicturePng(dialog));
        SetDlgItemTextW(dialog, IDC_RESTART_MEMORY, L"1500");
    };
    const std::vector<SeenDialog> seen = Open(win32::NightMenuCommand::Settings, {save});
    EXPECT_EQ(seen.size(), 1u) << "saved at once";
    EXPECT_EQ(shown, L"'2' theirs | '300' theirs | '' focused | '90' theirs | [x] theirs | 'Missing references=OK\r\nno rule here' theirs | ")
        << "the focus on the first field the user may change";
    EXPECT_NE(note.find(L"set by your administrator"), std::wstring::npos) << Narrow(note);

    EXPECT_EQ(Dword(L"Sessions"), 3u);
    EXPECT_EQ(Dword(L"RestartEvery"), 200u);
    EXPECT_EQ(Dword(L"RestartMemoryMB"), 1500u) << "the field the user could change was stored";
    EXPECT_EQ(Dword(L"Timeout"), 30u);
    const HMENU menu = GetSystemMenu(window_.Handle(), FALSE);
    SendMessageW(window_.Handle(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(0, TRUE));
    EXPECT_TRUE(GetMenuState(menu, win32::ExportCommand::Pdf, MF_BYCOMMAND) & MF_GRAYED);

    policy.Remove();  // the user's own values, as they stayed under the policy
    const StoredSettings own = win32::ReadStoredSettings();
    EXPECT_EQ(own.answers, (std::vector<std::wstring>{L"Mine=OK", L"Theirs=Yes"}));
    EXPECT_EQ(own.exports, L"dxf");
}

// Opened with the window's folder and settings, refused while its folder
// is missing, saved, and the night deleted again, all through its controls.
TEST_F(NightsFromTheWindow, TheScheduleDialogSavesAndDeletesANightThroughItsControls) {
    const KeptSettings kept;
    StoredSettings settings;
    settings.sessions = 2;
    win32::WriteStoredSettings(settings);
    std::wstring shownFolder, commandLine, saved, deleted;
    std::vector<std::wstring> listed, cut;
    std::optional<win32::RegisteredTask> savedTask;
    HWND dialog = nullptr;  // its boxes have its title too
    Answer fill{IDOK};
    fill.before = [&] {
        dialog = DialogTitled(L"Schedule a night");
        shownFolder = ItemText(dialog, IDC_FOLDER);
        SetDlgItemTextW(dialog, IDC_FOLDER, (folder / L"gone").c_str());
        SetDlgItemTextW(dialog, IDC_TIME, L"01:45");
        for (const int box : {IDC_DAY_FIRST + 5, IDC_DAY_FIRST + 6, IDC_EXPORT_PDF, IDC_SUBFOLDERS})
            SendMessageW(GetDlgItem(dialog, box), BM_CLICK, 0, 0);
        SetDlgItemTextW(dialog, IDC_ANSWERS, L"Missing references=OK");
    };
    Answer missingFolder{IDOK};
    missingFolder.after = [&] {
        SetDlgItemTextW(dialog, IDC_FOLDER, folder.Path().c_str());
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        PumpUntil([&] { return ItemText(dialog, IDC_STATUS).rfind(L"Saved", 0) == 0; }, std::chrono::seconds(20));
        saved = ItemText(dialog, IDC_STATUS);
        commandLine = ItemText(dialog, IDC_COMMAND);
        {
            const win32::ThreadApartment apartment;  // the watcher's thread
            savedTask = KestrowTask(name);
        }
        const HWND list = GetDlgItem(dialog, IDC_NIGHTS);
        for (int i = 0; i < ListView_GetItemCount(list); ++i) {
            wchar_t text[256] = L"";
            ListView_GetItemText(list, i, 0, text, 256);
            listed.push_back(text);
            if (listed.back() == name) ListView_SetItemState(list, i, LVIS_SELECTED, LVIS_SELECTED);
            // Names and folders show whole.
            for (const int column : {0, 1}) {
                wchar_t cell[1024] = L"";
                ListView_GetItemText(list, i, column, cell, 1024);
                if (ListView_GetColumnWidth(list, column) < ListView_GetStringWidth(list, cell)) cut.push_back(cell);
            }
        }
        WriteUtf8(L"schedule-dialog.png", win32::ScreenPicturePng(dialog));
        PostMessageW(dialog, WM_COMMAND, IDC_DELETE, 0);
    };
    Answer confirmDelete{IDYES};
    confirmDelete.after = [&] {
        PumpUntil([&] { return ItemText(dialog, IDC_STATUS).rfind(L"Deleted", 0) == 0; }, std::chrono::seconds(20));
        deleted = ItemText(dialog, IDC_STATUS);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    };
    const std::vector<SeenDialog> seen = Open(win32::NightMenuCommand::Schedule, {fill, missingFolder, confirmDelete});

    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(shownFolder, folder.Path()) << "the folder chosen in the window";
    EXPECT_NE(seen[1].text.find(L"The folder cannot be found"), std::wstring::npos) << Narrow(seen[1].text);
    EXPECT_NE(seen[2].text.find(L"Delete the task " + name), std::wstring::npos) << Narrow(seen[2].text);
    // The window's settings, and what the fields were given.
    EXPECT_NE(commandLine.find(L"\" /update " + Quoted(folder.Path()) + L" /subfolders /log \""), std::wstring::npos)
        << Narrow(commandLine);
    EXPECT_NE(commandLine.find(L"\\Logs\\" + name + L".csv\" /resume /sessions 2 /export pdf /answer "
                               L"\"Missing references=OK\""),
              std::wstring::npos)
        << Narrow(commandLine);
    EXPECT_EQ(saved, L"Saved " + name + L": 01:45 on Mon, Tue, Wed, Thu and Fri.");
    EXPECT_EQ(LinesWith(listed, name), 1);
    EXPECT_TRUE(cut.empty()) << Narrow(cut.front());
    ASSERT_TRUE(savedTask);
    EXPECT_EQ(DescriptionOf(savedTask->xml), L"Kestrow updates the drafts in " + folder.Path() +
                                                 L" and its subfolders at 01:45 on Mon, Tue, Wed, Thu and Fri.");
    EXPECT_EQ(deleted, L"Deleted " + name + L".");
    EXPECT_FALSE(KestrowTask(name));
}
