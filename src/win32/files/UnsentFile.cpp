#include "files/UnsentFile.h"

#include <windows.h>

#include <cstdio>

#include "common/ConnectionText.h"
#include "files/WholeFile.h"
#include "listing/Shard.h"
#include "queue/UnsentFile.h"
#include "system/DataFolder.h"
#include "system/SystemText.h"

namespace kestrow::win32 {

std::wstring UnsentFilePath(const std::wstring& folderKey, const std::wstring& connection) {
    const std::wstring folder = KestrowDataFolder(L"Unsent");
    if (folder.empty()) return std::wstring();
    wchar_t database[24];
    std::swprintf(database, 24, L"%016llx", static_cast<unsigned long long>(ShardHash(WithoutPassword(connection))));
    return folder + L"\\" + folderKey + L"-" + database + L".csv";
}

std::vector<UnsentItem> ReadUnsent(const std::wstring& path) {
    if (path.empty()) return {};
    const std::optional<std::string> bytes = ReadWhole(path);
    return bytes ? ParseUnsent(FromUtf8(*bytes)) : std::vector<UnsentItem>{};
}

bool KeepUnsent(const std::wstring& path, const std::vector<UnsentItem>& items) {
    if (path.empty()) return items.empty();
    if (items.empty()) return DeleteFileW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
    const std::string bytes = Utf8(FormatUnsent(items));
    return WriteWhole(path, bytes.data(), bytes.size());
}

}  // namespace kestrow::win32
