#include "automation/StartedProcesses.h"

#include <algorithm>

#include "automation/ServerImage.h"
#include "common/CommandLineProgram.h"
#include "system/ProcessCommandLine.h"

namespace kestrow::win32 {

std::optional<StartedProcesses> StartedProcesses::OfRegisteredServer(const std::wstring& progId) {
    const LocalServerRegistration registration = ReadLocalServerRegistration(progId);
    if (registration.classId.empty()) return std::nullopt;
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
    std::vector<bool> listedNow(seen_.size(), false);
    for (ImageProcess& found : ProcessesOfImage(image_, *sessions_)) {
        const auto known = std::find_if(seen_.begin(), seen_.end(), [&](const Seen& seen) {
            // An id alone may have been taken again: an opened process is
            // known by its creation time too, or, when it cannot be opened
            // this time, by its handle that still sees it run. One that could
            // not be opened before is the same process once it can, while it
            // stayed listed.
            if (seen.id != found.id) return false;
            if (!seen.process) return seen.listed;
            if (!found.process) return seen.process->Running();
            return seen.process->Identity() == found.process->Identity();
        });
        if (known != seen_.end()) {
            listedNow[static_cast<size_t>(known - seen_.begin())] = true;
            if (!known->process) known->process = std::move(found.process);
            continue;
        }
        seen_.push_back(Seen{found.id, std::move(found.process), !frozen_, std::nullopt, found.otherLogon, true});
        listedNow.push_back(true);
    }
    for (size_t i = 0; i < seen_.size(); ++i) seen_[i].listed = listedNow[i];
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
    for (const Seen& seen : seen_) {
        // One from before the start that ended before its command line could
        // be read (a session of Kestrow's own ending, say) serves nobody, and
        // nothing says it was a user's.
        if (!seen.appeared && !seen.launchedByCom && !seen.Running()) continue;
        facts.processes.push_back(ServerProcessSeen{static_cast<std::uint32_t>(seen.id), seen.appeared,
                                                    seen.launchedByCom.value_or(false), seen.otherLogon,
                                                    seen.Running()});
    }
    return facts;
}

const OwnedProcess* StartedProcesses::Find(DWORD id) const {
    const auto found = std::find_if(seen_.begin(), seen_.end(),
                                    [id](const Seen& seen) { return seen.id == id && seen.process; });
    return found == seen_.end() ? nullptr : &*found->process;
}

}  // namespace kestrow::win32
