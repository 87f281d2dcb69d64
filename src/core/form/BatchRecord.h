#pragma once
// A record of the window's batches, kept as a night's log is kept, so that
// a user can see afterwards what became of each drawing: one for each
// folder, with its report shown on request.
#include <string>

#include "batch/DraftBatch.h"

namespace kestrow {

class BatchRecord {
public:
    virtual ~BatchRecord() = default;
    // Starts the record of a batch over `folder` (ending with "\"); "" when
    // it is kept, otherwise why it cannot be.
    virtual std::wstring Begin(const std::wstring& folder) = 0;
    // Told what the window is told, as it is told, between Begin and End.
    virtual BatchProgress& Progress() = 0;
    // The batch's end; "" when every row was written, otherwise why not.
    virtual std::wstring End(const BatchResult& result) = 0;
    // Whether a batch over `folder` was recorded, here or in an earlier
    // session of the window.
    virtual bool HasReport(const std::wstring& folder) = 0;
    // Shows the report of the last batch over `folder` to the user; raises
    // RuntimeError when it cannot be made.
    virtual void ShowReport(const std::wstring& folder) = 0;
};

// The name of the log that records the batches over `folder`: the folder's
// own name, told apart from other folders of that name by a mark of its
// whole path in any case ("Drawings 1A2B3C4D.csv"); a drive's root is named
// by its letter.
std::wstring BatchRecordName(const std::wstring& folder);

}  // namespace kestrow
