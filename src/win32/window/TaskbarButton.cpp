#include "window/TaskbarButton.h"

namespace kestrow::win32 {

ITaskbarList3* TaskbarButton::List() {
    if (list_ || unavailable_) return list_.Get();
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&list_))) ||
        FAILED(list_->HrInit())) {
        list_.Reset();
        unavailable_ = true;
    }
    return list_.Get();
}

void TaskbarButton::Show(std::int32_t done, std::int32_t total, State state) {
    ITaskbarList3* list = List();
    if (!list || !window_) return;
    const TBPFLAG flag = state == State::Paused ? TBPF_PAUSED : state == State::Error ? TBPF_ERROR : TBPF_NORMAL;
    list->SetProgressState(window_, flag);
    list->SetProgressValue(window_, static_cast<ULONGLONG>(done > 0 ? done : 0),
                           static_cast<ULONGLONG>(total > 0 ? total : 1));
}

void TaskbarButton::Clear() {
    if (ITaskbarList3* list = List(); list && window_) list->SetProgressState(window_, TBPF_NOPROGRESS);
}

void TaskbarButton::FlashIfInBackground() {
    DWORD foregroundProcess = 0;
    GetWindowThreadProcessId(GetForegroundWindow(), &foregroundProcess);
    if (!window_ || foregroundProcess == GetCurrentProcessId()) return;
    FLASHWINFO flash{sizeof(flash), window_, FLASHW_ALL | FLASHW_TIMERNOFG, 0, 0};
    FlashWindowEx(&flash);
}

}  // namespace kestrow::win32
