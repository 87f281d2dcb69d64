#include "automation/StartedProcesses.h"

#include <algorithm>

#include "automation/ServerImage.h"
#include "system/ProcessCommandLine.h"

namespace kestrow::win32 {

void StartedProcesses::Begin() {
    seen_.clear();
    for (OwnedProcess& process : ProcessesOfImage(image_)) {
        seen_.push_back(Seen{std::move(process), false, std::nullopt});
        ReadCommandLine(seen_.back());
    }
}

void StartedProcesses::Look() {
    for (OwnedProcess& process : ProcessesOfImage(image_)) {
        const auto known = std::find_if(seen_.begin(), seen_.end(), [&](const Seen& seen) {
            return seen.process.Identity() == process.Identity();
        });
        if (known == seen_.end()) seen_.push_back(Seen{std::move(process), !frozen_, std::nullopt});
    }
    for (Seen& seen : seen_)
        if (!seen.launchedByCom) ReadCommandLine(seen);
}

bool StartedProcesses::Unread() const {
    return std::any_of(seen_.begin(), seen_.end(), [](const Seen& seen) {
        return seen.appeared && !seen.launchedByCom && seen.process.Running();
    });
}

void StartedProcesses::ReadCommandLine(Seen& seen) {
    if (const std::optional<std::wstring> line = CommandLineOf(seen.process.Handle()))
        seen.launchedByCom = CarriesLaunchSwitch(*line);
}

StartFacts StartedProcesses::Facts() const {
    StartFacts facts;
    facts.imageKnown = !image_.empty();
    for (const Seen& seen : seen_) {
        // One that ended is nobody's server any more.
        if (!seen.process.Running()) continue;
        facts.processes.push_back(
            ServerProcessSeen{static_cast<std::uint32_t>(seen.process.Identity().id), seen.appeared,
                              seen.launchedByCom.value_or(false)});
    }
    return facts;
}

const OwnedProcess* StartedProcesses::Find(DWORD id) const {
    const auto found = std::find_if(seen_.begin(), seen_.end(),
                                    [id](const Seen& seen) { return seen.process.Identity().id == id; });
    return found == seen_.end() ? nullptr : &found->process;
}

}  // namespace kestrow::win32
