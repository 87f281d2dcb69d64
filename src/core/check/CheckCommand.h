#pragma once
// A look at the CAD system before the first night, from the command line:
//   Kestrow.exe /check [<sample draft>] [/export <formats>] [/answer "<title>=<button>"]...
//               [/timeout <seconds>] [/html <file>] [/queue "<connection>"]
#include <cstdint>
#include <string>
#include <vector>

#include "batch/CadDialog.h"
#include "exports/ExportFormats.h"

namespace kestrow {

// A check's exit codes: whether a night can run, and the run's codes for
// what went wrong before that could be told.
namespace CheckExit {
constexpr int NightCanRun = 0;
constexpr int NightCannotRun = 1;
constexpr int BadCommandLine = 3;
constexpr int KestrowFailed = 4;
}  // namespace CheckExit

struct CheckCommand {
    enum class Kind { Check, Usage, Invalid };
    // A check waits less than a night for a call: a start or a dialog that
    // holds it up is itself what the check is there to find.
    static constexpr std::int64_t kDefaultTimeoutSeconds = 120;

    Kind kind = Kind::Invalid;
    std::wstring sample;  // as given; "" for none
    std::vector<ExportFormat> exports;
    std::vector<AnswerRule> answers;
    std::int64_t timeoutSeconds = kDefaultTimeoutSeconds;
    std::wstring page;   // /html: "" for none
    std::wstring queue;  // /queue: the shared nights' database to look at too; "" for none
    std::wstring error;  // Invalid
};

// Whether the arguments ask for /check at all.
bool AsksForCheck(const std::vector<std::wstring>& arguments);
CheckCommand ParseCheckCommand(const std::vector<std::wstring>& arguments);

std::wstring CheckUsageText();

}  // namespace kestrow
