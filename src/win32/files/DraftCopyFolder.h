#pragma once
// The copies of drafts, kept in a folder of this run of Kestrow under
// Kestrow's data folder ("Copies\<process id>-<creation time>"): a copy
// "<n>.dft" of the draft's bytes and "<n>.txt" naming the draft with its
// timestamps and attributes, the run that kept it, and "<n>-replaced.dft"
// when a put back replaced other bytes. The run's folder exists only while
// it holds a copy; one that outlives its run names drafts the run did not
// settle.
#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "copies/DraftCopies.h"

namespace kestrow::win32 {

class DraftCopyFolder : public DraftCopyStore, public LeftoverCopies {
public:
    DraftCopyFolder();
    ~DraftCopyFolder() override;
    // What each copy's record says of the run that kept it ("run 4 of
    // D:\log.csv"); this process's start time is added to it.
    void SetRunLabel(const std::wstring& label);
    DraftCopyFolder(const DraftCopyFolder&) = delete;
    DraftCopyFolder& operator=(const DraftCopyFolder&) = delete;

    DraftCopy Keep(const std::wstring& draftPath) override;
    bool Unchanged(const DraftCopy& copy) override;
    std::wstring PutBack(const DraftCopy& copy) override;
    void Discard(const DraftCopy& copy) noexcept override;

    std::vector<DraftCopy> FromEndedRuns() override;
    std::wstring Folder() override;
    bool SameAsDraft(const DraftCopy& copy) override;
    void Retire(const DraftCopy& copy) noexcept override;

private:
    // With `mutex_` held.
    void DiscardLocked(const DraftCopy& copy) noexcept;

    std::wstring runName_;  // "<process id>-<creation time>"
    std::wstring runLabel_;
    std::wstring runFolder_;
    unsigned counter_ = 0;
    std::mutex mutex_;  // over the run's folder and the numbering
};

}  // namespace kestrow::win32
