// Kestrow: updates all views of all the drafts in a folder through the CAD
// system's automation server; in its window, or unattended from the command
// line.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <vector>

#include "check/CheckCommand.h"
#include "console/CheckRun.h"
#include "console/CommandLineRun.h"
#include "console/ScheduleRun.h"
#include "system/ComApartment.h"
#include "window/Form1Window.h"
#include "ui/HandlerBoundary.h"

namespace {

std::vector<std::wstring> Arguments() {
    int count = 0;
    LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> arguments;
    for (int i = 1; list && i < count; ++i) arguments.emplace_back(list[i]);
    if (list) LocalFree(list);
    return arguments;
}

int RunWindow() {
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

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Before anything else can load a DLL: only the system directory, so a
    // DLL planted beside the program or a drawing folder is never loaded.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);

    const std::vector<std::wstring> arguments = Arguments();
    if (kestrow::AsksForSchedule(arguments)) return kestrow::win32::RunSchedule(kestrow::ParseScheduleCommand(arguments));
    if (kestrow::AsksForCheck(arguments)) return kestrow::win32::RunCheckCommand(kestrow::ParseCheckCommand(arguments));
    const kestrow::CommandLine line = kestrow::ParseCommandLine(arguments);
    if (line.action != kestrow::CommandLine::Action::Window) return kestrow::win32::RunCommandLine(line);
    return RunWindow();
}
