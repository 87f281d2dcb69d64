#include "automation/StartedProcesses.h"

#include <algorithm>

#include "automation/ServerImage.h"
#include "common/CommandLineProgram.h"
#include "system/ProcessCommandLine.h"

namespace kestrow::win32 {

StartedProcesses StartedProcesses::OfServer(const std::wstring& progId) {
    const LocalServerRegistration registration = ReadLocalServerRegistration(progId);
    return StartedProcesses(FileNameOf(registration.program), registration.runsAsSetUser);
}

void StartedProcesses::StartBegins() {
    seen_.clear();
    frozen_ = false;
    Look();
    for (Seen& seen : seen_) seen.appeared = false;
}

void StartedProcesses::TryBegins() {
    Look();
    for (Seen& seen : seen_) seen.appeared = false;
}

void StartedProcesses::Look() {
    for (Seen& seen : seen_) seen.listed = false;
    for (ImageProcess& found : ProcessesOfImage(image_)) {
        const auto known = std::find_if(seen_.begin(), seen_.end(), [&](const Seen& seen) {
            // An id alone may have been taken again: an opened process is
            // known by its creation time too.
            if (seen.id != found.id || seen.process.has_value() != found.process.has_value()) return false;
            return !found.process || seen.process->Identity() == found.process->Identity();
        });
        if (known != seen_.end()) {
            known->listed = true;
            continue;
        }
        seen_.push_back(Seen{found.id, std::move(found.process), !frozen_, std::nullopt, found.otherLogon, true});
    }
    for (Seen& seen : seen_)
        if (!seen.launchedByCom) ReadCommandLine(seen);
}

bool StartedProcesses::Unread() const {
    return std::any_of(seen_.begin(), seen_.end(), [](const Seen& seen) {
        return seen.appeared && seen.process && !seen.launchedByCom && seen.Running();
    });
}

void StartedProcesses::ReadCommandLine(Seen& seen) {
    if (!seen.process) return;
    if (const std::optional<std::wstring> line = CommandLineOf(seen.process->Handle()))
        seen.launchedByCom = CarriesLaunchSwitch(*line);
}

StartFacts StartedProcesses::Facts() const {
    StartFacts facts;
    facts.imageKnown = !image_.empty();
    facts.everyLogonCounts = everyLogon_;
    for (const Seen& seen : seen_)
        facts.processes.push_back(ServerProcessSeen{static_cast<std::uint32_t>(seen.id), seen.appeared,
                                                    seen.launchedByCom.value_or(false), seen.otherLogon,
                                                    seen.Running()});
    return facts;
}

const OwnedProcess* StartedProcesses::Find(DWORD id) const {
    const auto found = std::find_if(seen_.begin(), seen_.end(),
                                    [id](const Seen& seen) { return seen.id == id && seen.process; });
    return found == seen_.end() ? nullptr : &*found->process;
}

}  // namespace kestrow::win32
