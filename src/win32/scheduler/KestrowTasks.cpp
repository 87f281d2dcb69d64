#include "scheduler/KestrowTasks.h"

#include "common/RuntimeError.h"
#include "schedule/TaskDefinition.h"
#include "schedule/TaskNames.h"
#include "system/ComValues.h"
#include "system/SystemText.h"

namespace kestrow::win32 {
namespace {

using Microsoft::WRL::ComPtr;

constexpr const wchar_t* kSource = L"Task Scheduler";

void Check(HRESULT hr, const std::wstring& what) {
    if (SUCCEEDED(hr)) return;
    const std::wstring reason = TaskSchedulerMessage(hr);
    throw RuntimeError(hr, kSource, what + (reason.empty() ? L"" : L": " + reason));
}

bool NotFound(HRESULT hr) {
    return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
}

bool AlreadyExists(HRESULT hr) {
    return hr == HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS) || hr == HRESULT_FROM_WIN32(ERROR_FILE_EXISTS);
}

std::optional<SYSTEMTIME> TimeOf(DATE date) {
    SYSTEMTIME time{};
    if (date == 0 || !VariantTimeToSystemTime(date, &time)) return std::nullopt;
    return time;
}

RegisteredTask Describe(IRegisteredTask& task) {
    RegisteredTask described;
    BSTR text = nullptr;
    if (SUCCEEDED(task.get_Name(&text))) described.name = FromBstr(Bstr(text).get());
    text = nullptr;
    if (SUCCEEDED(task.get_Xml(&text))) described.xml = FromBstr(Bstr(text).get());
    DATE date = 0;
    // S_FALSE and SCHED_S_TASK_HAS_NOT_RUN say there is no such time.
    if (task.get_NextRunTime(&date) == S_OK) described.nextRun = TimeOf(date);
    const HRESULT lastRun = task.get_LastRunTime(&date);
    if (lastRun == S_OK) described.lastRun = TimeOf(date);
    LONG result = 0;
    if (SUCCEEDED(task.get_LastTaskResult(&result)))
        described.lastResult = result;
    else if (lastRun == SCHED_S_TASK_HAS_NOT_RUN)
        described.lastResult = SCHED_S_TASK_HAS_NOT_RUN;
    return described;
}

// The names of the files in the task store's folder for \Kestrow: how the
// tasks are found where the collection of registered tasks cannot be
// counted (Wine 8 registers tasks there but implements no collection).
std::vector<std::wstring> NamesInTaskStore() {
    wchar_t system[MAX_PATH] = L"";
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    const std::wstring pattern = std::wstring(system) + L"\\Tasks" + kKestrowTaskFolder + L"\\*";
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// How the task is registered: as the night says, or for a logon set by hand
// in the Task Scheduler, as its definition says, so that the Task Scheduler
// keeps it (registered otherwise, it would take the logon given here).
TASK_LOGON_TYPE LogonTypeFor(NightLogon logon, const std::wstring& xml, const std::wstring& name) {
    if (logon == NightLogon::WhenLoggedOn) return TASK_LOGON_INTERACTIVE_TOKEN;
    if (logon == NightLogon::WhetherLoggedOnOrNot) return TASK_LOGON_PASSWORD;
    switch (ReadTaskXml(xml).taskLogon) {
        case TaskLogon::InteractiveToken: return TASK_LOGON_INTERACTIVE_TOKEN;
        case TaskLogon::Password: return TASK_LOGON_PASSWORD;
        case TaskLogon::S4U: return TASK_LOGON_S4U;
        case TaskLogon::Group: return TASK_LOGON_GROUP;
        case TaskLogon::ServiceAccount: return TASK_LOGON_SERVICE_ACCOUNT;
        case TaskLogon::Unknown: break;
    }
    throw RuntimeError(E_INVALIDARG, kSource,
                       L"The task " + name + L" logs on in a way Kestrow does not know, and Kestrow leaves it as it is");
}

}  // namespace

RuntimeError MadeMeanwhile(HRESULT hr, const std::wstring& name) {
    return RuntimeError(hr, kSource,
                        L"The task " + name + L" cannot be made: another window or user made a task of that name "
                        L"meanwhile, and Kestrow leaves it as it is. Look at the list again.");
}

RuntimeError DeletedMeanwhile(HRESULT hr, const std::wstring& name) {
    return RuntimeError(hr, kSource,
                        L"The task " + name + L" cannot be changed: another window or user deleted it meanwhile, "
                        L"and Kestrow does not make it again. Look at the list again.");
}

std::wstring TaskSchedulerMessage(HRESULT hr) {
    std::wstring text = SystemMessage(hr);
    if (!text.empty()) return text;
    // The Task Scheduler's own codes (SCHED_E_*) are worded in its library.
    const HMODULE library = LoadLibraryExW(L"taskschd.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!library) return text;
    wchar_t* buffer = nullptr;
    const DWORD size = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      library, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (size) text.assign(buffer, size);
    if (buffer) LocalFree(buffer);
    FreeLibrary(library);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    return text;
}

KestrowTasks::KestrowTasks() {
    Check(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&service_)),
          L"The Task Scheduler cannot be reached");
    const Variant none;
    Check(service_->Connect(none, none, none, none), L"The Task Scheduler cannot be reached");
}

ComPtr<ITaskFolder> KestrowTasks::Folder() {
    ComPtr<ITaskFolder> folder;
    const HRESULT hr = service_->GetFolder(ToBstr(kKestrowTaskFolder).get(), &folder);
    if (NotFound(hr)) return nullptr;
    Check(hr, L"The Task Scheduler's folder \\Kestrow cannot be opened");
    return folder;
}

std::vector<std::wstring> KestrowTasks::NamesInFolder(ITaskFolder& folder) {
    ComPtr<IRegisteredTaskCollection> tasks;
    Check(folder.GetTasks(TASK_ENUM_HIDDEN, &tasks), L"Kestrow's tasks cannot be listed");
    LONG count = 0;
    const HRESULT counted = tasks->get_Count(&count);
    if (counted == E_NOTIMPL) return NamesInTaskStore();
    Check(counted, L"Kestrow's tasks cannot be listed");
    std::vector<std::wstring> names;
    for (LONG i = 1; i <= count; ++i) {
        Variant index;
        index.vt = VT_I4;
        index.lVal = i;
        ComPtr<IRegisteredTask> task;
        BSTR name = nullptr;
        if (SUCCEEDED(tasks->get_Item(index, &task)) && SUCCEEDED(task->get_Name(&name)))
            names.push_back(FromBstr(Bstr(name).get()));
    }
    return names;
}

std::vector<RegisteredTask> KestrowTasks::List() {
    const ComPtr<ITaskFolder> folder = Folder();
    if (!folder) return {};
    std::vector<RegisteredTask> tasks;
    for (const std::wstring& name : NamesInFolder(*folder.Get())) {
        ComPtr<IRegisteredTask> task;
        // A task deleted meanwhile is simply no longer listed.
        if (FAILED(folder->GetTask(ToBstr(name).get(), &task)) && !task) continue;
        tasks.push_back(Describe(*task.Get()));
        if (tasks.back().name.empty()) tasks.back().name = name;
    }
    return tasks;
}

std::optional<RegisteredTask> KestrowTasks::Find(const std::wstring& name) {
    const ComPtr<ITaskFolder> folder = Folder();
    if (!folder || !IsTaskName(name)) return std::nullopt;
    ComPtr<IRegisteredTask> task;
    const HRESULT hr = folder->GetTask(ToBstr(name).get(), &task);
    // A disabled task is found too: the call says so and still gives it.
    if (!task) {
        if (NotFound(hr)) return std::nullopt;
        Check(hr, L"The task " + name + L" cannot be read");
    }
    RegisteredTask described = Describe(*task.Get());
    if (described.name.empty()) described.name = name;
    return described;
}

void KestrowTasks::Register(const std::wstring& name, const std::wstring& xml, Save save, NightLogon logon,
                            const Credentials* credentials) {
    if (!IsTaskName(name)) throw RuntimeError(E_INVALIDARG, kSource, L"\"" + name + L"\" cannot name a task");
    ComPtr<ITaskFolder> folder = Folder();
    if (!folder) {
        ComPtr<ITaskFolder> root;
        Check(service_->GetFolder(ToBstr(L"\\").get(), &root), L"The Task Scheduler's folders cannot be opened");
        const Variant inherited;
        Check(root->CreateFolder(ToBstr(std::wstring(kKestrowTaskFolder).substr(1)).get(), inherited, &folder),
              L"The Task Scheduler's folder \\Kestrow cannot be made");
    }
    const TASK_LOGON_TYPE logonType = LogonTypeFor(logon, xml, name);
    Variant user, password;
    const bool withPassword = logonType == TASK_LOGON_PASSWORD;
    if (withPassword) {
        if (!credentials) throw RuntimeError(E_INVALIDARG, kSource, L"Windows needs your password for this night");
        user.vt = password.vt = VT_BSTR;
        user.bstrVal = ToBstr(credentials->User()).release();
        password.bstrVal = ToBstr(credentials->Password()).release();
    }
    const Variant sddl;
    ComPtr<IRegisteredTask> task;
    const HRESULT hr = folder->RegisterTask(ToBstr(name).get(), ToBstr(xml).get(),
                                            save == Save::New ? TASK_CREATE : TASK_UPDATE, user, password, logonType,
                                            sddl, &task);
    if (password.bstrVal) SecureZeroMemory(password.bstrVal, SysStringByteLen(password.bstrVal));
    if (save == Save::New && AlreadyExists(hr)) throw MadeMeanwhile(hr, name);
    if (save == Save::Change && NotFound(hr)) throw DeletedMeanwhile(hr, name);
    Check(hr, L"The task " + name + L" cannot be saved");
}

bool KestrowTasks::Delete(const std::wstring& name) {
    const ComPtr<ITaskFolder> folder = Folder();
    if (!folder || !IsTaskName(name)) return false;
    const HRESULT hr = folder->DeleteTask(ToBstr(name).get(), 0);
    if (NotFound(hr)) return false;
    Check(hr, L"The task " + name + L" cannot be deleted");
    return true;
}

void KestrowTasks::RunNow(const std::wstring& name) {
    const ComPtr<ITaskFolder> folder = Folder();
    ComPtr<IRegisteredTask> task;
    if (!folder || !IsTaskName(name) || (FAILED(folder->GetTask(ToBstr(name).get(), &task)) && !task))
        throw RuntimeError(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), kSource, L"The task " + name + L" is gone");
    const Variant none;
    ComPtr<IRunningTask> running;
    Check(task->Run(none, &running), L"The Task Scheduler could not start " + name);
}

}  // namespace kestrow::win32
