#include "common/CommandLineProgram.h"

namespace kestrow {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// The name as the system looks for it: with ".exe" when its last part has
// no extension.
std::wstring WithDefaultExtension(const std::wstring& path) {
    return FileNameOf(path).find(L'.') == std::wstring::npos ? path + L".exe" : path;
}

}  // namespace

std::wstring FileNameOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring ProgramOfCommandLine(const std::wstring& commandLine,
                                  const std::function<bool(const std::wstring& path)>& fileExists) {
    size_t at = 0;
    while (at < commandLine.size() && IsBlank(commandLine[at])) ++at;
    if (at == commandLine.size()) return std::wstring();
    if (commandLine[at] == L'"') {
        const size_t end = commandLine.find(L'"', at + 1);
        const std::wstring quoted =
            commandLine.substr(at + 1, end == std::wstring::npos ? std::wstring::npos : end - at - 1);
        return quoted.empty() ? quoted : WithDefaultExtension(quoted);
    }
    // Each candidate ends where a run of blanks begins, and takes the blanks
    // between its words as they stand.
    for (size_t end = at; end < commandLine.size();) {
        while (end < commandLine.size() && !IsBlank(commandLine[end])) ++end;
        const std::wstring candidate = WithDefaultExtension(commandLine.substr(at, end - at));
        if (fileExists(candidate)) return candidate;
        while (end < commandLine.size() && IsBlank(commandLine[end])) ++end;
    }
    return std::wstring();
}

}  // namespace kestrow
