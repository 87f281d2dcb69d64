#pragma once
#include <ole2.h>

namespace kestrow::win32 {

// The user-interface thread's single-threaded apartment, with OLE, for as
// long as it lives. The shell's folder dialog needs OLE, not only COM.
class ComApartment {
public:
    ComApartment() : result_(OleInitialize(nullptr)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_)) OleUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool Ok() const { return SUCCEEDED(result_); }

private:
    HRESULT result_;
};

// COM on a worker thread for as long as it lives: a single-threaded
// apartment of its own by default, or the process's multithreaded one.
class ThreadApartment {
public:
    explicit ThreadApartment(DWORD model = COINIT_APARTMENTTHREADED) : result_(CoInitializeEx(nullptr, model)) {}
    ~ThreadApartment() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ThreadApartment(const ThreadApartment&) = delete;
    ThreadApartment& operator=(const ThreadApartment&) = delete;
    bool Ok() const { return SUCCEEDED(result_); }

private:
    HRESULT result_;
};

}  // namespace kestrow::win32
