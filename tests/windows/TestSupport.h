#pragma once
// Folders, drafts, the stand-in server's journal and processes, for the
// tests that run under Wine.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "form/FolderPicker.h"

namespace kestrow::wintest {

// Answers Browse at once with the folder it holds, where the modal dialog
// is not what is being exercised.
struct FixedFolderPicker : FolderPicker {
    std::wstring folder;
    bool subfolders = false;
    FolderChoice ChooseFolder(const FolderRequest&) override {
        return {FolderChoice::Outcome::Folder, folder, L"", subfolders};
    }
};

// A new empty folder under the temporary folder, removed with everything
// in it when the object goes.
class TestFolder {
public:
    explicit TestFolder(const std::wstring& name);
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;
    const std::wstring& Path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

void WriteUtf8(const std::wstring& path, const std::string& bytes);
std::string ReadUtf8(const std::wstring& path);
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& text);

// A stand-in draft with `views` stale views and the given extra lines.
void WriteDraft(const std::wstring& path, int views, const std::string& extraLines = "");
// How often the stand-in server stored a draft ("stored <n>"), -1 if unreadable.
int StoredCount(const std::wstring& path);
bool AllViewsCurrent(const std::wstring& path);

// Points the stand-in server's journal at a fresh file for as long as it
// lives; Lines() reads what the server wrote.
class Journal {
public:
    Journal();
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;
    std::vector<std::string> Lines() const;
    // Forgets every line so far.
    void Clear() const { DeleteFileW(path_.c_str()); }

private:
    std::wstring path_;
};

// A journal line with the stand-in's JournalPids setting, "<pid>: <call>",
// or with JournalTimes too, "<tick ms> <pid>: <call>" (tick 0 without).
struct JournalEntry {
    unsigned long long tick = 0;
    DWORD pid = 0;
    std::string call;
};
std::optional<JournalEntry> ReadJournalEntry(const std::string& line);

// The pid of the first line whose call starts with `call` (0 if none), and
// every process that journaled a call starting with `call`.
DWORD JournalPid(const std::vector<std::string>& lines, const std::string& call);
std::vector<DWORD> JournalPids(const std::vector<std::string>& lines, const std::string& call);
bool ProcessRuns(DWORD pid);

// Stand-in server settings in HKCU for the servers started from now on.
void SetStandInSetting(const wchar_t* name, const std::wstring& value);
void ClearStandInSetting(const wchar_t* name);

// The rows of a list box, in order.
std::vector<std::wstring> ListRows(HWND list);

// The Kestrow.exe that was built with these tests.
std::wstring KestrowExe();

// What a run of Kestrow.exe from the command line did: its exit code and
// everything it wrote to its standard output and error, as lines.
struct ProgramRun {
    DWORD exitCode = 0;
    std::vector<std::wstring> lines;
    std::wstring Text() const;
};
// Runs Kestrow.exe (or `program`) with `arguments` (quoted as given) in
// `directory`; the program hears itself named `typed`, as cmd names what
// the user typed, or by its quoted path.
ProgramRun RunKestrow(const std::wstring& arguments, const std::wstring& directory = L"",
                      DWORD limitMs = 5 * 60 * 1000, const std::wstring& program = L"", const std::wstring& typed = L"");

// Starts the stand-in as a user's own session of the CAD system and waits
// until it is registered as running; null if it never was.
HANDLE StartStandInUserSession();
// Starts the stand-in with `argument`; its process handle, null on failure.
HANDLE StartStandIn(const wchar_t* argument);
// Asks a stand-in to end as it would by itself (its message loop quits, its
// registrations are withdrawn), then closes the handle. A server registered
// for multiple use that is killed instead leaves Wine refusing activations
// for half a minute.
void EndStandInGently(HANDLE process);
std::wstring StandInPath();
DWORD RunStandIn(const wchar_t* argument);
// The stand-in's registration taken away for as long as it lives.
struct UnregisteredStandIn {
    UnregisteredStandIn();
    ~UnregisteredStandIn();
    bool done = false;
};

// The stand-in registered, as some installers do, without quotes from a
// folder with spaces; the built one is registered again afterwards,
// whatever happened.
struct UnquotedRegistration {
    UnquotedRegistration();
    ~UnquotedRegistration();
    TestFolder folder{L"Stand In"};
    const std::wstring exe = folder / L"KestrowStandIn.exe";
    bool registered = false;
};

int StandInProcessCount();
// Waits up to `ms` for every stand-in server process to end.
bool WaitForNoStandIn(DWORD ms);
void KillStandIn();

}  // namespace kestrow::wintest
