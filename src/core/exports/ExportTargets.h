#pragma once
// Where a draft's exports go: beside the draft ("a.dft" -> "a.pdf"), or
// under a folder of their own at the draft's path from the batch's folder
// ("Sub\a.dft" -> "<folder>\Sub\a.pdf").
#include <string>
#include <vector>

#include "exports/ExportFormats.h"

namespace kestrow {

// What a batch is asked to export: the formats (none: no exports) and the
// folder they go under ("" for beside each draft).
struct ExportRequest {
    std::vector<ExportFormat> formats;
    std::wstring folder;
    bool Any() const { return !formats.empty(); }
};

struct ExportTarget {
    ExportFormat format;
    std::wstring path;  // full, without the extended-length prefix
};

// `batchFolder` ends with "\", `name` is the draft's path from it; one
// target a format, in the request's order.
std::vector<ExportTarget> ExportTargetsOf(const ExportRequest& request, const std::wstring& batchFolder,
                                          const std::wstring& name);

// "C:\Out\Sub\a.pdf" -> "C:\Out\Sub": the folder that holds a file.
std::wstring FolderOfFile(const std::wstring& path);

}  // namespace kestrow
