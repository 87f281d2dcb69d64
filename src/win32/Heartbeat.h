#pragma once
// Posts a message to a window at a steady pace for as long as it lives.
// While a call to the automation server is pending, COM consults the
// message filter only when a message arrives; the heartbeat makes sure one
// does, so a server that stopped answering is noticed.
#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace kestrow::win32 {

class Heartbeat {
public:
    Heartbeat(HWND window, UINT message, DWORD intervalMs);
    ~Heartbeat();
    Heartbeat(const Heartbeat&) = delete;
    Heartbeat& operator=(const Heartbeat&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace kestrow::win32
