#pragma once
// What a check of the CAD system found out, as it was measured: plain facts
// and figures, judged by CheckFindings.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch/CadDialog.h"
#include "batch/DraftBatch.h"
#include "check/CallTimes.h"
#include "check/DatabaseFacts.h"
#include "common/RuntimeError.h"
#include "exports/DraftExports.h"

namespace kestrow {

struct RegistrationFacts {
    std::wstring progId;
    std::wstring classId;      // "" when the ProgID names no class
    std::wstring commandLine;  // the local server's, as registered; "" when none
    std::wstring program;      // what the system starts from it, as Kestrow reads it; "" when none is found
    bool programExists = false;
    std::wstring fileVersion;  // from the program's version resource; "" when it has none
    std::wstring productName;
};

struct MachineFacts {
    std::wstring computer;  // its name
    std::uint64_t freeMemoryBytes = 0;  // 0 when not known
    std::int32_t cores = 1;
};

// A start of a session of Kestrow's own, as a night starts one.
struct CheckedStart {
    bool tried = false;
    double seconds = 0;  // from asking for the session until it answered (or was given up)
    std::optional<RuntimeError> error;
    std::optional<std::uint32_t> process;  // proven the session's own
    std::wstring processNotHeld;           // why no process is known, when that is known
    std::vector<StartNotice> notices;
    std::optional<std::uint64_t> memoryBytes;  // committed once started
    std::vector<TimedCall> calls;              // the activation, the settings, the process asked
    std::optional<SessionLetGo> letGo;         // why the session was let go of (error ForeignServer)
};

// A second session asked for while the first runs: how the server is
// registered shows in what serves it.
struct SecondSession {
    enum class Served { NotTried, OwnProcess, FirstSessionsProcess, Failed };
    Served served = Served::NotTried;
    double seconds = 0;
    std::optional<std::uint32_t> process;
    std::optional<RuntimeError> error;  // Failed
    std::vector<TimedCall> calls;
    // A call given up for a dialog no rule answers, after the check's grace.
    bool givenUpOnDialog = false;
};

// The steps of a check, as a dialog's finding names the one it came in.
namespace CheckStep {
inline const wchar_t* const Start = L"the start";
inline const wchar_t* const SecondStart = L"the second start";
inline const wchar_t* const Sample = L"the sample";
inline const wchar_t* const End = L"the end";
}  // namespace CheckStep

struct CheckedDialog {
    CadDialog dialog;
    std::wstring during;  // a CheckStep
    std::wstring action;  // what was done about it, as a night's line says
    bool pressed = false;
    std::string picturePng;  // its picture's bytes; "" when none was kept
};

struct SampleFacts {
    std::wstring draft;  // the user's, as given in full; "" for none
    std::wstring copy;   // the copy worked on: beside the draft, or in a temporary folder
    std::optional<RuntimeError> copyFailed;
    bool stored = false;
    std::optional<RuntimeError> error;  // the draft's failure, its call given up included
    std::vector<TimedCall> calls;
    std::vector<DraftExport> exports;
    std::optional<std::uint64_t> memoryBytes;  // committed after the sample
};

// The session's end: its quit, and its process's.
struct CheckedEnd {
    bool quit = false;           // it was told to end its work
    std::optional<TimedCall> quitCall;
    std::vector<TimedCall> calls;  // the quit and the releases around it
    double untilGoneSeconds = 0;  // from the quit until its process was gone
    ServerProcessEnd process = ServerProcessEnd::NotKnown;
    // A session given up on a call that hung is ended without a quit.
    bool givenUp = false;
    bool givenUpEnded = false;
    // Given up (or its quit given up) for a dialog no rule answers, once it
    // had stood for the check's grace, rather than at the call limit.
    bool givenUpOnDialog = false;
};

struct CheckFacts {
    RegistrationFacts registration;
    MachineFacts machine;
    // Why no session was started: a user's runs or is starting, or the
    // registered program cannot be read. None when the start went ahead.
    std::optional<SessionLetGo> inTheWay;
    CheckedStart start;
    SecondSession second;
    SampleFacts sample;
    std::vector<CheckedDialog> dialogs;
    CheckedEnd end;
    // The night's database, when /queue named one.
    std::optional<DatabaseFacts> database;
    bool stopped = false;  // the user stopped the check before it was done
    double seconds = 0;    // the whole check
};

}  // namespace kestrow
