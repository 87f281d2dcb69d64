#include "exports/DraftExports.h"

#include "common/LongPath.h"

namespace kestrow {

std::vector<DraftExport> DraftExporter::Prepare(const std::wstring& name) {
    std::vector<DraftExport> exports;
    for (const ExportTarget& target : ExportTargetsOf(request_, batchFolder_, name)) {
        DraftExport made;
        made.format = target.format;
        made.target = target.path;
        const std::wstring folder = FolderOfFile(target.path);
        try {
            if (!Prepared(folder)) {
                files_.MakeFolder(folder);
                files_.RemoveLeftovers(folder);
                // Only now: a folder that could not be made is tried again
                // for the next draft.
                MarkPrepared(folder);
            }
            made.temporary = files_.TemporaryFor(target.path);
        } catch (const RuntimeError& error) {
            made.Fail(error);
        }
        exports.push_back(std::move(made));
    }
    return exports;
}

void DraftExporter::Settle(std::vector<DraftExport>& exports, bool stored) noexcept {
    for (DraftExport& made : exports) {
        if (made.temporary.empty()) continue;
        if (stored && made.state == DraftExport::State::Made) {
            try {
                made.size = files_.Replace(made.temporary, made.target);
                made.state = DraftExport::State::Exported;
                continue;
            } catch (const RuntimeError& error) {
                made.Fail(error);
            }
        }
        // Failed, cut short or not wanted: half a file, or none.
        files_.Remove(made.temporary);
    }
}

// Two sessions may both prepare a folder new to the batch: making it and
// sweeping it twice does no harm.
bool DraftExporter::Prepared(const std::wstring& folder) {
    const std::lock_guard<std::mutex> lock(mutex_);
    return folders_.count(FoldedPath(folder)) > 0;
}

void DraftExporter::MarkPrepared(const std::wstring& folder) {
    const std::lock_guard<std::mutex> lock(mutex_);
    folders_.insert(FoldedPath(folder));
}

RuntimeError ExportNotMadeAsStopped() {
    return RuntimeError(ErrorNumber::UserInterrupt, kProgramSource,
                        L"Not made: the batch was stopped after the drawing's views were updated; the drawing was stored "
                        L"without this export.");
}

RuntimeError NoSaveAsCall(ExportFormat format) {
    return RuntimeError(ErrorNumber::NoSuchMember, kProgramSource,
                        L"Solid Edge does not know the call SaveAs (looked up by name on the document), so the "
                        L"drawing could not be saved as " +
                            ExportFormatName(format) + L".");
}

}  // namespace kestrow
