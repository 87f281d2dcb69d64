#pragma once
#include "FakeAutomation.h"
#include "Fakes.h"
#include "form/Form1.h"

namespace kestrow::testing {

// A record of the batches that notes what it is told.
struct FakeBatchRecord : BatchRecord, BatchProgress {
    std::wstring beginTrouble, endTrouble;  // what Begin and End return
    std::vector<std::wstring> events;
    std::wstring Begin(const std::wstring& folder) override {
        events.push_back(L"begin " + folder);
        return beginTrouble;
    }
    BatchProgress& Progress() override { return *this; }
    std::wstring End(const BatchResult& result) override {
        events.push_back(L"end of " + std::to_wstring(result.drafts.size()));
        return endTrouble;
    }
    bool HasReport(const std::wstring&) override { return true; }
    void ShowReport(const std::wstring& folder) override { events.push_back(L"report " + folder); }
    void DraftStarting(std::int32_t, std::int32_t, const DraftRecord& draft) override {
        events.push_back(L"start " + draft.name);
    }
    void DraftEnded(std::int32_t, std::int32_t, const DraftRecord& draft) override {
        events.push_back(L"end " + draft.name + (draft.state == DraftState::Stored ? L" stored" : L" not stored"));
    }
};

// A Form1 wired to in-memory controls and services, its batches run inline.
struct Form1Fixture {
    FakeButton cmdBrowse, cmdUpdate;
    FakeListBox List1;
    FakeLabel Label1;
    FakeTextBox Text1;
    FakeMessageBox messages;
    FakeFolderPicker folders;
    FakeDirectory directory;
    FakeServer server;
    InlineLauncher launcher{server};
    InlineBatchRunner runner;
    FakeTaskbar taskbar;
    FakeExportFiles exportFiles;
    FakeBatchRecord record;
    // A clock that moves on by `tick` each time the window reads it.
    std::chrono::steady_clock::time_point now{};
    std::chrono::milliseconds tick{1000};
    Form1 form{Form1Controls{cmdBrowse, List1, Label1, Text1, cmdUpdate},
               Form1Services{messages, folders, directory, launcher, runner, taskbar, nullptr, &exportFiles, &record},
               std::chrono::seconds(60),
               ClickTiming{std::chrono::milliseconds(500), [this] { return now += tick; }}};

    Form1Fixture() {
        cmdUpdate.enabled = false;
        cmdUpdate.caption = Form1::UpdateCaption;
    }

    // A Browse of `folder` whose enumeration reports `names`.
    void BrowseTo(const std::wstring& folder, std::vector<std::wstring> names) {
        std::wstring withSlash = folder;
        if (withSlash.empty() || withSlash.back() != L'\\') withSlash += L'\\';
        directory.listings[withSlash + L"*.dft"] = std::move(names);
        folders.Choose(folder);
        form.cmdBrowse_Click();
    }
};

}  // namespace kestrow::testing
