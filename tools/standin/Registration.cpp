#include "Registration.h"

#include <windows.h>
#include <oleauto.h>

#include "Objects.h"

namespace standin {
namespace {

constexpr const wchar_t* kProgId = L"SolidEdge.Application";

std::wstring GuidText(const GUID& guid) {
    wchar_t text[64];
    StringFromGUID2(guid, text, 64);
    return text;
}

bool SetValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    return RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), name, REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// The CLSID the ProgID names now, or "" when it is not registered.
std::wstring RegisteredClsid() {
    wchar_t buffer[64];
    DWORD size = sizeof(buffer);
    const std::wstring key = std::wstring(kProgId) + L"\\CLSID";
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return std::wstring();
    return buffer;
}

}  // namespace

RegistrationResult Register(const std::wstring& exePath) {
    const std::wstring clsid = GuidText(kStandInClsid);
    const std::wstring existing = RegisteredClsid();
    if (!existing.empty() && _wcsicmp(existing.c_str(), clsid.c_str()) != 0) return RegistrationResult::ProgIdTaken;
    // A ProgID key without a CLSID still belongs to someone else.
    HKEY probe = nullptr;
    if (existing.empty() && RegOpenKeyExW(HKEY_CLASSES_ROOT, kProgId, 0, KEY_READ, &probe) == ERROR_SUCCESS) {
        RegCloseKey(probe);
        return RegistrationResult::ProgIdTaken;
    }

    const std::wstring clsidKey = L"CLSID\\" + clsid;
    const bool ok = SetValue(clsidKey, nullptr, L"Kestrow stand-in automation server") &&
                    SetValue(clsidKey + L"\\LocalServer32", nullptr, L"\"" + exePath + L"\"") &&
                    SetValue(clsidKey + L"\\ProgID", nullptr, kProgId) &&
                    SetValue(kProgId, nullptr, L"Kestrow stand-in automation server") &&
                    SetValue(std::wstring(kProgId) + L"\\CLSID", nullptr, clsid);
    if (!ok) return RegistrationResult::Failed;

    ITypeLib* library = nullptr;
    if (FAILED(LoadTypeLibEx(exePath.c_str(), REGKIND_REGISTER, &library))) return RegistrationResult::Failed;
    library->Release();
    return RegistrationResult::Done;
}

RegistrationResult Unregister(const std::wstring& exePath) {
    const std::wstring clsid = GuidText(kStandInClsid);
    if (_wcsicmp(RegisteredClsid().c_str(), clsid.c_str()) == 0) RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + clsid).c_str());
    ITypeLib* library = nullptr;
    if (SUCCEEDED(LoadTypeLibEx(exePath.c_str(), REGKIND_NONE, &library))) {
        TLIBATTR* attributes = nullptr;
        if (SUCCEEDED(library->GetLibAttr(&attributes))) {
            UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum, attributes->lcid,
                              attributes->syskind);
            library->ReleaseTLibAttr(attributes);
        }
        library->Release();
    }
    return RegistrationResult::Done;
}

}  // namespace standin
