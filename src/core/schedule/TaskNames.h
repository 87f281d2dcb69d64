#pragma once
// The names of Kestrow's tasks, which say which folder each night updates:
// "Nightly - Drawings". A second folder of the same name takes the names of
// the folders above it until the two differ: "Nightly - Drawings (Projects)".
#include <optional>
#include <string>
#include <vector>

namespace kestrow {

// The task folder Kestrow keeps its nights in, and never works outside of.
inline constexpr const wchar_t* kKestrowTaskFolder = L"\\Kestrow";

struct KnownTask {
    std::wstring name;
    std::optional<std::wstring> folder;  // none when its definition does not say
};

struct TaskForFolder {
    std::wstring name;
    bool exists = false;  // a task of that name is there, to be changed
};

// The task that updates `folder` (a full path): the one that names that
// folder, else the first name no task has. A task whose folder is not known
// is never taken for this one's.
TaskForFolder TaskNameForFolder(const std::wstring& folder, const std::vector<KnownTask>& tasks);

// Whether `name` may name a task of Kestrow's: not empty, within the task
// folder (no "\" or "/"), and holding nothing Windows refuses in a file name.
bool IsTaskName(const std::wstring& name);

// Paths compared as Windows compares folders: in any case, a trailing "\"
// left out.
bool SameFolder(const std::wstring& a, const std::wstring& b);

}  // namespace kestrow
