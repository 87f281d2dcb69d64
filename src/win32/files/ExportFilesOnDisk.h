#pragma once
// The files of exports on disk: the folders they go to, the temporary files
// the CAD system writes them to (named after this run of Kestrow), and the
// one rename that puts each in its target's place.
#include <atomic>
#include <cstdint>
#include <string>

#include "exports/DraftExports.h"
#include "exports/ExportTemporary.h"

namespace kestrow::win32 {

// This run of Kestrow, as its temporary files name it.
ExportRun ThisKestrowRun();

class ExportFilesOnDisk : public ExportFiles {
public:
    ExportFilesOnDisk();
    void MakeFolder(const std::wstring& folder) override;
    void RemoveLeftovers(const std::wstring& folder) noexcept override;
    std::wstring TemporaryFor(const std::wstring& target) override;
    std::uint64_t Replace(const std::wstring& temporary, const std::wstring& target) override;
    void Remove(const std::wstring& temporary) noexcept override;

private:
    ExportRun run_;  // this process
    std::atomic<std::uint64_t> attempts_{0};
};

}  // namespace kestrow::win32
