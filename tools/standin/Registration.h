#pragma once
#include <string>

namespace standin {

enum class RegistrationResult {
    Done = 0,
    Failed = 1,
    Taken = 3,           // a key it would write belongs to another server
    NotPrivatePrefix = 4,  // no marker of the project's private Wine prefix
};

// Registers the server under the CAD system's ProgID and interface
// identifiers, its own CLSID with this program as local server, and its
// type library, whose marshaller carries the interfaces across processes.
// It only ever runs in a Wine prefix that the project's scripts made (they
// leave a marker file in its Windows folder), and it checks every key
// before writing any: a key that belongs to another server (the real CAD
// system's) makes it refuse, with nothing written.
// `quoted` false writes the local server's command line without quotes, as
// some installers do under a folder with spaces.
RegistrationResult Register(const std::wstring& exePath, bool quoted = true);
// Removes exactly the keys that are the stand-in's own, and leaves any
// other server's keys as they are.
RegistrationResult Unregister(const std::wstring& exePath);

}  // namespace standin
