#include "schedule/TaskNames.h"

#include "common/CaseFold.h"
#include "common/LongPath.h"

namespace kestrow {
namespace {

std::wstring WithoutTrailingSlash(std::wstring path) {
    while (path.size() > 1 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    return path;
}

// The folders of a path from the top down, as a name may show them: "D:"
// becomes "Drive D", a UNC path's server and share are kept.
std::vector<std::wstring> PathParts(const std::wstring& path) {
    std::vector<std::wstring> parts;
    std::wstring part;
    for (const wchar_t c : OrdinaryPath(path) + L"\\") {
        if (c != L'\\' && c != L'/') {
            part += c;
            continue;
        }
        if (part.size() == 2 && part[1] == L':') part = std::wstring(L"Drive ") + part[0];
        if (!part.empty()) parts.push_back(part);
        part.clear();
    }
    return parts;
}

const KnownTask* TaskNamed(const std::vector<KnownTask>& tasks, const std::wstring& name) {
    for (const KnownTask& task : tasks)
        if (SameIgnoringCase(task.name, name)) return &task;
    return nullptr;
}

}  // namespace

bool SameFolder(const std::wstring& a, const std::wstring& b) {
    return FoldedPath(WithoutTrailingSlash(a)) == FoldedPath(WithoutTrailingSlash(b));
}

TaskForFolder TaskNameForFolder(const std::wstring& folder, const std::vector<KnownTask>& tasks) {
    for (const KnownTask& task : tasks)
        if (task.folder && SameFolder(*task.folder, folder)) return {task.name, true};
    const std::vector<std::wstring> parts = PathParts(folder);
    const std::wstring last = parts.empty() ? std::wstring(L"Drawings") : parts.back();
    const std::wstring base = L"Nightly - " + last;
    std::vector<std::wstring> candidates = {base};
    std::wstring above;
    for (size_t i = parts.size() > 0 ? parts.size() - 1 : 0; i-- > 0;) {
        above = parts[i] + (above.empty() ? L"" : L", " + above);
        candidates.push_back(base + L" (" + above + L")");
    }
    for (const std::wstring& candidate : candidates)
        if (!TaskNamed(tasks, candidate)) return {candidate, false};
    for (int number = 2;; ++number) {
        const std::wstring candidate = base + L" " + std::to_wstring(number);
        if (!TaskNamed(tasks, candidate)) return {candidate, false};
    }
}

bool IsTaskName(const std::wstring& name) {
    if (name.empty() || name == L"." || name == L"..") return false;
    for (const wchar_t c : name)
        if (c < 32 || std::wstring(L"\\/:*?\"<>|").find(c) != std::wstring::npos) return false;
    return true;
}

}  // namespace kestrow
