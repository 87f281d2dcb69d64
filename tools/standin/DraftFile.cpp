#include "DraftFile.h"

#include <sstream>

namespace standin {
namespace {

constexpr const char* kHeader = "KESTROW-DRAFT 1";

std::optional<FaultKind> FaultNamed(const std::string& name) {
    if (name == "open") return FaultKind::Open;
    if (name == "update") return FaultKind::Update;
    if (name == "store") return FaultKind::Store;
    if (name == "delay") return FaultKind::Delay;
    if (name == "busy") return FaultKind::Busy;
    if (name == "hang") return FaultKind::Hang;
    if (name == "crash") return FaultKind::Crash;
    if (name == "tornstore") return FaultKind::TornStore;
    if (name == "dialog") return FaultKind::Dialog;
    if (name == "unlocked") return FaultKind::Unlocked;
    if (name == "export") return FaultKind::Export;
    if (name == "exporthalf") return FaultKind::ExportHalf;
    if (name == "exportslow") return FaultKind::ExportSlow;
    return std::nullopt;
}

const char* FaultName(FaultKind kind) {
    switch (kind) {
        case FaultKind::Open: return "open";
        case FaultKind::Update: return "update";
        case FaultKind::Store: return "store";
        case FaultKind::Delay: return "delay";
        case FaultKind::Busy: return "busy";
        case FaultKind::Hang: return "hang";
        case FaultKind::Crash: return "crash";
        case FaultKind::TornStore: return "tornstore";
        case FaultKind::Dialog: return "dialog";
        case FaultKind::Unlocked: return "unlocked";
        case FaultKind::Export: return "export";
        case FaultKind::ExportHalf: return "exporthalf";
        case FaultKind::ExportSlow: return "exportslow";
    }
    return "?";
}

}  // namespace

bool Draft::Has(FaultKind kind) const {
    for (const Fault& f : faults)
        if (f.kind == kind) return true;
    return false;
}

std::uint32_t Draft::Milliseconds(FaultKind kind) const {
    const Fault* fault = Find(kind);
    return fault ? fault->milliseconds : 0;
}

const Fault* Draft::Find(FaultKind kind) const {
    for (const Fault& f : faults)
        if (f.kind == kind) return &f;
    return nullptr;
}

std::optional<Draft> ParseDraft(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line != kHeader) return std::nullopt;

    Draft draft;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream words(line);
        std::string keyword;
        words >> keyword;
        if (keyword == "view") {
            View view;
            std::string state;
            words >> view.name >> state;
            view.current = state == "current";
            draft.views.push_back(view);
        } else if (keyword == "stored") {
            words >> draft.stored;
        } else if (keyword == "fault") {
            std::string name;
            words >> name;
            const auto kind = FaultNamed(name);
            if (!kind) {
                draft.otherLines.push_back(line);
                continue;
            }
            Fault fault{*kind};
            words >> fault.milliseconds;
            std::getline(words >> std::ws, fault.text);
            draft.faults.push_back(fault);
        } else if (!line.empty()) {
            draft.otherLines.push_back(line);
        }
    }
    return draft;
}

std::string FormatDraft(const Draft& draft) {
    std::ostringstream out;
    out << kHeader << "\r\n";
    out << "stored " << draft.stored << "\r\n";
    for (const View& view : draft.views) out << "view " << view.name << ' ' << (view.current ? "current" : "stale") << "\r\n";
    for (const Fault& fault : draft.faults) {
        out << "fault " << FaultName(fault.kind);
        if (fault.milliseconds) out << ' ' << fault.milliseconds;
        if (!fault.text.empty()) out << ' ' << fault.text;
        out << "\r\n";
    }
    for (const std::string& line : draft.otherLines) out << line << "\r\n";
    return out.str();
}

}  // namespace standin
