#pragma once
// The controls a form's code works with. The Win32 layer implements them
// over real windows; the tests over plain memory.
#include <cstdint>
#include <string>

namespace kestrow {

class Label {
public:
    virtual ~Label() = default;
    virtual void SetCaption(const std::wstring& caption) = 0;
    virtual std::wstring Caption() const = 0;
};

class TextBox {
public:
    virtual ~TextBox() = default;
    virtual void SetText(const std::wstring& text) = 0;
    virtual std::wstring Text() const = 0;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
};

class CommandButton {
public:
    virtual ~CommandButton() = default;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
    virtual void SetCaption(const std::wstring& caption) = 0;
    virtual std::wstring Caption() const = 0;
};

// The program's button in the task bar: how far a batch is, and a call for
// attention when it ends unseen. Where the platform lacks it, nothing shows.
class TaskbarProgress {
public:
    enum class State { Normal, Paused, Error };
    virtual ~TaskbarProgress() = default;
    virtual void Show(std::int32_t done, std::int32_t total, State state) = 0;
    virtual void Clear() = 0;
    // Flashes the button until the user comes back, unless the program is
    // already in the foreground.
    virtual void FlashIfInBackground() = 0;
};

class ListBox {
public:
    virtual ~ListBox() = default;
    virtual void Clear() = 0;
    // Appends a row; rows keep the order in which they are added.
    virtual void AddItem(const std::wstring& text) = 0;
    virtual std::int32_t ListCount() const = 0;
    // Selects a row by 0-based index; -1 selects none.
    virtual void SetListIndex(std::int32_t index) = 0;
    virtual std::int32_t ListIndex() const = 0;
    // The text of the selected row, or "" when none is selected.
    virtual std::wstring SelectedText() const = 0;
    // Batch additions may be cheaper when the control knows they are coming.
    virtual void BeginBulkAdd(std::int32_t /*expectedRows*/) {}
    virtual void EndBulkAdd() {}
};

}  // namespace kestrow
