#include "system/WindowPicture.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

#include "common/Png.h"

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

bool AllOneColour(const std::uint32_t* pixels, size_t count) {
    return std::all_of(pixels, pixels + count, [first = pixels[0]](std::uint32_t p) { return p == first; });
}

// The window's picture as RGB rows.
std::vector<std::uint8_t> Capture(HWND window, bool asDrawn, LONG& width, LONG& height) {
    RECT frame{};
    if (!GetWindowRect(window, &frame)) return {};
    width = frame.right - frame.left;
    height = frame.bottom - frame.top;
    if (width <= 0 || height <= 0 || width > kLargestPicture || height > kLargestPicture) return {};
    const ScreenDc screen(GetDC(nullptr));
    const MemoryDc memory(CreateCompatibleDC(screen.get()));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const Bitmap bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!screen || !memory || !bitmap || !bits) return {};
    const HGDIOBJ previous = SelectObject(memory.get(), bitmap.get());
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    // A window of another process that cannot draw into this one's device
    // context leaves it blank.
    if (!asDrawn || !PrintWindow(window, memory.get(), PW_RENDERFULLCONTENT) || (GdiFlush(), AllOneColour(pixels, count)))
        BitBlt(memory.get(), 0, 0, width, height, screen.get(), frame.left, frame.top, SRCCOPY | CAPTUREBLT);
    GdiFlush();
    std::vector<std::uint8_t> rgb;
    rgb.reserve(count * 3);
    for (size_t i = 0; i < count; ++i) {
        rgb.push_back(static_cast<std::uint8_t>(pixels[i] >> 16));
        rgb.push_back(static_cast<std::uint8_t>(pixels[i] >> 8));
        rgb.push_back(static_cast<std::uint8_t>(pixels[i]));
    }
    SelectObject(memory.get(), previous);
    return rgb;
}

std::string Picture(HWND window, bool asDrawn) {
    LONG width = 0, height = 0;
    const std::vector<std::uint8_t> rgb = Capture(window, asDrawn, width, height);
    if (rgb.empty()) return std::string();
    return EncodePng(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), rgb);
}

}  // namespace

std::string WindowPicturePng(HWND window) { return Picture(window, true); }

std::string ScreenPicturePng(HWND window) { return Picture(window, false); }

}  // namespace kestrow::win32
