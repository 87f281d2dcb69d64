#pragma once
// In-memory stand-ins for the controls and services the core talks to.
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "Automation.h"
#include "Controls.h"
#include "DirectoryEnumerator.h"
#include "FolderPicker.h"
#include "MessageBox.h"

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
    void SetEnabled(bool e) override { enabled = e; }
    bool Enabled() const override { return enabled; }
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
    unsigned code;
    std::wstring title;
};

struct FakeMessageBox : MessageBoxService {
    std::vector<ShownMessage> shown;
    std::deque<int> answers;  // answers to give, in order; OK once they run out
    int Show(const std::wstring& text, unsigned code, const std::wstring& title) override {
        shown.push_back({text, code, title});
        if (answers.empty()) return MessageAnswer::Ok;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

struct FakeFolderPicker : FolderPicker {
    std::deque<std::wstring> results;
    std::vector<std::wstring> prompts;
    std::wstring BrowseFolder(const std::wstring& prompt) override {
        prompts.push_back(prompt);
        if (results.empty()) return L"";
        std::wstring result = results.front();
        results.pop_front();
        return result;
    }
};

// Maps "folder\pattern" to the names the enumeration reports.
struct FakeDirectory : DirectoryEnumerator {
    std::map<std::wstring, std::vector<std::wstring>> listings;
    std::vector<std::wstring> queries;
    void ForEachPlainFile(const std::wstring& folderAndPattern,
                          const std::function<void(const std::wstring&)>& onName) override {
        queries.push_back(folderAndPattern);
        auto it = listings.find(folderAndPattern);
        if (it == listings.end()) return;
        for (const auto& name : it->second) onName(name);
    }
};

}  // namespace kestrow::testing
