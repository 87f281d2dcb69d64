#pragma once
#include "FakeAutomation.h"
#include "Fakes.h"
#include "Form1.h"

namespace kestrow::testing {

// A Form1 wired to in-memory controls and services.
struct Form1Fixture {
    FakeButton cmdBrowse, cmdUpdate;
    FakeListBox List1;
    FakeLabel Label1;
    FakeTextBox Text1;
    FakeMessageBox messages;
    FakeFolderPicker folders;
    FakeDirectory directory;
    FakeServer server;
    FakeFactory factory{server};
    Form1 form{Form1Controls{cmdBrowse, List1, Label1, Text1, cmdUpdate},
               Form1Services{messages, folders, directory, factory}};

    Form1Fixture() { cmdUpdate.enabled = false; }

    // A Browse of `folder` whose enumeration reports `names`.
    void BrowseTo(const std::wstring& folder, std::vector<std::wstring> names) {
        std::wstring withSlash = folder;
        if (withSlash.empty() || withSlash.back() != L'\\') withSlash += L'\\';
        directory.listings[withSlash + L"*.dft"] = std::move(names);
        folders.results.push_back(folder);
        form.cmdBrowse_Click();
    }
};

}  // namespace kestrow::testing
