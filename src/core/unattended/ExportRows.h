#pragma once
// What an unattended run says of a stored draft's exports: a line on the
// console and a row in the log for each, and the summary's count.
#include <string>

#include "batch/DraftBatch.h"
#include "unattended/RunLog.h"

namespace kestrow {

// "exported  Sub\A.dft  as pdf: D:\Out\Sub\A.pdf", or "export-failed  ..."
// with the error.
std::wstring ExportLine(const DraftRecord& draft, const DraftExport& made);

// An `exported` or `export-failed` row (see LogResult).
LogRow ExportLogRow(const std::wstring& time, const DraftRecord& draft, const DraftExport& made);

// " Exported 5 of 6 files; failed: Sub\A.dft as pdf." for a batch that was
// asked for exports, "" for one that was not.
std::wstring ExportSummary(const BatchResult& result);

}  // namespace kestrow
