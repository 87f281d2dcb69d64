#include "MessageBoxes.h"

#include <algorithm>
#include <string>
#include <vector>

#include "system/SystemText.h"

namespace standin {
namespace {

struct ButtonKind {
    const wchar_t* label;
    int id;
};
constexpr ButtonKind kButtons[] = {{L"ok", IDOK},         {L"cancel", IDCANCEL},       {L"abort", IDABORT},
                                   {L"retry", IDRETRY},   {L"ignore", IDIGNORE},       {L"yes", IDYES},
                                   {L"no", IDNO},         {L"try again", IDTRYAGAIN},  {L"continue", IDCONTINUE}};

// The message box kinds a CAD system's questions come in, by their buttons.
UINT MessageBoxKind(const std::wstring& buttons) {
    if (buttons == L"ok/cancel") return MB_OKCANCEL;
    if (buttons == L"yes/no") return MB_YESNO;
    if (buttons == L"yes/no/cancel") return MB_YESNOCANCEL;
    if (buttons == L"retry/cancel") return MB_RETRYCANCEL;
    if (buttons == L"abort/retry/ignore") return MB_ABORTRETRYIGNORE;
    if (buttons == L"cancel/try again/continue") return MB_CANCELTRYCONTINUE;
    return MB_OK;
}

const wchar_t* AnswerName(int answer) {
    switch (answer) {
        case IDOK: return L"OK";
        case IDCANCEL: return L"Cancel";
        case IDABORT: return L"Abort";
        case IDRETRY: return L"Retry";
        case IDIGNORE: return L"Ignore";
        case IDYES: return L"Yes";
        case IDNO: return L"No";
        case IDTRYAGAIN: return L"Try Again";
        case IDCONTINUE: return L"Continue";
        default: return L"nothing";
    }
}

// "OK/!Cancel/~Retry": the buttons in lower case without their marks, the
// ids of those greyed out ('!') and of those greyed out until the box has
// stood for a while ('~'), as a dialog that is still getting ready.
std::wstring ButtonsOf(std::wstring spec, std::vector<int>& greyed, std::vector<int>& greyedAWhile) {
    CharLowerBuffW(spec.data(), static_cast<DWORD>(spec.size()));
    std::wstring buttons;
    size_t at = 0;
    while (at <= spec.size()) {
        size_t end = spec.find(L'/', at);
        if (end == std::wstring::npos) end = spec.size();
        std::wstring button = spec.substr(at, end - at);
        if (!button.empty() && (button[0] == L'!' || button[0] == L'~')) {
            std::vector<int>& ids = button[0] == L'!' ? greyed : greyedAWhile;
            button.erase(0, 1);
            for (const ButtonKind& kind : kButtons)
                if (button == kind.label) ids.push_back(kind.id);
        }
        buttons += (buttons.empty() ? L"" : L"/") + button;
        at = end + 1;
    }
    return buttons;
}

// What this thread does to the message boxes it shows: the buttons it
// greys out, and the box it shows on top of each (which disables the one
// below until it is answered). A hook procedure is told nothing else.
struct BoxTouches {
    Server* server = nullptr;
    std::vector<int> greyed;
    std::vector<int> greyedAWhile;
    HWND getsReady = nullptr;  // the last box whose buttons were greyed a while
    std::wstring coverTitle;  // "" for none
    HWND covered = nullptr;   // the last box covered, which is covered once
    HWND cover = nullptr;     // the box on top while it is shown
};
thread_local BoxTouches* tTouches = nullptr;

// A box on top goes by itself after so long, as a progress note does.
constexpr UINT kCoverMs = 2000;

void CALLBACK CloseCover(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    if (tTouches && IsWindow(tTouches->cover)) EndDialog(tTouches->cover, IDOK);
}

void CALLBACK EnableGreyedAWhile(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    if (!tTouches || !IsWindow(tTouches->getsReady)) return;
    for (const int id : tTouches->greyedAWhile)
        if (const HWND button = GetDlgItem(tTouches->getsReady, id)) EnableWindow(button, TRUE);
}

void CALLBACK ShowCover(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    if (!tTouches || !IsWindow(tTouches->covered)) return;
    const HWND below = tTouches->covered;
    SetTimer(nullptr, 0, kCoverMs, CloseCover);
    tTouches->server->Journal(L"dialog shown " + tTouches->coverTitle);
    const int answer = MessageBoxW(below, L"Please wait.", tTouches->coverTitle.c_str(), MB_OK | MB_ICONINFORMATION);
    tTouches->server->Journal(std::wstring(L"dialog answered ") + AnswerName(answer));
}

LRESULT CALLBACK OnCbt(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && tTouches) {
        const HWND box = reinterpret_cast<HWND>(wParam);
        for (const int id : tTouches->greyed)
            if (const HWND button = GetDlgItem(box, id)) EnableWindow(button, FALSE);
        if (!tTouches->greyedAWhile.empty() && box != tTouches->getsReady && GetWindow(box, GW_OWNER) == nullptr) {
            tTouches->getsReady = box;
            for (const int id : tTouches->greyedAWhile)
                if (const HWND button = GetDlgItem(box, id)) EnableWindow(button, FALSE);
            SetTimer(nullptr, 0, kCoverMs, EnableGreyedAWhile);
        }
        if (GetWindow(box, GW_OWNER) == tTouches->covered) tTouches->cover = box;
        // The cover is shown from the box's own message loop, once it runs.
        if (!tTouches->coverTitle.empty() && box != tTouches->covered && GetWindow(box, GW_OWNER) == nullptr) {
            tTouches->covered = box;
            SetTimer(nullptr, 0, 0, ShowCover);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Touches the boxes this thread shows while it lives.
class TouchedBoxes {
public:
    explicit TouchedBoxes(BoxTouches& touches)
        : hook_(touches.greyed.empty() && touches.greyedAWhile.empty() && touches.coverTitle.empty()
                    ? nullptr
                    : SetWindowsHookExW(WH_CBT, OnCbt, nullptr, GetCurrentThreadId())) {
        tTouches = &touches;
    }
    ~TouchedBoxes() {
        tTouches = nullptr;
        if (hook_) UnhookWindowsHookEx(hook_);
    }
    TouchedBoxes(const TouchedBoxes&) = delete;
    TouchedBoxes& operator=(const TouchedBoxes&) = delete;

private:
    HHOOK hook_;
};

}  // namespace

void ShowDialogs(Server& server, const Fault& fault) {
    const std::wstring spec = kestrow::win32::FromUtf8(fault.text);
    const size_t first = spec.find(L'|');
    const size_t second = first == std::wstring::npos ? std::wstring::npos : spec.find(L'|', first + 1);
    const std::wstring title = spec.substr(0, first);
    const std::wstring text = first == std::wstring::npos ? L"" : spec.substr(first + 1, second - first - 1);
    const size_t third = second == std::wstring::npos ? std::wstring::npos : spec.find(L'|', second + 1);
    BoxTouches touches;
    touches.server = &server;
    if (third != std::wstring::npos) touches.coverTitle = spec.substr(third + 1);
    const UINT kind = MessageBoxKind(
        ButtonsOf(second == std::wstring::npos ? L"" : spec.substr(second + 1, third - second - 1), touches.greyed,
                  touches.greyedAWhile));
    const TouchedBoxes touching(touches);
    for (std::uint32_t shown = 0; shown < std::max<std::uint32_t>(fault.milliseconds, 1); ++shown) {
        server.Journal(L"dialog shown " + title);
        const int answer = MessageBoxW(nullptr, text.c_str(), title.c_str(), kind | MB_ICONWARNING);
        server.Journal(std::wstring(L"dialog answered ") + AnswerName(answer));
    }
}

}  // namespace standin
