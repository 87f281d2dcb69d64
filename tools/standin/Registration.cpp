#include "Registration.h"

#include <windows.h>
#include <oleauto.h>

#include <vector>

#include "server/AutomationContract.h"
#include "Objects.h"

namespace standin {
namespace {

const wchar_t* const kProgId = kestrow::contract::kProgId;
constexpr const wchar_t* kServerName = L"Kestrow stand-in automation server";
// The typelib marshaller (PSOAInterface).
constexpr const wchar_t* kTypeLibMarshaller = L"{00020424-0000-0000-C000-000000000046}";
constexpr const wchar_t* kMarkerName = L"\\kestrow-private-prefix";

std::wstring GuidText(const GUID& guid) {
    wchar_t text[64];
    StringFromGUID2(guid, text, 64);
    return text;
}

bool KeyExists(const std::wstring& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

// A key's default value, "" when there is none.
std::wstring DefaultValue(const std::wstring& key) {
    wchar_t buffer[512];
    DWORD size = sizeof(buffer);
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return std::wstring();
    return buffer;
}

bool SameText(const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) == 0; }

bool SetValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    return RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), name, REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

struct Interface {
    const IID& iid;
    const wchar_t* name;
};

std::vector<Interface> Interfaces() {
    return {{kApplicationIid, L"StandInApplication"},
            {kDocumentsIid, L"StandInDocuments"},
            {kDocumentIid, L"StandInDocument"},
            {kViewsIid, L"StandInViews"},
            {kViewIid, L"StandInView"}};
}

std::wstring InterfaceKey(const IID& iid) { return L"Interface\\" + GuidText(iid); }

// Each key the stand-in writes, and whether it is its own: the keys under
// its own GUIDs always are; the CAD system's ProgID and interface keys are
// only when they point back at the stand-in.
bool ProgIdIsOurs() { return SameText(DefaultValue(std::wstring(kProgId) + L"\\CLSID"), GuidText(kStandInClsid)); }
bool InterfaceIsOurs(const IID& iid) {
    return SameText(DefaultValue(InterfaceKey(iid) + L"\\TypeLib"), GuidText(kTypeLibraryId));
}

bool InPrivatePrefix() {
    wchar_t folder[MAX_PATH];
    const UINT length = GetWindowsDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    return GetFileAttributesW((std::wstring(folder) + kMarkerName).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

}  // namespace

RegistrationResult Register(const std::wstring& exePath, bool quoted) {
    if (!InPrivatePrefix()) return RegistrationResult::NotPrivatePrefix;
    if (KeyExists(kProgId) && !ProgIdIsOurs()) return RegistrationResult::Taken;
    for (const Interface& each : Interfaces())
        if (KeyExists(InterfaceKey(each.iid)) && !InterfaceIsOurs(each.iid)) return RegistrationResult::Taken;

    const std::wstring clsid = GuidText(kStandInClsid);
    const std::wstring library = GuidText(kTypeLibraryId);
    const std::wstring clsidKey = L"CLSID\\" + clsid;
    const std::wstring libraryKey = L"TypeLib\\" + library + L"\\1.0";
    bool ok = SetValue(clsidKey, nullptr, kServerName) &&
              SetValue(clsidKey + L"\\LocalServer32", nullptr, quoted ? L"\"" + exePath + L"\"" : exePath) &&
              SetValue(clsidKey + L"\\ProgID", nullptr, kProgId) && SetValue(clsidKey + L"\\TypeLib", nullptr, library) &&
              SetValue(kProgId, nullptr, kServerName) && SetValue(std::wstring(kProgId) + L"\\CLSID", nullptr, clsid) &&
              SetValue(libraryKey, nullptr, kServerName) && SetValue(libraryKey + L"\\0\\win64", nullptr, exePath) &&
              SetValue(libraryKey + L"\\FLAGS", nullptr, L"0") && SetValue(libraryKey + L"\\HELPDIR", nullptr, FolderOf(exePath));
    for (const Interface& each : Interfaces()) {
        const std::wstring key = InterfaceKey(each.iid);
        ok = ok && SetValue(key, nullptr, each.name) && SetValue(key + L"\\ProxyStubClsid32", nullptr, kTypeLibMarshaller) &&
             SetValue(key + L"\\ProxyStubClsid", nullptr, kTypeLibMarshaller) &&
             SetValue(key + L"\\TypeLib", nullptr, library) && SetValue(key + L"\\TypeLib", L"Version", L"1.0");
    }
    return ok ? RegistrationResult::Done : RegistrationResult::Failed;
}

RegistrationResult Unregister(const std::wstring&) {
    if (!InPrivatePrefix()) return RegistrationResult::NotPrivatePrefix;
    if (ProgIdIsOurs()) RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
    for (const Interface& each : Interfaces())
        if (InterfaceIsOurs(each.iid)) RegDeleteTreeW(HKEY_CLASSES_ROOT, InterfaceKey(each.iid).c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + GuidText(kStandInClsid)).c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"TypeLib\\" + GuidText(kTypeLibraryId)).c_str());
    return RegistrationResult::Done;
}

}  // namespace standin
