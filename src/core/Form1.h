#pragma once
// The main window's state and handlers: the Browse flow that lists a
// folder's drafts and the batch update that has the CAD server update and
// store each of them.
#include <cstdint>
#include <string>

#include "Automation.h"
#include "Controls.h"
#include "DirectoryEnumerator.h"
#include "FolderPicker.h"
#include "MessageBox.h"

namespace kestrow {

struct Form1Controls {
    CommandButton& cmdBrowse;
    ListBox& List1;
    Label& Label1;
    TextBox& Text1;
    CommandButton& cmdUpdate;
};

struct Form1Services {
    MessageBoxService& messages;
    FolderPicker& folders;
    DirectoryEnumerator& directory;
    AutomationFactory& automation;
};

class Form1 {
public:
    static constexpr const wchar_t* Caption = L"Kestrow v 1.0";
    static constexpr const wchar_t* BrowsePrompt = L"Select Draft files folder";
    // The names are joined with a character Windows forbids in file names,
    // so that a name holding "#" stays one entry.
    static constexpr const wchar_t* ListSeparator = L"|";

    Form1(Form1Controls controls, Form1Services services) : c_(controls), s_(services) {}
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    void cmdBrowse_Click();
    void cmdUpdate_Click();
    void UpdateDraftFiles();

    bool BatchRunning() const { return batchRunning_; }
    // Asks a running batch to stop after the file in hand; the server is
    // still told to end its work and every reference is released.
    void RequestStop() { stopRequested_ = true; }
    // The server stopped answering and the user gave up on it: stop the
    // batch and make no further call to it, not even the final one.
    void AbandonServer() {
        stopRequested_ = true;
        serverAbandoned_ = true;
    }
    bool ServerAbandoned() const { return serverAbandoned_; }

    // State fields, in declaration order.
    AutomationRef seApp;
    AutomationRef seDoc;
    std::wstring folderPath;
    std::wstring filePath;
    std::int32_t updateIndex = 0;
    std::wstring fileList;
    std::int32_t fileCount = 0;
    std::int32_t listIndex = 0;
    std::wstring fileName;

private:
    enum class FileOutcome { Stored, Skipped, StopBatch };

    void EndBrowseWithMessage(const wchar_t* text, unsigned code);
    bool StartServer();
    FileOutcome UpdateListedFile();
    void UpdateOneDraft();

    Form1Controls c_;
    Form1Services s_;
    bool batchRunning_ = false;
    bool stopRequested_ = false;
    bool serverAbandoned_ = false;
};

}  // namespace kestrow
