#include "automation/SessionRecords.h"

#include <cstdio>
#include <memory>
#include <string>

#include "system/DataFolder.h"

namespace kestrow::win32 {
namespace {

// How long an ended server gets to be gone before its record is kept for
// the next run to try again.
constexpr DWORD kEndWaitMs = 10000;

std::wstring RecordPath(const std::wstring& folder, const ProcessIdentity& server) {
    return folder + L"\\server-" + std::to_wstring(server.id) + L"-" + std::to_wstring(server.creationTime) + L".txt";
}

struct Record {
    ProcessIdentity server;
    ProcessIdentity owner;
};

std::optional<Record> ReadRecord(const std::wstring& path) {
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file) return std::nullopt;
    Record record;
    unsigned long serverId = 0, ownerId = 0;
    unsigned long long serverCreation = 0, ownerCreation = 0;
    const int read = std::fscanf(file, "server %lu %llu owner %lu %llu", &serverId, &serverCreation, &ownerId,
                                 &ownerCreation);
    std::fclose(file);
    if (read != 4) return std::nullopt;
    record.server = {serverId, serverCreation};
    record.owner = {ownerId, ownerCreation};
    return record;
}

struct FindCloser {
    void operator()(HANDLE find) const { FindClose(find); }
};
using FindHandle = std::unique_ptr<void, FindCloser>;

}  // namespace

void RecordSession(const ProcessIdentity& server) {
    const std::wstring folder = KestrowDataFolder(L"Sessions");
    if (folder.empty()) return;
    FILE* file = _wfopen(RecordPath(folder, server).c_str(), L"wb");
    if (!file) return;
    const ProcessIdentity owner = ThisProcess();
    std::fprintf(file, "server %lu %llu\r\nowner %lu %llu\r\n", static_cast<unsigned long>(server.id),
                 static_cast<unsigned long long>(server.creationTime), static_cast<unsigned long>(owner.id),
                 static_cast<unsigned long long>(owner.creationTime));
    std::fclose(file);
}

void ForgetSession(const ProcessIdentity& server) {
    const std::wstring folder = KestrowDataFolder(L"Sessions");
    if (!folder.empty()) DeleteFileW(RecordPath(folder, server).c_str());
}

int EndLeftoverSessions() {
    const std::wstring folder = KestrowDataFolder(L"Sessions");
    if (folder.empty()) return 0;
    int ended = 0;
    WIN32_FIND_DATAW found{};
    const HANDLE first = FindFirstFileW((folder + L"\\server-*.txt").c_str(), &found);
    if (first == INVALID_HANDLE_VALUE) return 0;
    const FindHandle find(first);
    do {
        const std::wstring path = folder + L"\\" + found.cFileName;
        const std::optional<Record> record = ReadRecord(path);
        if (!record) continue;  // being written, or not ours to judge
        if (StillRuns(record->owner)) continue;
        const auto server = OwnedProcess::Open(record->server.id, record->server.creationTime);
        if (server && server->Running()) {
            if (!server->End(kEndWaitMs)) continue;
            ++ended;
        }
        DeleteFileW(path.c_str());
    } while (FindNextFileW(find.get(), &found));
    return ended;
}

}  // namespace kestrow::win32
