#include "automation/DialogPicture.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <system_error>
#include <thread>
#include <type_traits>
#include <vector>

#include "common/CommandLineProgram.h"
#include "common/Png.h"
#include "system/KernelHandle.h"

namespace kestrow::win32 {
namespace {

constexpr LONG kLargestPicture = 8192;
// How long the window gets to draw itself before it is taken from the
// screen instead; the drawing thread is then left to finish on its own.
constexpr DWORD kDrawnWithinMs = 500;

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
std::vector<std::uint8_t> DrawnByItself(HWND window, LONG width, LONG height) {
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
    if (WaitForSingleObject(drawing->done.get(), kDrawnWithinMs) != WAIT_OBJECT_0) return {};
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

// "d01 2026-12-07 02.14.09": the draft in hand (or the start) and the time.
std::wstring PictureName(const std::wstring& task) {
    std::wstring name = task.find(L'\\') == std::wstring::npos ? std::wstring(L"start") : FileNameOf(task);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos && dot > 0) name.resize(dot);
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t stamp[32];
    swprintf(stamp, 32, L" %04u-%02u-%02u %02u.%02u.%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
             now.wSecond);
    return name + stamp;
}

// Writes `bytes` to a file of the folder that did not exist before: the
// name, or the name with " (2)", " (3)", ...
std::wstring WriteNewFile(const std::wstring& folder, const std::wstring& name, const std::string& bytes) {
    for (int copy = 1; copy <= 100; ++copy) {
        const std::wstring path =
            folder + L"\\" + name + (copy == 1 ? std::wstring() : L" (" + std::to_wstring(copy) + L")") + L".png";
        const KernelHandle file = OwnHandle(
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            return std::wstring();
        }
        DWORD written = 0;
        const bool whole = WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                           written == bytes.size();
        if (whole) return path;
        DeleteFileW(path.c_str());
        return std::wstring();
    }
    return std::wstring();
}

}  // namespace

std::wstring KeepDialogPicture(HWND window, const std::wstring& folder, const std::wstring& task) {
    RECT frame{};
    if (folder.empty() || !GetWindowRect(window, &frame)) return std::wstring();
    const LONG width = frame.right - frame.left, height = frame.bottom - frame.top;
    if (width <= 0 || height <= 0 || width > kLargestPicture || height > kLargestPicture) return std::wstring();
    std::vector<std::uint8_t> rgb = DrawnByItself(window, width, height);
    if (rgb.empty()) rgb = AsOnScreen(frame, width, height);
    if (rgb.empty()) return std::wstring();
    const std::string png = EncodePng(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), rgb);
    return png.empty() ? std::wstring() : WriteNewFile(folder, PictureName(task), png);
}

}  // namespace kestrow::win32
