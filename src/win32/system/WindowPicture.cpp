#include "system/WindowPicture.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <system_error>
#include <thread>
#include <type_traits>
#include <vector>

#include "common/Png.h"
#include "system/KernelHandle.h"

namespace kestrow::win32 {
namespace {

constexpr LONG kLargestPicture = 8192;

struct ScreenDcRelease {
    void operator()(HDC dc) const { ReleaseDC(nullptr, dc); }
};
struct MemoryDcDelete {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
struct ObjectDelete {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using ScreenDc = std::unique_ptr<std::remove_pointer_t<HDC>, ScreenDcRelease>;
using MemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, MemoryDcDelete>;
using Bitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, ObjectDelete>;

// A top-down 32-bit bitmap in a memory device context of the screen's kind,
// for one thread's use.
class Canvas {
public:
    Canvas(LONG width, LONG height) : screen_(GetDC(nullptr)), width_(width), height_(height) {
        if (!screen_) return;
        memory_.reset(CreateCompatibleDC(screen_.get()));
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        bitmap_.reset(CreateDIBSection(screen_.get(), &info, DIB_RGB_COLORS, &bits_, nullptr, 0));
        if (memory_ && bitmap_ && bits_) previous_ = SelectObject(memory_.get(), bitmap_.get());
    }
    ~Canvas() {
        if (previous_) SelectObject(memory_.get(), previous_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool Ready() const { return previous_ != nullptr; }
    HDC Screen() const { return screen_.get(); }
    HDC Dc() const { return memory_.get(); }

    // A window of another process that could not draw into this one's
    // context leaves it blank.
    bool Blank() const {
        GdiFlush();
        const auto* pixels = static_cast<const std::uint32_t*>(bits_);
        return std::all_of(pixels, pixels + Count(), [first = pixels[0]](std::uint32_t p) { return p == first; });
    }

    // Its pixels as RGB rows.
    std::vector<std::uint8_t> Rgb() const {
        GdiFlush();
        const auto* pixels = static_cast<const std::uint32_t*>(bits_);
        const size_t count = Count();
        std::vector<std::uint8_t> rgb;
        rgb.reserve(count * 3);
        for (size_t i = 0; i < count; ++i) {
            rgb.push_back(static_cast<std::uint8_t>(pixels[i] >> 16));
            rgb.push_back(static_cast<std::uint8_t>(pixels[i] >> 8));
            rgb.push_back(static_cast<std::uint8_t>(pixels[i]));
        }
        return rgb;
    }

private:
    size_t Count() const { return static_cast<size_t>(width_) * static_cast<size_t>(height_); }

    ScreenDc screen_;
    MemoryDc memory_;
    Bitmap bitmap_;
    void* bits_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    LONG width_, height_;
};

// What the drawing thread hands back; it keeps this alive however long it takes.
struct Drawing {
    KernelHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::vector<std::uint8_t> rgb;  // written before `done` is set
};

// The window drawn by itself (a locked screen shows nothing of it), on a
// thread of its own: drawing sends the window a message that waits for its
// answer without limit. None when it has not drawn itself within the bound.
std::vector<std::uint8_t> DrawnByItself(HWND window, LONG width, LONG height, DWORD withinMs) {
    const auto drawing = std::make_shared<Drawing>();
    if (!drawing->done) return {};
    try {
        std::thread([drawing, window, width, height] {
            const Canvas canvas(width, height);
            if (canvas.Ready() && PrintWindow(window, canvas.Dc(), PW_RENDERFULLCONTENT) && !canvas.Blank())
                drawing->rgb = canvas.Rgb();
            SetEvent(drawing->done.get());
        }).detach();
    } catch (const std::system_error&) {
        return {};
    }
    if (WaitForSingleObject(drawing->done.get(), withinMs) != WAIT_OBJECT_0) return {};
    return std::move(drawing->rgb);
}

// The window as the screen shows it: asks the window nothing.
std::vector<std::uint8_t> AsOnScreen(const RECT& frame, LONG width, LONG height) {
    const Canvas canvas(width, height);
    if (!canvas.Ready() ||
        !BitBlt(canvas.Dc(), 0, 0, width, height, canvas.Screen(), frame.left, frame.top, SRCCOPY | CAPTUREBLT))
        return {};
    return canvas.Rgb();
}

std::string Png(const std::vector<std::uint8_t>& rgb, LONG width, LONG height) {
    if (rgb.empty()) return std::string();
    return EncodePng(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), rgb);
}

bool FrameOf(HWND window, RECT& frame, LONG& width, LONG& height) {
    if (!GetWindowRect(window, &frame)) return false;
    width = frame.right - frame.left;
    height = frame.bottom - frame.top;
    return width > 0 && height > 0 && width <= kLargestPicture && height <= kLargestPicture;
}

}  // namespace

std::string WindowPicturePng(HWND window, unsigned long drawnWithinMs) {
    RECT frame{};
    LONG width = 0, height = 0;
    if (!FrameOf(window, frame, width, height)) return std::string();
    std::vector<std::uint8_t> rgb = DrawnByItself(window, width, height, drawnWithinMs);
    if (rgb.empty()) rgb = AsOnScreen(frame, width, height);
    return Png(rgb, width, height);
}

std::string ScreenPicturePng(HWND window) {
    RECT frame{};
    LONG width = 0, height = 0;
    if (!FrameOf(window, frame, width, height)) return std::string();
    return Png(AsOnScreen(frame, width, height), width, height);
}

}  // namespace kestrow::win32
