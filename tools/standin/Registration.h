#pragma once
#include <string>

namespace standin {

enum class RegistrationResult { Done = 0, Failed = 1, ProgIdTaken = 3 };

// Registers the server under the ProgID, its CLSID with this program as
// local server, and its type library (which registers the interfaces with
// the automation marshaller). Refuses when the ProgID already belongs to
// another server: a real installation is never replaced.
RegistrationResult Register(const std::wstring& exePath);
RegistrationResult Unregister(const std::wstring& exePath);

}  // namespace standin
