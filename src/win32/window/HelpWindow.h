#pragma once
// The help window: a borderless window whose client area is one picture of
// a help page. A click anywhere on it, or Esc, goes back to the main window.
#include <functional>

#include "ui/GdiObjects.h"
#include "ui/Window.h"

namespace kestrow::win32 {

class HelpWindow : public Window {
public:
    // Never shown in a title bar (the window has none), but read in the task
    // bar and by screen readers.
    static constexpr const wchar_t* Caption = L"Kestrow Help";
    static constexpr int WidthTwips = 7155;
    static constexpr int HeightTwips = 5895;

    // `returnToMain` shows the main window; it runs before this window is
    // destroyed, however the window is closed. `destroyed` runs after.
    HelpWindow(std::function<void()> returnToMain, std::function<void()> destroyed);

    // Creates the window, runs its load handler (centring) and shows it.
    void Open();

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept override;
    void OnDestroyed() noexcept override;
    void Form_Load();
    void Form_Click();
    void Paint();

    std::function<void()> returnToMain_;
    std::function<void()> destroyed_;
    BitmapHandle picture_;
    bool returned_ = false;
};

}  // namespace kestrow::win32
