#include "files/DraftCopyFolder.h"

#include <cstring>
#include <cwchar>
#include <memory>

#include "common/LongPath.h"
#include "copies/PutBackSwap.h"
#include "files/WholeFile.h"
#include "system/DataFolder.h"
#include "system/FileTime.h"
#include "system/KernelHandle.h"
#include "system/Process.h"
#include "system/SystemText.h"
#include "unattended/UnattendedRun.h"

namespace kestrow::win32 {
namespace {

constexpr DWORD kChunk = 1 << 20;
// How long a put back waits for a process that just ended, or the system,
// to let go of the draft.
constexpr DWORD kReleaseWaitMs = 5000;
constexpr DWORD kReleasePollMs = 100;

RuntimeError LastError(const std::wstring& what) {
    const DWORD error = GetLastError();
    std::wstring text = SystemMessage(HRESULT_FROM_WIN32(error));
    if (text.empty()) text = L"error " + std::to_wstring(error);
    return RuntimeError(static_cast<long>(HRESULT_FROM_WIN32(error)), kProgramSource, what + L": " + text);
}

std::wstring OwnRunName() {
    const ProcessIdentity self = ThisProcess();
    wchar_t name[64];
    std::swprintf(name, 64, L"%lu-%016llX", static_cast<unsigned long>(self.id),
                  static_cast<unsigned long long>(self.creationTime));
    return name;
}

// "2026-12-07T02:00:00+01:00": when a process started, in local time.
std::wstring LocalStartTime(std::uint64_t creationTime) {
    FILETIME local{};
    SYSTEMTIME time{};
    const FILETIME utc = FileTimeOf(creationTime);
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &time)) return std::wstring();
    const long long offsetTicks =
        static_cast<long long>(FileTimeNumber(local)) - static_cast<long long>(FileTimeNumber(utc));
    return Iso8601(time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond,
                   static_cast<int>(offsetTicks / 600000000LL));
}

// A run as its copies' records name it: what it was, and when it started.
std::wstring RunDescription(const std::wstring& label, const ProcessIdentity& process) {
    return (label.empty() ? L"Kestrow" : label) + L", process " + std::to_wstring(process.id) + L" started " +
           LocalStartTime(process.creationTime);
}

// The process named by a run's folder still runs: same id, same creation
// time (ids are reused).
std::optional<ProcessIdentity> RunOf(const std::wstring& runName) {
    unsigned long processId = 0;
    unsigned long long createdTicks = 0;
    if (std::swscanf(runName.c_str(), L"%lu-%llX", &processId, &createdTicks) != 2) return std::nullopt;
    return ProcessIdentity{processId, createdTicks};
}

bool RunStillRuns(const std::wstring& runName) {
    const std::optional<ProcessIdentity> run = RunOf(runName);
    return !run || StillRuns(*run);  // a folder not named by a run is not ours: leave it
}

// Copies what is left of `from` into `to`.
bool CopyContent(HANDLE from, HANDLE to) {
    const std::unique_ptr<char[]> buffer(new char[kChunk]);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(from, buffer.get(), kChunk, &read, nullptr)) return false;
        if (read == 0) return true;
        if (!WriteAll(to, buffer.get(), read)) return false;
    }
}

bool SameContent(HANDLE a, HANDLE b) {
    const std::unique_ptr<char[]> left(new char[kChunk]), right(new char[kChunk]);
    for (;;) {
        DWORD readLeft = 0, readRight = 0;
        if (!ReadFile(a, left.get(), kChunk, &readLeft, nullptr) || !ReadFile(b, right.get(), kChunk, &readRight, nullptr))
            return false;
        if (readLeft != readRight || std::memcmp(left.get(), right.get(), readLeft) != 0) return false;
        if (readLeft == 0) return true;
    }
}

// What a copy's record says of its draft.
struct Record {
    std::wstring draftPath;
    unsigned long long created = 0;
    unsigned long long written = 0;
    DWORD attributes = 0;
    std::wstring run;  // the run that kept it, as the user is told
    // The file names of the versions put backs replaced, the latest last:
    // each put back over a changed draft keeps one of its own.
    std::vector<std::wstring> replaced;
};

std::wstring StemOf(const std::wstring& copyPath) { return copyPath.substr(0, copyPath.size() - 4); }
std::wstring RecordPathOf(const std::wstring& copyPath) { return StemOf(copyPath) + L".txt"; }
// The n-th version a put back replaced: "<n>-replaced.dft", then
// "<n>-replaced-2.dft", ...
std::wstring ReplacedPathOf(const std::wstring& copyPath, size_t number = 1) {
    return StemOf(copyPath) + L"-replaced" + (number > 1 ? L"-" + std::to_wstring(number) : std::wstring()) + L".dft";
}
std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }
std::wstring NameOf(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }

// UTF-16 with its byte order mark, so that Notepad shows the path as it is.
bool WriteRecord(const std::wstring& path, const Record& record) {
    std::wstring text = L"\xFEFF" L"draft=" + record.draftPath + L"\r\ncreated=" + std::to_wstring(record.created) +
                        L"\r\nwritten=" + std::to_wstring(record.written) + L"\r\nattributes=" +
                        std::to_wstring(record.attributes) + L"\r\n";
    if (!record.run.empty()) text += L"run=" + record.run + L"\r\n";
    for (const std::wstring& replaced : record.replaced) text += L"replaced=" + replaced + L"\r\n";
    // Written whole: a record cut short by a kill would name no copy, and
    // the copy would never be named again.
    return WriteWhole(path, text.data(), text.size() * sizeof(wchar_t));
}

bool ReadRecord(const std::wstring& path, Record& record) {
    const KernelHandle file = OwnHandle(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > 1 << 20) return false;
    std::wstring text(static_cast<size_t>(size.QuadPart) / sizeof(wchar_t), L'\0');
    DWORD read = 0;
    if (!ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read, nullptr))
        return false;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find(L"\r\n", at);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(at, end - at);
        at = end + 2;
        if (!line.empty() && line.front() == L'\xFEFF') line.erase(0, 1);
        const size_t equals = line.find(L'=');
        if (equals == std::wstring::npos) continue;
        const std::wstring key = line.substr(0, equals), value = line.substr(equals + 1);
        if (key == L"draft") record.draftPath = value;
        if (key == L"created") record.created = std::wcstoull(value.c_str(), nullptr, 10);
        if (key == L"written") record.written = std::wcstoull(value.c_str(), nullptr, 10);
        if (key == L"attributes") record.attributes = static_cast<DWORD>(std::wcstoul(value.c_str(), nullptr, 10));
        if (key == L"run") record.run = value;
        if (key == L"replaced") record.replaced.push_back(value);
    }
    return !record.draftPath.empty();
}

// The attributes a file may be given by SetFileAttributes.
DWORD SettableAttributes(DWORD attributes) {
    const DWORD settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                           FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_OFFLINE;
    const DWORD kept = attributes & settable;
    return kept ? kept : FILE_ATTRIBUTE_NORMAL;
}

bool Transient(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION; }

// Tries `attempt` again while it fails for a hold on the draft that may pass:
// a server that just ended, or the system after it, may still hold it for a
// moment. False, with the last error as the attempt left it, once it fails
// otherwise or the hold outlasts the wait.
template <typename Attempt>
bool OnceReleased(Attempt attempt) {
    const ULONGLONG deadline = GetTickCount64() + kReleaseWaitMs;
    while (!attempt()) {
        if (!Transient(GetLastError()) || GetTickCount64() >= deadline) return false;
        Sleep(kReleasePollMs);
    }
    return true;
}

// Whether the draft's name is a symbolic link to a file elsewhere, or one
// of several names of its file: a new file swapped in under that name would
// leave the file itself as the failure left it, and part it from its other
// names. Other reparse points (cloud placeholders, for one) are files of
// their own and take the swap.
bool LinkedName(const std::wstring& draftPath) {
    WIN32_FIND_DATAW entry{};
    const HANDLE find = FindFirstFileW(draftPath.c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        FindClose(find);
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && entry.dwReserved0 == IO_REPARSE_TAG_SYMLINK)
            return true;
    }
    const KernelHandle draft =
        OwnHandle(CreateFileW(draftPath.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    return draft && GetFileInformationByHandle(draft.get(), &info) && info.nNumberOfLinks > 1;
}

// `attributes` as SettableAttributes gives them.
bool SetAttributes(HANDLE file, DWORD attributes) {
    FILE_BASIC_INFO basic{};  // times of 0 stay as they are
    basic.FileAttributes = attributes;
    return SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic);
}

// A read-only draft made writable for the time of its put back, and made
// read-only again unless the put back went through (it sets the record's
// attributes). Through the name to the file behind it: a link's own
// attributes say nothing of its file's.
class ReadOnlyLifted {
public:
    explicit ReadOnlyLifted(const std::wstring& path) : path_(path) {
        const KernelHandle file = OpenAttributes(path_);
        FILE_BASIC_INFO basic{};
        if (!file || !GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof basic) ||
            !(basic.FileAttributes & FILE_ATTRIBUTE_READONLY))
            return;
        was_ = basic.FileAttributes;
        lifted_ = SetAttributes(file.get(), SettableAttributes(was_ & ~FILE_ATTRIBUTE_READONLY));
    }
    ~ReadOnlyLifted() {
        if (!lifted_ || done_) return;
        if (const KernelHandle file = OpenAttributes(path_)) SetAttributes(file.get(), SettableAttributes(was_));
    }
    ReadOnlyLifted(const ReadOnlyLifted&) = delete;
    ReadOnlyLifted& operator=(const ReadOnlyLifted&) = delete;
    void Done() { done_ = true; }

private:
    static KernelHandle OpenAttributes(const std::wstring& path) {
        return OwnHandle(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                     nullptr));
    }
    std::wstring path_;
    DWORD was_ = 0;
    bool lifted_ = false;
    bool done_ = false;
};

// What a draft was when its bytes were kept for a put back: a write since
// then is somebody else's, and is not put back over.
struct DraftSeen {
    bool present = false;
    unsigned long long size = 0;
    unsigned long long written = 0;
};

DraftSeen SeenThrough(HANDLE draft) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(draft, &info)) return DraftSeen{};
    return DraftSeen{true, (static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow,
                     FileTimeNumber(info.ftLastWriteTime)};
}

bool SameAsSeen(const DraftSeen& now, const DraftSeen& seen) {
    return now.present == seen.present && now.size == seen.size && now.written == seen.written;
}

// Raised when the draft was written after its bytes were kept: the put back
// stops there, and the draft stays as that writer left it.
RuntimeError WrittenMeanwhile() {
    return RuntimeError(static_cast<long>(HRESULT_FROM_WIN32(ERROR_LOCK_VIOLATION)), kProgramSource,
                        L"Another program wrote the drawing while Kestrow was putting it back; it was left as that "
                        L"program wrote it");
}

DraftSeen SeenAt(const std::wstring& path) {
    const KernelHandle draft = OwnHandle(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                     OPEN_EXISTING, 0, nullptr));
    return draft ? SeenThrough(draft.get()) : DraftSeen{};
}

// The copy written over the draft's own file, through whichever name or link
// leads to it (a link whose file the failure removed gets it back). Not one
// step: cut short, the copy stays and is named.
void WriteBackInPlace(const std::wstring& draftPath, HANDLE kept, const Record& record, const DraftSeen& seen) {
    ReadOnlyLifted writable(draftPath);
    KernelHandle file;
    bool existed = false;
    if (!OnceReleased([&] {
            file = OwnHandle(CreateFileW(draftPath.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            existed = GetLastError() == ERROR_ALREADY_EXISTS;
            return static_cast<bool>(file);
        }))
        throw LastError(L"The drawing could not be written");
    // Nobody else writes it from here on; what was written since its bytes
    // were kept stays.
    if (existed ? !SameAsSeen(SeenThrough(file.get()), seen) : seen.present) throw WrittenMeanwhile();
    FILE_BASIC_INFO basic{};
    basic.CreationTime.QuadPart = static_cast<LONGLONG>(record.created);
    basic.LastWriteTime.QuadPart = static_cast<LONGLONG>(record.written);
    basic.FileAttributes = SettableAttributes(record.attributes);
    if (!CopyContent(kept, file.get()) || !SetEndOfFile(file.get()) || !FlushFileBuffers(file.get()) ||
        !SetFileInformationByHandle(file.get(), FileBasicInfo, &basic, sizeof basic))
        throw LastError(L"The drawing could not be written");
    writable.Done();
}

// The draft's bytes as a put back is about to replace them, kept beside
// its copy with the draft's last write time, under a name of their own
// (an earlier put back's version is never written over), and named in the
// copy's record; "" when the draft is gone and there is nothing to keep.
// `seen` is what the draft was as its bytes were read.
std::wstring KeepReplacedBytes(const DraftCopy& copy, Record& record, DraftSeen& seen) {
    KernelHandle draft;
    seen = DraftSeen{};
    if (!OnceReleased([&] {
            draft = OwnHandle(CreateFileW(copy.draftPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
            return static_cast<bool>(draft);
        })) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) return std::wstring();
        throw LastError(L"The drawing as it was found could not be read, so it was not replaced");
    }
    seen = SeenThrough(draft.get());
    std::wstring replaced;
    KernelHandle file;
    for (size_t number = 1; !file && number <= 1000; ++number) {
        replaced = ReplacedPathOf(copy.copyPath, number);
        file = OwnHandle(CreateFileW(ExtendedLengthPath(replaced).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    FILETIME written{};
    if (!file || !CopyContent(draft.get(), file.get()) || !FlushFileBuffers(file.get()) ||
        !GetFileTime(draft.get(), nullptr, nullptr, &written) || !SetFileTime(file.get(), nullptr, nullptr, &written)) {
        RuntimeError error = LastError(L"The drawing as it was found could not be kept (" + replaced + L")");
        if (file) {
            file.reset();
            DeleteFileW(ExtendedLengthPath(replaced).c_str());
        }
        throw error;
    }
    file.reset();
    record.replaced.push_back(NameOf(replaced));
    if (!WriteRecord(ExtendedLengthPath(RecordPathOf(copy.copyPath)), record)) {
        RuntimeError error = LastError(L"The copy's record could not be written (" + RecordPathOf(copy.copyPath) + L")");
        DeleteFileW(ExtendedLengthPath(replaced).c_str());
        record.replaced.pop_back();
        throw error;
    }
    return replaced;
}

// A put back that failed before touching the draft: the version kept of it
// is the draft itself, so it goes, and the record no longer names it.
void ForgetReplacedBytes(const DraftCopy& copy, Record& record, const std::wstring& replaced) noexcept {
    if (replaced.empty() || record.replaced.empty()) return;
    DeleteFileW(ExtendedLengthPath(replaced).c_str());
    record.replaced.pop_back();
    WriteRecord(ExtendedLengthPath(RecordPathOf(copy.copyPath)), record);
}

}  // namespace

DraftCopyFolder::DraftCopyFolder() : runName_(OwnRunName()), runLabel_(RunDescription(L"", ThisProcess())) {}

void DraftCopyFolder::SetRunLabel(const std::wstring& label) {
    const std::lock_guard<std::mutex> lock(mutex_);
    runLabel_ = RunDescription(label, ThisProcess());
}

DraftCopyFolder::~DraftCopyFolder() {
    // Removed only when empty: a copy still in it names a draft that was not
    // put back.
    if (!runFolder_.empty()) RemoveDirectoryW(runFolder_.c_str());
}

std::wstring DraftCopyFolder::Folder() { return KestrowDataFolder(L"Copies"); }

DraftCopy DraftCopyFolder::Keep(const std::wstring& draftPath) {
    // Sessions that work at once share the run's folder and its numbering.
    const std::lock_guard<std::mutex> lock(mutex_);
    const std::wstring copies = KestrowDataFolder(L"Copies");
    if (copies.empty())
        throw RuntimeError(ErrorNumber::CannotCreateObject, kProgramSource,
                           L"Kestrow's folder for copies of drafts could not be created");
    runFolder_ = copies + L"\\" + runName_;
    if (!CreateDirectoryW(ExtendedLengthPath(runFolder_).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        throw LastError(L"The folder for copies could not be created (" + runFolder_ + L")");

    // Nobody may write the draft while it is copied, so that the copy is of
    // one state of it.
    const KernelHandle draft = OwnHandle(CreateFileW(draftPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                     OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!draft) throw LastError(L"The drawing could not be read");
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(draft.get(), &info)) throw LastError(L"The drawing could not be read");

    const std::wstring copyPath = runFolder_ + L"\\" + std::to_wstring(++counter_) + L".dft";
    {
        const KernelHandle copy = OwnHandle(CreateFileW(ExtendedLengthPath(copyPath).c_str(), GENERIC_WRITE, 0,
                                                        nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!copy) throw LastError(L"The copy could not be created (" + copyPath + L")");
        if (!CopyContent(draft.get(), copy.get()) || !FlushFileBuffers(copy.get())) {
            RuntimeError error = LastError(L"The copy could not be written (" + copyPath + L")");
            DeleteFileW(ExtendedLengthPath(copyPath).c_str());
            throw error;
        }
    }
    const Record record{draftPath, FileTimeNumber(info.ftCreationTime), FileTimeNumber(info.ftLastWriteTime),
                        info.dwFileAttributes, runLabel_, {}};
    if (!WriteRecord(ExtendedLengthPath(RecordPathOf(copyPath)), record)) {
        RuntimeError error = LastError(L"The copy's record could not be written (" + RecordPathOf(copyPath) + L")");
        DiscardLocked(DraftCopy{draftPath, copyPath, {}, {}});
        throw error;
    }
    return DraftCopy{draftPath, copyPath, {}, {}};
}

bool DraftCopyFolder::Unchanged(const DraftCopy& copy) {
    Record record;
    if (!ReadRecord(ExtendedLengthPath(RecordPathOf(copy.copyPath)), record))
        throw LastError(L"The copy's record could not be read (" + RecordPathOf(copy.copyPath) + L")");
    const KernelHandle draft =
        OwnHandle(CreateFileW(copy.draftPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!draft) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) return false;  // put back, as it was
        throw LastError(L"The drawing could not be read");
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(draft.get(), &info)) throw LastError(L"The drawing could not be read");
    if (FileTimeNumber(info.ftLastWriteTime) != record.written || info.dwFileAttributes != record.attributes)
        return false;
    const KernelHandle kept = OwnHandle(CreateFileW(ExtendedLengthPath(copy.copyPath).c_str(), GENERIC_READ,
                                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                                                    nullptr));
    if (!kept) throw LastError(L"The copy could not be read (" + copy.copyPath + L")");
    return SameContent(draft.get(), kept.get());
}

std::wstring DraftCopyFolder::PutBack(const DraftCopy& copy) {
    Record record;
    if (!ReadRecord(ExtendedLengthPath(RecordPathOf(copy.copyPath)), record))
        throw LastError(L"The copy's record could not be read (" + RecordPathOf(copy.copyPath) + L")");
    const KernelHandle kept = OwnHandle(CreateFileW(ExtendedLengthPath(copy.copyPath).c_str(), GENERIC_READ,
                                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                                                    nullptr));
    if (!kept) throw LastError(L"The copy could not be read (" + copy.copyPath + L")");
    DraftSeen seen;
    const std::wstring replaced = KeepReplacedBytes(copy, record, seen);
    if (LinkedName(copy.draftPath)) {
        try {
            WriteBackInPlace(copy.draftPath, kept.get(), record, seen);
        } catch (const RuntimeError& error) {
            // Cut short, this leaves the draft neither version: the one it
            // replaced stays kept, named in the record and here.
            if (replaced.empty()) throw;
            throw RuntimeError(error.Number(), error.Source(),
                               error.Description() + L"; the drawing as it was found is kept at " + replaced,
                               error.Kind());
        }
        return replaced;
    }
    // Written whole beside the draft, then swapped in with one rename: a
    // put back cut short leaves the draft as the failure left it, and the
    // version kept of it goes again.
    const std::wstring temporary =
        ExtendedLengthPath(copy.draftPath + L".kestrow-" + std::to_wstring(GetCurrentProcessId()) + L".tmp");
    {
        const KernelHandle file = OwnHandle(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            RuntimeError error = LastError(L"A temporary file could not be created beside the drawing");
            ForgetReplacedBytes(copy, record, replaced);
            throw error;
        }
        const FILETIME created = FileTimeOf(record.created), written = FileTimeOf(record.written);
        if (!CopyContent(kept.get(), file.get()) || !FlushFileBuffers(file.get()) ||
            !SetFileTime(file.get(), &created, nullptr, &written)) {
            RuntimeError error = LastError(L"The temporary file beside the drawing could not be written");
            DeleteFileW(temporary.c_str());
            ForgetReplacedBytes(copy, record, replaced);
            throw error;
        }
    }
    SetFileAttributesW(temporary.c_str(), SettableAttributes(record.attributes));

    ReadOnlyLifted writable(copy.draftPath);
    DWORD swapError = ERROR_SUCCESS;
    const ULONGLONG deadline = GetTickCount64() + kReleaseWaitMs;
    const SwapOutcome outcome = SwapWhileUnchanged(PutBackSwap{
        [&] { return SameAsSeen(SeenAt(copy.draftPath), seen); },
        [&] {
            if (MoveFileExW(temporary.c_str(), copy.draftPath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
                return SwapTry::Done;
            swapError = GetLastError();
            return Transient(swapError) ? SwapTry::Held : SwapTry::Failed;
        },
        [&] {
            if (GetTickCount64() >= deadline) return false;
            Sleep(kReleasePollMs);
            return true;
        }});
    if (outcome == SwapOutcome::Swapped) {
        writable.Done();
        return replaced;
    }
    SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(temporary.c_str());
    // A write while the put back was under way is kept as it is, and so is
    // the version kept before it: it too is somebody's.
    if (outcome == SwapOutcome::WrittenMeanwhile) throw WrittenMeanwhile();
    SetLastError(swapError);
    RuntimeError error = LastError(L"The drawing could not be replaced");
    ForgetReplacedBytes(copy, record, replaced);
    throw error;
}

void DraftCopyFolder::Discard(const DraftCopy& copy) noexcept {
    const std::lock_guard<std::mutex> lock(mutex_);
    DiscardLocked(copy);
}

bool DraftCopyFolder::SameAsDraft(const DraftCopy& copy) {
    try {
        return Unchanged(copy);
    } catch (const RuntimeError&) {
        return false;
    }
}

void DraftCopyFolder::Retire(const DraftCopy& copy) noexcept {
    DeleteFileW(ExtendedLengthPath(copy.copyPath).c_str());
    if (!copy.replacedPath.empty()) DeleteFileW(ExtendedLengthPath(copy.replacedPath).c_str());
    DeleteFileW(ExtendedLengthPath(RecordPathOf(copy.copyPath)).c_str());
    RemoveDirectoryW(ExtendedLengthPath(FolderOf(copy.copyPath)).c_str());
}

void DraftCopyFolder::DiscardLocked(const DraftCopy& copy) noexcept {
    DeleteFileW(ExtendedLengthPath(copy.copyPath).c_str());
    DeleteFileW(ExtendedLengthPath(RecordPathOf(copy.copyPath)).c_str());
    if (!runFolder_.empty()) RemoveDirectoryW(runFolder_.c_str());
}

std::vector<DraftCopy> DraftCopyFolder::FromEndedRuns() {
    std::vector<DraftCopy> left;
    const std::wstring copies = KestrowDataFolder(L"Copies");
    if (copies.empty()) return left;
    WIN32_FIND_DATAW run{};
    const HANDLE runs = FindFirstFileW((copies + L"\\*").c_str(), &run);
    if (runs == INVALID_HANDLE_VALUE) return left;
    do {
        const std::wstring name = run.cFileName;
        if (!(run.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name == L"." || name == L".." || name == runName_ ||
            RunStillRuns(name))
            continue;
        const std::wstring folder = copies + L"\\" + name;
        WIN32_FIND_DATAW entry{};
        const HANDLE records = FindFirstFileW((folder + L"\\*.txt").c_str(), &entry);
        if (records == INVALID_HANDLE_VALUE) {
            RemoveDirectoryW(folder.c_str());  // an ended run's empty folder
            continue;
        }
        do {
            const std::wstring recordPath = folder + L"\\" + entry.cFileName;
            Record record;
            if (!ReadRecord(ExtendedLengthPath(recordPath), record)) continue;
            const std::wstring copyPath = StemOf(recordPath) + L".dft";
            const std::optional<ProcessIdentity> process = RunOf(name);
            left.push_back({record.draftPath, copyPath,
                            record.replaced.empty() ? std::wstring() : folder + L"\\" + record.replaced.back(),
                            !record.run.empty() ? record.run
                            : process           ? RunDescription(L"", *process)
                                                : name});
        } while (FindNextFileW(records, &entry));
        FindClose(records);
    } while (FindNextFileW(runs, &run));
    FindClose(runs);
    return left;
}

}  // namespace kestrow::win32
