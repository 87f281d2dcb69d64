#pragma once
// Owners for GDI objects the program creates.
#include <windows.h>

#include <memory>
#include <type_traits>

namespace kestrow::win32 {

struct GdiObjectDelete {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using FontHandle = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDelete>;
using BitmapHandle = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDelete>;

// The message font of the system's non-client metrics: what dialogs and
// message boxes use, and so the platform's default GUI font.
FontHandle CreateMessageFont();

}  // namespace kestrow::win32
