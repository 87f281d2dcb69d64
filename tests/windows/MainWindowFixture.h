#pragma once
#include <gtest/gtest.h>

#include "Form1Window.h"
#include "Win32Controls.h"

namespace kestrow::wintest {

// A loaded and shown main window.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_.Load();
        window_.Show();
    }
    HWND Child(int id) const { return GetDlgItem(window_.Handle(), id); }
    std::wstring TextOf(int id) const { return win32::WindowText(Child(id)); }
    bool Enabled(int id) const { return IsWindowEnabled(Child(id)) != FALSE; }
    void Click(int id) { SendMessageW(Child(id), BM_CLICK, 0, 0); }

    win32::Form1Window window_;
};

}  // namespace kestrow::wintest
