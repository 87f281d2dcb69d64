#pragma once
// Runs calls on a window's thread from other threads: each call travels as
// a posted message that the window hands to Run().
#include <windows.h>

#include <functional>
#include <future>
#include <memory>

namespace kestrow::win32 {

class UiThreadCalls {
public:
    UiThreadCalls(HWND window, UINT message) : window_(window), message_(message) {}

    // Returns at once; the call runs later on the window's thread, in order
    // with every other call posted. Dropped when the window is gone.
    void Post(std::function<void()> call) const {
        auto* posted = new std::function<void()>(std::move(call));
        if (!PostMessageW(window_, message_, 0, reinterpret_cast<LPARAM>(posted))) delete posted;
    }

    // Runs `call` on the window's thread and waits for its result;
    // `fallback` when the window is gone.
    template <typename Result>
    Result Send(std::function<Result()> call, Result fallback) const {
        auto promise = std::make_shared<std::promise<Result>>();
        std::future<Result> answer = promise->get_future();
        Post([promise, call = std::move(call)] {
            try {
                promise->set_value(call());
            } catch (...) {
                promise->set_exception(std::current_exception());
            }
        });
        try {
            return answer.get();
        } catch (...) {
            return fallback;  // never answered, or the call failed
        }
    }

    // For the window's procedure: runs one posted call.
    static void Run(LPARAM lParam) {
        std::unique_ptr<std::function<void()>> call(reinterpret_cast<std::function<void()>*>(lParam));
        (*call)();
    }

    HWND Window() const { return window_; }

private:
    HWND window_;
    UINT message_;
};

}  // namespace kestrow::win32
