#include "console/CheckRun.h"

#include <windows.h>

#include <optional>

#include "server/AutomationContract.h"
#include "check/CheckFindings.h"
#include "check/CheckOnThisComputer.h"
#include "check/CheckPage.h"
#include "check/CheckText.h"
#include "common/LongPath.h"
#include "console/ConsoleAndLog.h"
#include "console/ConsoleControl.h"
#include "console/ConsoleOutput.h"
#include "console/NightDatabase.h"
#include "system/ComputerName.h"
#include "files/ReportFiles.h"
#include "files/WholeFile.h"
#include "system/FullPath.h"
#include "system/SystemText.h"

namespace kestrow::win32 {
namespace {

// The request made full, or why it cannot be checked (said on `err`):
// nothing is started or written for it.
std::optional<CheckRequest> RequestOf(const CheckCommand& command, ConsoleOutput& err) {
    CheckRequest request;
    request.exports = command.exports;
    request.answers = command.answers;
    request.timeout = std::chrono::seconds(command.timeoutSeconds);
    if (command.sample.empty()) return request;
    request.sample = FullPath(command.sample);
    const DWORD attributes = GetFileAttributesW(ExtendedLengthPath(request.sample).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        err.Line(L"Kestrow: the sample draft cannot be found: " + request.sample + L" (" + LastErrorText() + L")");
        return std::nullopt;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        err.Line(L"Kestrow: this is a folder, not a draft: " + request.sample);
        return std::nullopt;
    }
    return request;
}

int Check(const CheckCommand& command, ConsoleOutput& out, ConsoleOutput& err) {
    const std::optional<CheckRequest> request = RequestOf(command, err);
    if (!request) return CheckExit::BadCommandLine;
    const std::wstring page = command.page.empty() ? std::wstring() : FullPath(command.page);
    if (!page.empty() && !MayHoldPage(page)) {
        err.Line(L"Kestrow: the page would be written over a file that is no page, and Kestrow leaves it as it is: " +
                 page);
        return CheckExit::BadCommandLine;
    }
    // Said before Solid Edge is started, not after the whole check.
    const size_t lastSeparator = page.find_last_of(L'\\');
    if (!page.empty() && lastSeparator != std::wstring::npos) {
        const std::wstring pageFolder = page.substr(0, lastSeparator + 1);
        if (!FolderExists(pageFolder)) {
            err.Line(L"Kestrow: the page's folder cannot be found: " + pageFolder);
            return CheckExit::BadCommandLine;
        }
    }
    out.Line(CheckIntroLine(contract::kProgId));
    const auto stop = std::make_shared<std::atomic<bool>>(false);
    // Ctrl+C, a closed console or the end of the session stop the check
    // after the call in hand, and its session still ends and its folder goes.
    ConsoleAndLog said(out, nullptr, std::wstring());
    RunningBatch running(said, {});
    const ConsoleControlRegistration registration(running);
    running.SetStopTarget([stop] { *stop = true; });
    CheckFacts facts = CheckThisComputer(*request, stop);
    if (!command.queue.empty() && !*stop) facts.database = CheckNightDatabase(command.queue, ThisComputerName());
    const CheckVerdict verdict = JudgeCheck(facts, *request);
    out.Lines(CheckLines(facts, verdict));
    if (!page.empty()) {
        const std::string html = Utf8(CheckPage(facts, verdict, LocalTimeNow()));
        // The check is done and its verdict stands: the exit code keeps it,
        // and what became of the page is said beside it.
        if (WriteWhole(page, html.data(), html.size()))
            out.Line(L"The page: " + page);
        else
            err.Line(L"Kestrow: the check is done, but its page cannot be written: " + page + L" (" + LastErrorText() +
                     L")");
    }
    return verdict.NightCanRun() ? CheckExit::NightCanRun : CheckExit::NightCannotRun;
}

}  // namespace

int RunCheckCommand(const CheckCommand& command) {
    JoinParentConsole();
    ConsoleOutput out(STD_OUTPUT_HANDLE);
    ConsoleOutput err(STD_ERROR_HANDLE);
    switch (command.kind) {
        case CheckCommand::Kind::Invalid:
            err.Line(L"Kestrow: " + command.error);
            err.Line(HelpHint());
            return CheckExit::BadCommandLine;
        case CheckCommand::Kind::Usage: {
            std::wstring usage = CheckUsageText();
            if (!usage.empty() && usage.back() == L'\n') usage.pop_back();
            out.Line(usage);
            return CheckExit::NightCanRun;
        }
        case CheckCommand::Kind::Check: break;
    }
    try {
        return Check(command, out, err);
    } catch (const std::exception&) {
        err.Line(L"Kestrow itself failed while it checked Solid Edge; please report this.");
        return CheckExit::KestrowFailed;
    }
}

}  // namespace kestrow::win32
