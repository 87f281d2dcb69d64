#pragma once
#include <gtest/gtest.h>

#include <cstdio>

#include "DialogWatcher.h"
#include "TestSupport.h"
#include "window/Form1Window.h"
#include "ui/Win32Controls.h"

namespace kestrow::wintest {

// A loaded and shown main window, and the ways a test drives it.
class MainWindowTest : public ::testing::Test {
protected:
    explicit MainWindowTest(win32::BatchTimings timings = {}, win32::Form1Overrides overrides = {})
        : window_(timings, overrides) {}
    void SetUp() override {
        window_.Load();
        window_.Show();
    }
    HWND Child(int id) const { return GetDlgItem(window_.Handle(), id); }
    std::wstring TextOf(int id) const { return win32::WindowText(Child(id)); }
    bool Enabled(int id) const { return IsWindowEnabled(Child(id)) != FALSE; }
    void Click(int id) { SendMessageW(Child(id), BM_CLICK, 0, 0); }
    std::vector<std::wstring> Rows() const { return ListRows(Child(win32::ControlId::List1)); }
    bool BatchRunning() { return window_.Handle() && window_.Form().BatchRunning(); }
    // Runs the window's messages until its batch has ended.
    bool WaitForBatch(std::chrono::milliseconds limit = std::chrono::minutes(3)) {
        return PumpUntil([&] { return !BatchRunning(); }, limit,
                         [&](MSG& m) { return window_.Handle() && window_.PreTranslate(m); });
    }

    // Clicks a button while the dialogs it opens get `answers`, and waits
    // for a batch it started to end; returns what the dialogs showed, and
    // prints it to help read a failure.
    std::vector<SeenDialog> Press(int id, std::vector<Answer> answers) {
        DialogWatcher watcher(std::move(answers));
        Click(id);
        EXPECT_TRUE(WaitForBatch()) << "the batch did not end";
        EXPECT_EQ(watcher.Unexpected(), 0);
        for (const auto& box : watcher.Seen()) {
            std::printf("dialog: %s\n", Narrow(box.text).c_str());
            EXPECT_EQ(box.accessKeyClashes, L"") << "two controls of '" << Narrow(box.title) << "' share an access key";
        }
        return watcher.Seen();
    }
    // A Browse through the real folder dialog to `folder`.
    void BrowseTo(const std::wstring& folder, bool subfolders = false) {
        Answer answer{IDOK, folder};
        answer.check = subfolders;
        Press(win32::ControlId::cmdBrowse, {answer});
    }

    win32::Form1Window window_;
};

}  // namespace kestrow::wintest
