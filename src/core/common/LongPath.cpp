#include "common/LongPath.h"

namespace kestrow {

std::wstring ExtendedLengthPath(const std::wstring& path) {
    constexpr size_t kClassicLimit = 260;  // MAX_PATH, the terminating NUL included
    if (path.size() < kClassicLimit || path.rfind(L"\\\\?\\", 0) == 0) return path;
    if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
    if (path.size() > 2 && path[1] == L':' && path[2] == L'\\') return L"\\\\?\\" + path;
    return path;
}

}  // namespace kestrow
