#pragma once
// The texts the window shows about listing and updating drafts.
#include <cstdint>
#include <string>

#include "batch/DraftBatch.h"
#include "common/RuntimeError.h"
#include "listing/FileTree.h"

namespace kestrow {

// Why no session was started, or one was let go of; `midBatch`: found while
// replacing a session, after drafts were worked on.
std::wstring CadAlreadyRunningText(SessionLetGo why, bool midBatch = false);
// `midBatch`: a fresh session was to replace one that stopped.
std::wstring ServerStartFailureText(const RuntimeError& error, bool midBatch);
std::wstring ServerKeptFailingText(const RuntimeError& error);
// The batch ended on an exception Kestrow did not expect.
std::wstring KestrowFailedText(const std::wstring& failure);
// The failure box: what happened to the drawing and what each button does,
// worded for the draft's own error, a server that stopped, or one that
// stopped answering and was given up.
std::wstring DraftFailureText(const std::wstring& filePath, const RuntimeError& error);
std::wstring HangQuestionText(std::int64_t secondsWaited, const std::wstring& task);
inline const wchar_t* const kSameForRemainingText = L"&Do the same for the remaining drawings";

// The box at the end of a batch in which drafts or exports failed: how
// many drafts were stored; up to `kSummaryNames` of the drafts that were
// not, each with its error, then how many more; up to ten of the exports
// that failed, named with their drafts (which were stored) and their whole
// error; and how many drafts were not reached.
constexpr std::int32_t kSummaryNames = 30;
std::wstring BatchSummaryText(const BatchResult& result);

std::wstring NotAFolderOnDiskText(const std::wstring& displayName);
std::wstring FolderUnreadableText(const std::wstring& folder, const RuntimeError& error);
// After a listing that had to leave folders out: how many drafts were
// listed, and up to `kSummaryNames` of the folders, each with its error.
std::wstring SubfoldersUnreadableText(const std::vector<UnreadableFolder>& folders, std::int32_t listed);

// "Updated <n> files in : " when every listed file was stored, otherwise
// "Updated <k> of <n> files in : "; a batch with exports counts them too:
// "Updated 3 files, 6 exports in : ", or "..., 5 of 6 exports in : ".
std::wstring UpdatedStatus(std::int32_t stored, std::int32_t listed, std::int32_t exported = 0,
                           std::int32_t exportsFailed = 0);
// "Updating file <i> of <n>...", i counted from 1.
std::wstring UpdatingStatus(std::int32_t index, std::int32_t count);
inline const wchar_t* const kStoppingStatus = L"Stopping after this drawing...";
// After a batch the user stopped (Stop, or Cancel in the failure box) before
// every drawing was reached: "Stopped: 3 updated, 7 not reached, in : ".
std::wstring StoppedStatus(std::int32_t stored, std::int32_t notReached);

// Said in the last box of a batch that could not be recorded, with why.
std::wstring RecordNotKeptText(const std::wstring& why);
// A report that could not be shown, with why.
std::wstring ReportNotShownText(const RuntimeError& error);

// The status line after a dialog of the CAD system: "'Missing references':
// pressed OK".
std::wstring DialogStatus(const CadDialog& dialog, const std::wstring& action);
// Said in the failure box of a drawing whose call was given up while the
// CAD system showed a dialog nobody answered.
std::wstring DialogLeftOpenNote(const CadDialog& dialog);

}  // namespace kestrow
