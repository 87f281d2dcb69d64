#pragma once
// In-memory stand-ins for the controls and services the core talks to.
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "exports/DraftExports.h"
#include "exports/ExportTemporary.h"
#include "form/Controls.h"
#include "form/FolderPicker.h"
#include "form/Form1.h"
#include "form/MessageBox.h"
#include "listing/DirectoryEnumerator.h"
#include "unattended/ExportRows.h"
#include "unattended/UnattendedRun.h"

namespace kestrow::testing {

struct FakeLabel : Label {
    std::wstring caption;
    std::vector<std::wstring> history;
    void SetCaption(const std::wstring& c) override { caption = c; history.push_back(c); }
    std::wstring Caption() const override { return caption; }
};

struct FakeTextBox : TextBox {
    std::wstring text;
    bool enabled = true;
    void SetText(const std::wstring& t) override { text = t; }
    std::wstring Text() const override { return text; }
    void SetEnabled(bool e) override { enabled = e; }
    bool Enabled() const override { return enabled; }
};

struct FakeButton : CommandButton {
    bool enabled = true;
    std::wstring caption;
    void SetEnabled(bool e) override { enabled = e; }
    bool Enabled() const override { return enabled; }
    void SetCaption(const std::wstring& c) override { caption = c; }
    std::wstring Caption() const override { return caption; }
};

struct FakeListBox : ListBox {
    std::vector<std::wstring> rows;
    std::int32_t selected = -1;
    void Clear() override { rows.clear(); selected = -1; }
    void AddItem(const std::wstring& text) override { rows.push_back(text); }
    std::int32_t ListCount() const override { return static_cast<std::int32_t>(rows.size()); }
    void SetListIndex(std::int32_t index) override { selected = index; }
    std::int32_t ListIndex() const override { return selected; }
    std::wstring SelectedText() const override {
        return (selected >= 0 && selected < ListCount()) ? rows[static_cast<size_t>(selected)] : std::wstring();
    }
};

struct ShownMessage {
    std::wstring text;
    MessageButtons buttons;
    MessageIcon icon;
    std::wstring title;
    std::wstring checkText;  // the failure question's check box
    bool offersReport = false;  // with a button that shows the batch's report
};

struct FakeMessageBox : MessageBoxService {
    std::vector<ShownMessage> shown;
    std::deque<CheckedAnswer> answers;  // in order; OK (or Cancel) once they run out
    std::function<void()> whileAsking;  // runs while the failure question is up
    MessageAnswer Show(const std::wstring& text, MessageButtons buttons, MessageIcon icon,
                       const std::wstring& title) override {
        shown.push_back({text, buttons, icon, title, L""});
        return Next(MessageAnswer::Ok).answer;
    }
    CheckedAnswer AskCancelTryContinue(const std::wstring& text, MessageIcon icon, const std::wstring& title,
                                       const std::wstring& checkText) override {
        shown.push_back({text, MessageButtons::CancelTryContinue, icon, title, checkText});
        if (whileAsking) whileAsking();
        return Next(MessageAnswer::Cancel);
    }
    void ShowOfferingReport(const std::wstring& text, MessageIcon icon, const std::wstring& title,
                            const std::function<void()>& showReport) override {
        shown.push_back({text, MessageButtons::Ok, icon, title, L"", true});
        if (pressShowReport) showReport();
    }
    bool pressShowReport = false;
    void Answer(MessageAnswer answer, bool checked = false) { answers.push_back({answer, checked}); }

private:
    CheckedAnswer Next(MessageAnswer fallback) {
        if (answers.empty()) return {fallback, false};
        const CheckedAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

struct FakeFolderPicker : FolderPicker {
    std::deque<FolderChoice> results;  // cancelled once they run out
    std::vector<FolderRequest> requests;
    FolderChoice ChooseFolder(const FolderRequest& request) override {
        requests.push_back(request);
        if (results.empty()) return FolderChoice{};
        FolderChoice result = results.front();
        results.pop_front();
        return result;
    }
    void Choose(const std::wstring& folder, bool subfolders = false) {
        results.push_back({FolderChoice::Outcome::Folder, folder, L"", subfolders});
    }
};

// Maps "folder\pattern" to the entries the enumeration reports; a name
// ending in "\" is a folder.
struct FakeDirectory : DirectoryEnumerator {
    std::map<std::wstring, std::vector<std::wstring>> listings;
    std::map<std::wstring, RuntimeError> unreadable;
    std::vector<std::wstring> queries;
    void ForEachEntry(const std::wstring& folderAndPattern,
                      const std::function<void(const std::wstring&, EntryKind)>& onEntry) override {
        queries.push_back(folderAndPattern);
        if (auto bad = unreadable.find(folderAndPattern); bad != unreadable.end()) throw bad->second;
        auto it = listings.find(folderAndPattern);
        if (it == listings.end()) return;
        for (const auto& name : it->second) {
            if (!name.empty() && name.back() == L'\\')
                onEntry(name.substr(0, name.size() - 1), EntryKind::Folder);
            else
                onEntry(name, EntryKind::PlainFile);
        }
    }
};

struct FakeTaskbar : TaskbarProgress {
    std::vector<std::wstring> events;
    void Show(std::int32_t done, std::int32_t total, State state) override {
        const wchar_t* name = state == State::Normal ? L"normal" : state == State::Paused ? L"paused" : L"error";
        events.push_back(std::to_wstring(done) + L"/" + std::to_wstring(total) + L" " + name);
    }
    void Clear() override { events.push_back(L"clear"); }
    void FlashIfInBackground() override { events.push_back(L"flash"); }
};

// Files of exports in memory: each path's content, and the calls in order
// ("make <folder>", "sweep <folder>", "replace <target>").
struct FakeExportFiles : ExportFiles {
    std::map<std::wstring, std::string> disk;
    std::vector<std::wstring> calls;
    std::set<std::wstring> unmakeable, locked;  // folders that cannot be made, targets a viewer holds
    std::uint64_t attempts = 0;
    static RuntimeError Denied(const std::wstring& what) {
        return RuntimeError(static_cast<std::int32_t>(0x80070005u), L"Kestrow", what + L": Access denied.");
    }
    void MakeFolder(const std::wstring& folder) override {
        calls.push_back(L"make " + folder);
        if (unmakeable.count(folder)) throw Denied(folder);
    }
    void RemoveLeftovers(const std::wstring& folder) noexcept override { calls.push_back(L"sweep " + folder); }
    std::wstring TemporaryFor(const std::wstring& target) override {
        return TemporaryExportPath(target, ExportRun{0x9E3A51C0, 4312, 0x01DB4C2A9F3E1200}, ++attempts);
    }
    std::uint64_t Replace(const std::wstring& temporary, const std::wstring& target) override {
        calls.push_back(L"replace " + target);
        const auto made = disk.find(temporary);
        if (locked.count(target) || made == disk.end()) throw Denied(target);
        disk[target] = made->second;
        disk.erase(made);
        return disk[target].size();
    }
    void Remove(const std::wstring& temporary) noexcept override { disk.erase(temporary); }
};

// An unattended run's lines, and its rows as a log of `layout` has them.
struct RecordingOutput : RunOutput {
    explicit RecordingOutput(LogLayout layout = LogLayout::SixColumns) : layout(layout) {}
    LogLayout layout;
    std::vector<std::wstring> lines, rows, inHand;
    void Line(const std::wstring& text) override { lines.push_back(text); }
    void InHand(const DraftRecord& draft) override { inHand.push_back(draft.name); }
    void Row(const DraftRecord& draft, std::optional<double>) override {
        rows.push_back(FormatLogRow(DraftLogRow(L"T", draft), layout));
    }
    void Row(const UnreadableFolder& folder) override { rows.push_back(FormatLogRow(FolderLogRow(L"T", folder), layout)); }
    void ExportRow(const DraftRecord& draft, const DraftExport& made) override {
        rows.push_back(FormatLogRow(ExportLogRow(L"T", draft, made), layout));
    }
};

// Runs a batch on the calling thread, start to end, inside Start.
struct InlineBatchRunner : BatchRunner {
    void Start(DraftBatch& batch, BatchUser& user, BatchProgress& progress,
               std::function<void(BatchResult)> finished) override {
        finished(batch.Run(user, progress));
    }
};

}  // namespace kestrow::testing
