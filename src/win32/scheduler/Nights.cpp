#include "scheduler/Nights.h"

#include "common/LongPath.h"
#include "common/RuntimeError.h"
#include "schedule/LastResult.h"
#include "system/DataFolder.h"
#include "system/FullPath.h"

namespace kestrow::win32 {
namespace {

std::wstring TimeText(const std::optional<SYSTEMTIME>& time, const wchar_t* none) {
    if (!time) return none;
    wchar_t text[32];
    swprintf(text, 32, L"%04u-%02u-%02u %02u:%02u", time->wYear, time->wMonth, time->wDay, time->wHour, time->wMinute);
    return text;
}

std::wstring Today() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t text[16];
    swprintf(text, 16, L"%04u-%02u-%02u", now.wYear, now.wMonth, now.wDay);
    return text;
}


std::vector<KnownTask> Known(const std::vector<NightRow>& rows) {
    std::vector<KnownTask> known;
    for (const NightRow& row : rows)
        known.push_back({row.name, row.reading.folder});
    return known;
}

}  // namespace

std::vector<NightRow> ListNights(KestrowTasks& tasks) {
    std::vector<NightRow> rows;
    for (const RegisteredTask& task : tasks.List()) {
        NightRow row;
        row.name = task.name;
        row.reading = ReadTaskXml(task.xml);
        if (row.reading.folder) {
            row.folder = *row.reading.folder;
            row.folderMissing = !FolderExists(row.folder);
        }
        if (row.reading.time && row.reading.days) row.when = NightScheduleText(*row.reading.time, *row.reading.days);
        row.nextRun = TimeText(task.nextRun, L"not known");
        row.lastRun = TimeText(task.lastRun, L"never");
        row.lastResult = task.lastResult ? LastResultText(*task.lastResult, TaskSchedulerMessage(*task.lastResult))
                                         : L"not known";
        rows.push_back(std::move(row));
    }
    return rows;
}

std::wstring ProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return std::wstring();
        if (length < path.size()) return OrdinaryPath(path.substr(0, length));
        path.resize(path.size() * 2);
    }
}

std::wstring DefaultNightLog(const std::wstring& taskName) {
    const std::wstring folder = KestrowDataFolder(L"Logs");
    if (folder.empty())
        throw RuntimeError(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), kProgramSource,
                           L"Kestrow's folder for the nights' logs cannot be made under %LOCALAPPDATA%");
    return folder + L"\\" + taskName + L".csv";
}

TaskForFolder NightTaskFor(const std::vector<NightRow>& rows, const std::wstring& folder) {
    return TaskNameForFolder(folder, Known(rows));
}

std::wstring NightCommandLineFor(const std::vector<NightRow>& rows, ScheduledNight night) {
    if (night.night.log.empty()) night.night.log = DefaultNightLog(NightTaskFor(rows, night.night.folder).name);
    return NightCommandLine(ProgramPath(), night.night);
}

SavedNight SaveNight(KestrowTasks& tasks, const std::vector<NightRow>& rows, ScheduledNight night,
                     const Credentials* credentials) {
    const TaskForFolder task = NightTaskFor(rows, night.night.folder);
    if (night.night.log.empty()) night.night.log = DefaultNightLog(task.name);
    const std::wstring program = ProgramPath();
    // The default log and Kestrow's own path, known only now.
    if (const std::optional<ExpandedValue> expanded = ExpandedByTheTaskScheduler(night.night, program))
        throw RuntimeError(HRESULT_FROM_WIN32(ERROR_INVALID_NAME), kProgramSource, expanded->refusal);
    SavedNight saved{task.name, task.exists, NightCommandLine(program, night.night)};
    std::optional<std::wstring> xml;
    if (task.exists) {
        const std::optional<RegisteredTask> existing = tasks.Find(task.name);
        if (!existing) throw DeletedMeanwhile(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), task.name);
        xml = ChangedTaskXml(existing->xml, night, program, Today());
        if (!xml)
            throw RuntimeError(E_UNEXPECTED, L"Task Scheduler",
                               L"Kestrow cannot read the definition of the task " + task.name +
                                   L", and leaves it as it is");
    } else {
        xml = NewTaskXml(night, program, Today());
    }
    tasks.Register(task.name, *xml, task.exists ? KestrowTasks::Save::Change : KestrowTasks::Save::New, night.logon,
                   credentials);
    return saved;
}

}  // namespace kestrow::win32
