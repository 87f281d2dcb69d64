#pragma once
#include <gtest/gtest.h>

#include <cstdio>

#include "DialogWatcher.h"
#include "Form1Window.h"
#include "TestSupport.h"
#include "Win32Controls.h"

namespace kestrow::wintest {

// A loaded and shown main window, and the ways a test drives it.
class MainWindowTest : public ::testing::Test {
protected:
    explicit MainWindowTest(win32::MessageFilterPolicy policy = {}, win32::Form1Overrides overrides = {})
        : window_(policy, overrides) {}
    void SetUp() override {
        window_.Load();
        window_.Show();
    }
    HWND Child(int id) const { return GetDlgItem(window_.Handle(), id); }
    std::wstring TextOf(int id) const { return win32::WindowText(Child(id)); }
    bool Enabled(int id) const { return IsWindowEnabled(Child(id)) != FALSE; }
    void Click(int id) { SendMessageW(Child(id), BM_CLICK, 0, 0); }
    std::vector<std::wstring> Rows() const { return ListRows(Child(win32::ControlId::List1)); }

    // Clicks a button while the dialogs it opens get `answers`; returns what
    // they showed, and prints it to help read a failure.
    std::vector<SeenDialog> Press(int id, std::vector<Answer> answers) {
        DialogWatcher watcher(std::move(answers));
        Click(id);
        EXPECT_EQ(watcher.Unexpected(), 0);
        for (const auto& box : watcher.Seen()) std::printf("dialog: %s\n", Narrow(box.text).c_str());
        return watcher.Seen();
    }
    // A Browse through the real folder dialog to `folder`.
    void BrowseTo(const std::wstring& folder) { Press(win32::ControlId::cmdBrowse, {Answer{IDOK, folder}}); }

    win32::Form1Window window_;
};

}  // namespace kestrow::wintest
