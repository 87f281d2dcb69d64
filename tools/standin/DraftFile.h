#pragma once
// The stand-in server's simulated drafts: a small UTF-8 text format.
//
//   KESTROW-DRAFT 1            header, required
//   stored <n>                 how often the draft has been stored
//   view <name> <state>        one line per view; state is stale or current
//   fault <kind> [<ms>]        fault injection, see FaultKind
//   fault dialog <n> <title>|<text>|<buttons>
//                              opening shows a modal message box n times;
//                              a button written "!OK" is greyed out
//   fault export, exporthalf, exportslow <ms>
//                              SaveAs fails, writes half and fails, or is slow
//
// Lines are kept in order; unknown lines are kept as they are.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace standin {

enum class FaultKind {
    Open,    // opening the draft fails
    Update,  // updating any of its views fails
    Store,   // storing it fails
    Delay,   // opening it takes <ms> milliseconds
    Busy,    // after it is opened the server rejects calls as busy for <ms>
    Hang,    // updating its first view blocks the server for <ms>
    Crash,   // updating its first view ends the server process abruptly
    TornStore,  // storing writes half the new draft in place, then ends the process
    Dialog,     // opening shows a message box <n> times, one after the other
    Unlocked,   // the draft is read when opened and not held: others may write it meanwhile
    Export,      // saving it as another format (SaveAs) fails, writing nothing
    ExportHalf,  // SaveAs writes half the file, then fails
    ExportSlow,  // SaveAs writes half the file, waits <ms>, then writes the rest
};

struct Fault {
    FaultKind kind;
    std::uint32_t milliseconds = 0;  // for Dialog: how many times it is shown
    std::string text;                // the rest of the line: a dialog's title|text|buttons
};

struct View {
    std::string name;
    bool current = false;
};

struct Draft {
    std::vector<View> views;
    std::vector<Fault> faults;
    std::uint32_t stored = 0;
    std::vector<std::string> otherLines;

    bool Has(FaultKind kind) const;
    std::uint32_t Milliseconds(FaultKind kind) const;
    const Fault* Find(FaultKind kind) const;
};

// Parses a draft's text; nullopt when it is not a draft (no header).
std::optional<Draft> ParseDraft(const std::string& text);
std::string FormatDraft(const Draft& draft);

}  // namespace standin
