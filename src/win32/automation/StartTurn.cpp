#include "automation/StartTurn.h"

#include <sddl.h>

#include <memory>
#include <string>

namespace kestrow::win32 {
namespace {

constexpr const wchar_t* kTurnName = L"Kestrow.SessionStart";
// Everyone may wait for the turn and give it back, and nothing more (so that
// nobody can lock the others out by changing who may); the low label lets
// a process of any integrity level open what an elevated Kestrow made.
constexpr const wchar_t* kTurnSecurity = L"D:(A;;0x00100001;;;WD)S:(ML;;NW;;;LW)";
constexpr DWORD kTurnRights = SYNCHRONIZE | MUTEX_MODIFY_STATE;

struct LocalFree_ {
    void operator()(void* memory) const { LocalFree(memory); }
};

HANDLE OpenOrMakeTurn(const std::wstring& name, bool& computerWide) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorW(kTurnSecurity, SDDL_REVISION_1, &descriptor, nullptr);
    const std::unique_ptr<void, LocalFree_> owned(descriptor);
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
    for (const wchar_t* scope : {L"Global\\", L"Local\\"}) {
        // Opened with only the rights the turn needs: a mutex somebody made
        // with a narrower descriptor may still grant those.
        if (HANDLE mutex = CreateMutexExW(descriptor ? &attributes : nullptr, (scope + name).c_str(), 0, kTurnRights)) {
            computerWide = scope == std::wstring(L"Global\\");
            return mutex;
        }
    }
    // No named one at all: the sessions of this run still take turns.
    return CreateMutexExW(nullptr, nullptr, 0, kTurnRights);
}

}  // namespace

StartTurns::StartTurns() {
    bool computerWide = false;
    mutex_.reset(OpenOrMakeTurn(kTurnName, computerWide));
    computerWide_ = computerWide;
}

StartTurn::StartTurn(HANDLE mutex) : mutex_(mutex) {}

StartTurn::~StartTurn() { GiveBack(); }

TurnTaken StartTurn::Take(const std::function<bool()>& keepWaiting, std::chrono::milliseconds longest) {
    // Without the objects a turn needs, the start goes ahead without one.
    if (!mutex_ || !taken_ || !done_) return TurnTaken::Yes;
    holder_ = std::thread([mutex = mutex_, taken = taken_.get(), done = done_.get()] {
        HANDLE waits[2] = {done, mutex};
        const DWORD got = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        const bool owned = got == WAIT_OBJECT_0 + 1 || got == WAIT_ABANDONED_0 + 1;
        // Also when the wait failed: the start then goes ahead without it.
        SetEvent(taken);
        if (!owned) return;
        WaitForSingleObject(done, INFINITE);
        ReleaseMutex(mutex);
    });
    const ULONGLONG giveUpAt = GetTickCount64() + static_cast<ULONGLONG>(longest.count());
    while (WaitForSingleObject(taken_.get(), 50) == WAIT_TIMEOUT) {
        if (!keepWaiting()) {
            GiveBack();
            return TurnTaken::Stopped;
        }
        if (GetTickCount64() >= giveUpAt) {
            // The holder stops waiting: a turn it took later would be held
            // by nobody's start.
            GiveBack();
            return TurnTaken::WaitedTooLong;
        }
    }
    return TurnTaken::Yes;
}

void StartTurn::GiveBack() {
    if (!holder_.joinable()) return;
    SetEvent(done_.get());
    holder_.join();
}

}  // namespace kestrow::win32
