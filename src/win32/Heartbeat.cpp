#include "Heartbeat.h"

#include <chrono>

namespace kestrow::win32 {

Heartbeat::Heartbeat(HWND window, UINT message, DWORD intervalMs) {
    thread_ = std::thread([this, window, message, intervalMs] {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!wake_.wait_for(lock, std::chrono::milliseconds(intervalMs), [this] { return stop_; }))
            PostMessageW(window, message, 0, 0);
    });
}

Heartbeat::~Heartbeat() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

}  // namespace kestrow::win32
