#pragma once
// What an unattended run says of a dialog the CAD system showed: a line on
// the console, a `dialog` row in the log, and where the pictures go.
#include <string>

#include "batch/DraftBatch.h"
#include "unattended/RunLog.h"

namespace kestrow {

// "dialog  Sub\A.dft  'Missing references: Some models were not found.'  [OK / Cancel]: pressed OK"
std::wstring DialogLine(const DraftRecord& draft, const CadDialog& dialog, const std::wstring& action);

// Result "dialog"; file, the draft; source, the title; description, the
// text; session; detail: the buttons, what was done, the picture.
LogRow DialogLogRow(const std::wstring& time, const DraftRecord& draft, const CadDialog& dialog,
                    const std::wstring& action);

// The folder beside a log that holds the pictures of its dialogs:
// "D:\Logs\night.csv" -> "D:\Logs\night-dialogs".
std::wstring DialogFolderBesideLog(const std::wstring& logPath);

}  // namespace kestrow
