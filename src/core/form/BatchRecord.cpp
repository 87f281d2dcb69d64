#include "form/BatchRecord.h"

#include <cstdint>
#include <cwchar>

#include "common/LongPath.h"

namespace kestrow {

std::wstring BatchRecordName(const std::wstring& folder) {
    std::wstring path = folder;
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    const size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    if (!name.empty() && name.back() == L':') name.pop_back();  // "D:" of "D:\"
    if (name.empty()) name = L"Folder";
    // FNV-1a over the folded path's UTF-16 units: the same folder written in
    // another case, or with a trailing "\", has the same log.
    std::uint32_t hash = 2166136261u;
    for (const wchar_t unit : FoldedPath(path)) {
        hash ^= static_cast<std::uint16_t>(unit);
        hash *= 16777619u;
    }
    wchar_t mark[16];
    std::swprintf(mark, 16, L"%08X", hash);
    return name + L" " + mark + L".csv";
}

}  // namespace kestrow
