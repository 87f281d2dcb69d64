#include "common/LongPath.h"

#include <cwctype>

namespace kestrow {

std::wstring ExtendedLengthPath(const std::wstring& path) {
    constexpr size_t kClassicLimit = 260;  // MAX_PATH, the terminating NUL included
    if (path.size() < kClassicLimit || path.rfind(L"\\\\?\\", 0) == 0) return path;
    if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
    if (path.size() > 2 && path[1] == L':' && path[2] == L'\\') return L"\\\\?\\" + path;
    return path;
}

std::wstring OrdinaryPath(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
    if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
    return path;
}

std::wstring FoldedPath(const std::wstring& path) {
    std::wstring folded = OrdinaryPath(path);
    for (wchar_t& c : folded) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return folded;
}

}  // namespace kestrow
