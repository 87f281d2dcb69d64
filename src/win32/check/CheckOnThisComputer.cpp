#include "check/CheckOnThisComputer.h"

#include <windows.h>

#include "automation/ServerImage.h"
#include "automation/SessionThread.h"
#include "server/AutomationContract.h"
#include "check/CheckFolder.h"
#include "check/ProgramVersion.h"
#include "files/ExportFilesOnDisk.h"
#include "files/WholeFile.h"
#include "system/ComApartment.h"

namespace kestrow::win32 {
namespace {

class ComputerFacts : public CheckPlatform {
public:
    explicit ComputerFacts(CheckFolder& folder) : folder_(folder) {}

    RegistrationFacts Registration() override {
        const LocalServerRegistration registered = ReadLocalServerRegistration(contract::kProgId);
        RegistrationFacts facts;
        facts.progId = contract::kProgId;
        facts.classId = registered.classId;
        facts.commandLine = registered.commandLine;
        facts.program = registered.program;
        facts.programExists = !registered.program.empty() && ProgramFileExists(registered.program);
        if (facts.programExists) {
            const ProgramVersion version = ReadProgramVersion(registered.program);
            facts.fileVersion = version.fileVersion;
            facts.productName = version.productName;
        }
        return facts;
    }

    MachineFacts Machine() override {
        MachineFacts facts;
        MEMORYSTATUSEX memory{};
        memory.dwLength = sizeof(memory);
        if (GlobalMemoryStatusEx(&memory)) facts.freeMemoryBytes = memory.ullAvailPhys;
        facts.cores = static_cast<std::int32_t>(GetActiveProcessorCount(ALL_PROCESSOR_GROUPS));
        if (facts.cores < 1) facts.cores = 1;
        wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
        DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
        if (GetComputerNameW(name, &length)) facts.computer.assign(name, length);
        return facts;
    }

    std::wstring CopySample(const std::wstring& draft) override { return folder_.CopyIn(draft); }

    std::string PictureBytes(const std::wstring& path) override { return ReadWhole(path).value_or(std::string()); }

private:
    CheckFolder& folder_;
};

}  // namespace

CheckFacts CheckThisComputer(const CheckRequest& request, const std::shared_ptr<const std::atomic<bool>>& stop) {
    const ThreadApartment apartment(COINIT_MULTITHREADED);
    CheckFolder folder;
    ComputerFacts computer(folder);
    ExportFilesOnDisk exportFiles;
    // Shared with the sessions' threads: one left behind on a hung call may
    // wake long after the check.
    const auto times = std::make_shared<CallTimes>();
    // The sessions are gone, their threads done with the folder, before the
    // folder goes.
    SessionThreadLauncher sessions(BusyRetry{}, times, [&folder] { return folder.PictureFolder(); });
    return ProbeCadSystem(request, CheckPorts{computer, sessions, *times, exportFiles}, stop);
}

}  // namespace kestrow::win32
