#pragma once
// The steps an unattended update shares with a night shared through a
// database (SharedNightRun): the request checked, the dialogs' pictures
// placed, and the batch run in sessions of the CAD system of its own.
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "batch/DraftBatch.h"
#include "console/ConsoleAndLog.h"
#include "console/ConsoleControl.h"
#include "console/ConsoleOutput.h"
#include "files/DraftCopyFolder.h"
#include "files/RunLogFile.h"
#include "listing/FileTree.h"
#include "unattended/CommandLine.h"
#include "unattended/ResumePlan.h"
#include "unattended/UnattendedRun.h"

namespace kestrow::win32 {

// A request found sound: its folder listed and its log open.
struct CheckedRequest {
    std::wstring folder;  // full, ending with "\"
    ExportRequest exports;  // its folder full
    DraftListing listing;
    RunLogFile log;
    bool logged = false;  // /log was given
};

// What this run does of the listing: its share, less what the run it
// resumes stored and nobody changed since.
struct UpdatePlan {
    std::vector<std::wstring> share;  // the listed names in this run's share
    RunPlan run;
    // What the batch is given: the drafts to do and, after the first name
    // of a file, its other names, with the file behind each.
    std::vector<std::wstring> batchNames;
    std::vector<FileIdentity> batchFiles;
    // Every name of the share whose file was listed before under another,
    // with that first name.
    std::vector<std::pair<std::wstring, std::wstring>> otherNames;
};

// Everything that can be wrong with the request is found before any server
// starts or any file is touched: the exit code when something is.
std::optional<int> CheckRequest(const CommandLine& line, ConsoleOutput& err, CheckedRequest& request);
bool LogRecordsRuns(const CheckedRequest& request);
// Where the pictures of the CAD system's dialogs go: beside the log, named
// after it, or else in Kestrow's data folder. Made when first needed.
std::function<std::wstring()> DialogPictures(const CommandLine& line);
// The batch over the plan's drafts, in sessions of the CAD system of its
// own, with a copy of each draft kept while it is open. With a `source`, the
// plan's drafts are those the source may hand out, and it hands them out.
BatchResult RunBatch(const CommandLine& line, const CheckedRequest& request, const UpdatePlan& plan,
                     ConsoleAndLog& output, UnattendedUser& user, DraftCopyFolder& copies, RunningBatch& running,
                     DraftSource* source = nullptr);

}  // namespace kestrow::win32
