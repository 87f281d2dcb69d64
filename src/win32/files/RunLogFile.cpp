#include "files/RunLogFile.h"

#include <cwchar>

#include "common/LongPath.h"
#include "system/FileTime.h"
#include "system/SystemText.h"
#include "unattended/LogTail.h"

namespace kestrow::win32 {
namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
// The header is short: a first line longer than this is no Kestrow log.
constexpr DWORD kHeaderProbeBytes = 4096;

bool ReadBytes(HANDLE file, std::string& bytes, size_t count) {
    const size_t start = bytes.size();
    bytes.resize(start + count);
    size_t done = 0;
    while (done < count) {
        DWORD read = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 24));
        if (!ReadFile(file, bytes.data() + start + done, chunk, &read, nullptr)) return false;
        if (read == 0) break;
        done += read;
    }
    bytes.resize(start + done);
    return true;
}

bool ReadBytesAt(HANDLE file, unsigned long long offset, std::string& bytes, size_t count) {
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && ReadBytes(file, bytes, count);
}

// The log as it was when opened: rows appended since are this run's own.
class OpenedLogBytes : public LogBytes {
public:
    OpenedLogBytes(HANDLE file, unsigned long long size) : file_(file), size_(size) {}
    std::uint64_t Size() override { return size_; }
    std::string Read(std::uint64_t offset, std::size_t count) override {
        std::string bytes;
        if (!ReadBytesAt(file_, offset, bytes, count)) bytes.clear();
        return bytes;
    }

private:
    HANDLE file_;
    unsigned long long size_;
};

}  // namespace

RunLogFile::Opened RunLogFile::Open(const std::wstring& path) {
    // Sharing reads only: a second writer, another Kestrow among them, gets
    // a sharing violation, and so does this one if someone writes it now.
    file_ = OwnHandle(CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_READ | FILE_APPEND_DATA,
                                  FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) return GetLastError() == ERROR_SHARING_VIOLATION ? Opened::InUse : Opened::Failed;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file_.get(), &size)) return Opened::Failed;
    if (size.QuadPart == 0) {
        layout_ = kNewLogLayout;
        const std::string header = kByteOrderMark + Utf8(LogHeaderFor(layout_) + L"\r\n");
        DWORD written = 0;
        if (!WriteFile(file_.get(), header.data(), static_cast<DWORD>(header.size()), &written, nullptr) ||
            written != header.size())
            return Opened::Failed;
        return Opened::Ok;
    }
    if (const Opened header = ReadHeader(size.QuadPart); header != Opened::Ok) return header;
    std::string last;
    if (!ReadBytesAt(file_.get(), sizeWhenOpened_ - 1, last, 1) || last.size() != 1) return Opened::Failed;
    // A run cut short in the middle of a row left it without its line
    // break: the next row starts on a line of its own.
    if (last[0] != '\n' && !Write(std::wstring())) return Opened::Failed;
    return Opened::Ok;
}

RunLogFile::Opened RunLogFile::ReadHeader(LONGLONG size) {
    std::string bytes;
    if (!ReadBytes(file_.get(), bytes, static_cast<size_t>(std::min<LONGLONG>(size, kHeaderProbeBytes))))
        return Opened::Failed;
    const size_t lineEnd = bytes.find('\n');
    if (lineEnd == std::string::npos && bytes.size() == kHeaderProbeBytes) return Opened::NotALog;
    const std::optional<LogLayout> layout = LogLayoutOf(FromUtf8(bytes.substr(0, lineEnd)));
    if (!layout) return Opened::NotALog;
    layout_ = *layout;
    sizeWhenOpened_ = static_cast<unsigned long long>(size);
    return Opened::Ok;
}

RunLogFile::Opened RunLogFile::OpenToRead(const std::wstring& path) {
    const std::wstring longPath = ExtendedLengthPath(path);
    const DWORD attributes = GetFileAttributesW(longPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        layout_ = kNewLogLayout;
        return GetLastError() == ERROR_FILE_NOT_FOUND ? Opened::Ok : Opened::Failed;
    }
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return Opened::Failed;
    }
    // A log that somebody writes now is refused here as Open refuses it:
    // a handle that shares reads only cannot be had. It is let go at once,
    // and the log read beside writers, so that a run starting meanwhile
    // is not refused because of this one.
    const auto open = [&](DWORD share) {
        return OwnHandle(CreateFileW(longPath.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    };
    if (!open(FILE_SHARE_READ)) return GetLastError() == ERROR_SHARING_VIOLATION ? Opened::InUse : Opened::Failed;
    file_ = open(FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!file_) return Opened::Failed;
    readOnly_ = true;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file_.get(), &size)) return Opened::Failed;
    if (size.QuadPart == 0) {
        layout_ = kNewLogLayout;
        return Opened::Ok;
    }
    return ReadHeader(size.QuadPart);
}

LastRun RunLogFile::ReadLastRun() {
    if (!file_ || sizeWhenOpened_ == 0 || !RecordsRuns(layout_)) return LastRun{};
    OpenedLogBytes bytes(file_.get(), sizeWhenOpened_);
    LastRun last = ReadLastRunFromEnd(bytes, layout_, [](const std::string& utf8) { return FromUtf8(utf8); });
    // Rows are appended, and only at the end, wherever the reads left off.
    const LARGE_INTEGER end{};
    SetFilePointerEx(file_.get(), end, nullptr, FILE_END);
    return last;
}

bool RunLogFile::Write(const std::wstring& line) {
    if (!file_) return true;
    if (readOnly_) return false;
    const std::string bytes = Utf8(line + L"\r\n");
    DWORD written = 0;
    return WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::optional<DraftFacts> DraftFactsOnDisk(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(ExtendedLengthPath(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    const unsigned long long size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    const std::uint64_t ticks = FileTimeNumber(data.ftLastWriteTime);
    SYSTEMTIME utc{};
    if (!FileTimeToSystemTime(&data.ftLastWriteTime, &utc)) return std::nullopt;
    // UTC to the file system's own resolution: any later write shows.
    wchar_t written[40];
    std::swprintf(written, 40, L"%04u-%02u-%02uT%02u:%02u:%02u.%07lluZ", utc.wYear, utc.wMonth, utc.wDay, utc.wHour,
                  utc.wMinute, utc.wSecond, ticks % 10000000ULL);
    return DraftFacts{std::to_wstring(size), written};
}

}  // namespace kestrow::win32
