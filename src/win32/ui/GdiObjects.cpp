#include "ui/GdiObjects.h"

namespace kestrow::win32 {

FontHandle CreateMessageFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return FontHandle();
    return FontHandle(CreateFontIndirectW(&metrics.lfMessageFont));
}

}  // namespace kestrow::win32
