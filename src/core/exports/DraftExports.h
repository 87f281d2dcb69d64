#pragma once
// A draft's exports through one attempt: named before the draft is opened,
// made by the CAD system once its views are updated (each to a temporary
// file of its own), and moved over their targets only once the draft is
// stored, so that an export always matches a stored draft and a target is
// never half written.
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/RuntimeError.h"
#include "exports/ExportTargets.h"

namespace kestrow {

struct DraftExport {
    enum class State {
        ToMake,    // named, not asked for yet
        Made,      // the CAD system wrote it to the temporary file
        Exported,  // in its target's place
        Failed,    // `error` says why; the target is as it was
    };
    ExportFormat format = ExportFormat::Pdf;
    std::wstring target;
    std::wstring temporary;  // where the CAD system writes it first
    State state = State::ToMake;
    std::optional<RuntimeError> error;
    std::uint64_t size = 0;  // the exported file's, once in place

    void Fail(RuntimeError why) {
        state = State::Failed;
        error = std::move(why);
    }
};

// The files of exports on the platform. Paths are full and ordinary; the
// platform adds the extended-length prefix where it needs one.
class ExportFiles {
public:
    virtual ~ExportFiles() = default;
    // Makes the folder and those above it that are missing. Raises an
    // Ordinary RuntimeError with the system's reason when it cannot.
    virtual void MakeFolder(const std::wstring& folder) = 0;
    // Deletes the temporary exports in the folder that runs of Kestrow left
    // which no longer run: never this run's, nor one of a Kestrow that still
    // runs, nor any other file.
    virtual void RemoveLeftovers(const std::wstring& folder) noexcept = 0;
    // A temporary name beside `target` that no try of this run used before.
    virtual std::wstring TemporaryFor(const std::wstring& target) = 0;
    // Moves the temporary file over the target in one rename and returns
    // its size. Raises an Ordinary RuntimeError with the system's reason
    // when it cannot (the target in use or read-only, say) or when there is
    // nothing to move; the target is then as it was.
    virtual std::uint64_t Replace(const std::wstring& temporary, const std::wstring& target) = 0;
    virtual void Remove(const std::wstring& temporary) noexcept = 0;
};

// The exports of a batch's drafts. Sessions on several threads share it.
class DraftExporter {
public:
    // `batchFolder` ends with "\"; draft names are given from it.
    DraftExporter(ExportRequest request, std::wstring batchFolder, ExportFiles& files)
        : request_(std::move(request)), batchFolder_(std::move(batchFolder)), files_(files) {}
    DraftExporter(const DraftExporter&) = delete;
    DraftExporter& operator=(const DraftExporter&) = delete;

    // Before the draft is opened: each target's folder is made (and, the
    // first time in the batch, rid of what killed runs left there), and each
    // export gets a temporary name. One whose folder cannot be made has
    // failed already; the others are to be made.
    std::vector<DraftExport> Prepare(const std::wstring& name);
    // After the draft's attempt: once it is stored, each export the CAD
    // system made takes its target's place; any other export leaves its
    // target as it was. No temporary file is left behind.
    void Settle(std::vector<DraftExport>& exports, bool stored) noexcept;

private:
    bool Prepared(const std::wstring& folder);
    void MarkPrepared(const std::wstring& folder);

    ExportRequest request_;
    std::wstring batchFolder_;
    ExportFiles& files_;
    std::mutex mutex_;
    std::set<std::wstring> folders_;  // made and swept in this batch, folded
};

// What the CAD system is told when the batch stops between a draft's
// exports: the draft is stored, the rest of its exports are not made.
RuntimeError ExportNotMadeAsStopped();
// A CAD system whose documents do not know SaveAs by name.
RuntimeError NoSaveAsCall(ExportFormat format);

}  // namespace kestrow
