#include "exports/ExportTargets.h"

namespace kestrow {
namespace {

// The name with its extension replaced; a name without one gets it added.
std::wstring WithExtension(const std::wstring& name, const std::wstring& extension) {
    const size_t slash = name.find_last_of(L"\\/");
    const size_t dot = name.find_last_of(L'.');
    const bool hasExtension = dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash + 1);
    return (hasExtension ? name.substr(0, dot) : name) + L"." + extension;
}

}  // namespace

std::vector<ExportTarget> ExportTargetsOf(const ExportRequest& request, const std::wstring& batchFolder,
                                          const std::wstring& name) {
    std::wstring root = request.folder.empty() ? batchFolder : request.folder;
    if (!root.empty() && root.back() != L'\\') root += L'\\';
    std::vector<ExportTarget> targets;
    for (const ExportFormat format : request.formats)
        targets.push_back({format, root + WithExtension(name, ExportFormatName(format))});
    return targets;
}

std::wstring FolderOfFile(const std::wstring& path) {
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace kestrow
