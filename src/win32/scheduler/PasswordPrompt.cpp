#include "scheduler/PasswordPrompt.h"

#define SECURITY_WIN32
#include <security.h>
#include <wincred.h>

#include "common/RuntimeError.h"
#include "system/SystemLibrary.h"
#include "system/SystemText.h"

namespace kestrow::win32 {
namespace {

// "COMPUTER\name" or "DOMAIN\name", as the Task Scheduler takes an account.
std::wstring ThisUser() {
    wchar_t name[CREDUI_MAX_USERNAME_LENGTH + 1] = L"";
    ULONG size = CREDUI_MAX_USERNAME_LENGTH + 1;
    const SystemLibrary security(L"secur32.dll");
    const auto userName = security.Find<decltype(GetUserNameExW)>("GetUserNameExW");
    if (userName && userName(NameSamCompatible, name, &size)) return name;
    DWORD plainSize = CREDUI_MAX_USERNAME_LENGTH + 1;
    return GetUserNameW(name, &plainSize) ? name : L"";
}

}  // namespace

std::unique_ptr<Credentials> AskForPassword(HWND owner) {
    wchar_t user[CREDUI_MAX_USERNAME_LENGTH + 1] = L"";
    wchar_t password[CREDUI_MAX_PASSWORD_LENGTH + 1] = L"";
    wcsncpy(user, ThisUser().c_str(), CREDUI_MAX_USERNAME_LENGTH);
    CREDUI_INFOW info{sizeof(info), owner,
                      L"Your password, for a night while you are logged off.",
                      L"Schedule a night", nullptr};
    BOOL save = FALSE;
    const SystemLibrary credentialPrompt(L"credui.dll");
    const auto prompt = credentialPrompt.Find<decltype(CredUIPromptForCredentialsW)>("CredUIPromptForCredentialsW");
    if (!prompt)
        throw RuntimeError(HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND), kProgramSource,
                           L"Windows' password prompt cannot be found on this computer");
    const DWORD result = prompt(
        &info, L"Kestrow's night", nullptr, 0, user, CREDUI_MAX_USERNAME_LENGTH + 1, password,
        CREDUI_MAX_PASSWORD_LENGTH + 1, &save,
        CREDUI_FLAGS_GENERIC_CREDENTIALS | CREDUI_FLAGS_KEEP_USERNAME | CREDUI_FLAGS_DO_NOT_PERSIST |
            CREDUI_FLAGS_ALWAYS_SHOW_UI);
    std::unique_ptr<Credentials> credentials;
    if (result == NO_ERROR) credentials = std::make_unique<Credentials>(user, password);
    SecureZeroMemory(password, sizeof(password));
    if (result == NO_ERROR || result == ERROR_CANCELLED) return credentials;
    throw RuntimeError(HRESULT_FROM_WIN32(result), kProgramSource,
                       L"Windows could not ask for your password: " + SystemMessage(HRESULT_FROM_WIN32(result)));
}

}  // namespace kestrow::win32
