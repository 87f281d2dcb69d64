// Kestrow: updates all views of all the drafts in one folder through the
// CAD system's automation server.
#include <windows.h>
#include <commctrl.h>

#include "ComApartment.h"
#include "Form1Window.h"
#include "HandlerBoundary.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Before anything else can load a DLL: only the system directory, so a
    // DLL planted beside the program or a drawing folder is never loaded.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);

    kestrow::win32::ComApartment apartment;
    if (!apartment.Ok()) {
        MessageBoxW(nullptr, L"Kestrow could not start COM on this computer.", kestrow::Form1::Caption,
                    MB_OK | MB_ICONERROR);
        return 1;
    }
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    kestrow::win32::Form1Window form;
    bool loaded = false;
    kestrow::win32::RunHandler(nullptr, kestrow::Form1::Caption, [&] {
        form.Load();
        loaded = true;
    });
    if (!loaded) return 1;
    form.Show();

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (form.PreTranslate(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
