#pragma once
// Answers the modal dialogs the program under test opens, from a second
// thread, and records what each one showed: message boxes (text, icon,
// buttons) and the shell's folder dialog.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kestrow::wintest {

enum class Icon { None, Error, Question, Exclamation, Information };

struct SeenDialog {
    std::wstring title;
    std::wstring text;     // a message box's text; the folder dialog's prompt
    Icon icon = Icon::None;
    std::vector<std::wstring> buttons;
    std::vector<std::wstring> statics;  // every text the dialog shows
    bool folderDialog = false;
    HWND owner = nullptr;
    bool ownerEnabled = true;      // the owner could take input meanwhile
    std::wstring checkBox;         // a check box's label, if there is one
    bool checked = false;          // its state as the dialog opened
    std::wstring selectedFolder;   // the folder dialog's selection as it opened
    std::wstring copied;           // what Ctrl+C put on the clipboard, when asked to
    std::wstring accessKeyClashes; // the access keys two of its controls use (see AccessKeyClashes)
};

// What to do with the next dialog: given what it shows, press a button id
// (IDOK, IDCANCEL, IDTRYAGAIN, ...), or for the folder dialog choose a
// folder first (path non-empty) and press OK.
struct Answer {
    int button = IDOK;
    std::wstring folder;
    std::function<void()> before;  // runs on the watcher's thread before the button is pressed
    std::function<void()> after;   // and this once it is pressed
    std::optional<bool> check;     // the state to give the dialog's check box
    int specialFolder = -1;        // a CSIDL for the folder dialog to choose instead of `folder`
    bool copyText = false;         // press Ctrl+C first
    int pressFirst = 0;            // a button to press first that leaves the dialog open
    std::wstring fileName;         // typed into a file dialog's name box before OK
};

class DialogWatcher {
public:
    // Answers dialogs in order; once the list runs out it presses Cancel or OK
    // and records the dialog as unexpected.
    explicit DialogWatcher(std::vector<Answer> answers);
    ~DialogWatcher();
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;

    std::vector<SeenDialog> Seen();
    int Unexpected() const { return unexpected_; }

private:
    void Run();
    void Handle(HWND dialog);

    std::vector<Answer> answers_;
    size_t next_ = 0;
    std::vector<SeenDialog> seen_;
    std::mutex mutex_;
    std::atomic<bool> stop_{false};
    std::atomic<int> unexpected_{0};
    std::vector<HWND> handled_;
    std::thread thread_;
};

// An item of a popup menu as it showed: its text with its '&' and whether
// it could be chosen.
struct SeenMenuItem {
    std::wstring text;
    bool enabled = false;
    bool checked = false;
};

// Waits on a thread of its own for the next popup menu of this process and
// reads its items, then chooses one by its access key (or, with key 0,
// closes the menu with Esc).
class MenuChooser {
public:
    explicit MenuChooser(wchar_t key);
    ~MenuChooser();
    MenuChooser(const MenuChooser&) = delete;
    MenuChooser& operator=(const MenuChooser&) = delete;
    // Empty until the menu showed.
    std::vector<SeenMenuItem> Items();

private:
    std::mutex mutex_;
    std::vector<SeenMenuItem> items_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The access keys of a dialog's or a menu's texts that more than one of
// them uses, upper-cased: "" when each is used once.
std::wstring AccessKeyClashes(const std::vector<std::wstring>& texts);

// Runs the calling thread's messages until `done` holds or time runs out.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit,
               const std::function<bool(MSG&)>& preTranslate = nullptr);

}  // namespace kestrow::wintest
