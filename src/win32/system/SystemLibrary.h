#pragma once
// A library of Windows' own, loaded from the system folder only and freed
// when its owner goes. What the program imports at start is looked for
// beside it first; a library that is not among those Windows always keeps
// loaded is loaded this way instead, so that a planted copy is never taken.
#include <windows.h>

namespace kestrow::win32 {

class SystemLibrary {
public:
    explicit SystemLibrary(const wchar_t* name) : module_(LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {}
    ~SystemLibrary() {
        if (module_) FreeLibrary(module_);
    }
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;

    // The function `name` as type `Function`; null when it is not there.
    template <typename Function>
    Function* Find(const char* name) const {
        return module_ ? reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module_, name))) : nullptr;
    }

private:
    HMODULE module_;
};

}  // namespace kestrow::win32
