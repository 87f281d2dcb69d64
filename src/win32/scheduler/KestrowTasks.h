#pragma once
// Kestrow's tasks in the Windows Task Scheduler, through its COM interface
// (ITaskService): only ever those in its task folder \Kestrow, so that a
// task Kestrow did not make is never changed or deleted. Failures are
// RuntimeErrors that carry the system's reason.
#include <windows.h>
#include <taskschd.h>
#include <wrl/client.h>

#include <optional>
#include <string>
#include <vector>

#include "common/RuntimeError.h"
#include "schedule/Night.h"

namespace kestrow::win32 {

// One task as the Task Scheduler reports it; what it cannot say is left out.
struct RegisteredTask {
    std::wstring name;
    std::wstring xml;  // its definition
    std::optional<SYSTEMTIME> nextRun;
    std::optional<SYSTEMTIME> lastRun;
    std::optional<LONG> lastResult;
};

// The account and password a task that runs whether the user is logged on
// or not is registered with. The password is wiped when the object goes.
class Credentials {
public:
    // Copied straight from the caller's buffer, which the caller wipes.
    Credentials(std::wstring user, const wchar_t* password) : user_(std::move(user)), password_(password) {}
    ~Credentials() { SecureZeroMemory(password_.data(), password_.size() * sizeof(wchar_t)); }
    Credentials(const Credentials&) = delete;
    Credentials& operator=(const Credentials&) = delete;
    const std::wstring& User() const { return user_; }
    const std::wstring& Password() const { return password_; }

private:
    std::wstring user_;
    std::wstring password_;
};

class KestrowTasks {
public:
    // Connects to the Task Scheduler of this computer.
    KestrowTasks();

    std::vector<RegisteredTask> List();
    std::optional<RegisteredTask> Find(const std::wstring& name);
    // Creates a new task, which fails when one of that name was made
    // meanwhile, or replaces the definition of one that exists, which fails
    // when it was deleted meanwhile: another window or user is never
    // overruled. The folder \Kestrow is made when it is missing.
    // `credentials` only for a night that runs whether the user is logged on
    // or not.
    enum class Save { New, Change };
    void Register(const std::wstring& name, const std::wstring& xml, Save save, NightLogon logon,
                  const Credentials* credentials);
    // False when \Kestrow holds no task of that name.
    bool Delete(const std::wstring& name);
    void RunNow(const std::wstring& name);

private:
    // \Kestrow, or null when it does not exist yet.
    Microsoft::WRL::ComPtr<ITaskFolder> Folder();
    std::vector<std::wstring> NamesInFolder(ITaskFolder& folder);

    Microsoft::WRL::ComPtr<ITaskService> service_;
};

// Why a night could not be saved when another window or user got there
// first: a task of its name made, or the task deleted.
RuntimeError MadeMeanwhile(HRESULT hr, const std::wstring& name);
RuntimeError DeletedMeanwhile(HRESULT hr, const std::wstring& name);

// A task scheduler's result code in the system's words, "" when it has none.
std::wstring TaskSchedulerMessage(HRESULT hr);

}  // namespace kestrow::win32
