// Draws the help page, a picture of a classic help viewer open at the one
// topic about Kestrow, with GDI, and writes it as a 477 x 393, 24-bit,
// uncompressed, 96-dpi bitmap. Run under Wine: helpgen <out.bmp>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 477;
constexpr int kHeight = 393;
constexpr COLORREF kFace = RGB(212, 208, 200);
constexpr COLORREF kShadow = RGB(128, 128, 128);
constexpr COLORREF kDark = RGB(64, 64, 64);
constexpr COLORREF kLight = RGB(255, 255, 255);
constexpr COLORREF kTitle = RGB(0x0A, 0x24, 0x6A);
constexpr COLORREF kNavy = RGB(0x00, 0x00, 0x80);

class Painter {
public:
    explicit Painter(HDC dc) : dc_(dc) {}

    void Fill(int x, int y, int w, int h, COLORREF colour) {
        HBRUSH brush = CreateSolidBrush(colour);
        RECT r{x, y, x + w, y + h};
        FillRect(dc_, &r, brush);
        DeleteObject(brush);
    }
    void Line(int x0, int y0, int x1, int y1, COLORREF colour, int width = 1) {
        HPEN pen = CreatePen(PS_SOLID, width, colour);
        HGDIOBJ old = SelectObject(dc_, pen);
        MoveToEx(dc_, x0, y0, nullptr);
        LineTo(dc_, x1, y1);
        SelectObject(dc_, old);
        DeleteObject(pen);
    }
    // A raised (or sunken) classic 3-D edge around a rectangle.
    void Edge(int x, int y, int w, int h, bool raised) {
        const COLORREF topLeft = raised ? kLight : kShadow, bottomRight = raised ? kDark : kLight;
        Line(x, y, x + w - 1, y, topLeft);
        Line(x, y, x, y + h - 1, topLeft);
        Line(x, y + h - 1, x + w, y + h - 1, bottomRight);
        Line(x + w - 1, y, x + w - 1, y + h, bottomRight);
        if (raised) {
            Line(x + 1, y + h - 2, x + w - 1, y + h - 2, kShadow);
            Line(x + w - 2, y + 1, x + w - 2, y + h - 1, kShadow);
        } else {
            Line(x + 1, y + 1, x + w - 2, y + 1, kDark);
            Line(x + 1, y + 1, x + 1, y + h - 2, kDark);
        }
    }
    void Button(int x, int y, int w, int h) {
        Fill(x, y, w, h, kFace);
        Edge(x, y, w, h, true);
    }
    HFONT Font(int height, bool bold, const wchar_t* face = L"Tahoma") {
        return CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH, face);
    }
    int Text(int x, int y, const std::wstring& text, HFONT font, COLORREF colour) {
        HGDIOBJ old = SelectObject(dc_, font);
        SetBkMode(dc_, TRANSPARENT);
        SetTextColor(dc_, colour);
        TextOutW(dc_, x, y, text.c_str(), static_cast<int>(text.size()));
        SIZE size{};
        GetTextExtentPoint32W(dc_, text.c_str(), static_cast<int>(text.size()), &size);
        SelectObject(dc_, old);
        return size.cx;
    }
    int Width(const std::wstring& text, HFONT font) {
        HGDIOBJ old = SelectObject(dc_, font);
        SIZE size{};
        GetTextExtentPoint32W(dc_, text.c_str(), static_cast<int>(text.size()), &size);
        SelectObject(dc_, old);
        return size.cx;
    }
    HDC Dc() const { return dc_; }

private:
    HDC dc_;
};

// One run of text in a paragraph, bold or not.
struct Run {
    std::wstring text;
    bool bold;
};

struct Word {
    std::wstring text;
    bool bold;
    int width;
};

// Lays out a paragraph in lines of `width`, spreading each full line's
// spare room over its gaps (justified); the last line stays ragged.
int Paragraph(Painter& p, int x, int y, int width, int lineHeight, const std::vector<Run>& runs, HFONT regular,
              HFONT bold, COLORREF colour) {
    std::vector<Word> words;
    for (const Run& run : runs) {
        size_t start = 0;
        while (start < run.text.size()) {
            size_t end = run.text.find(L' ', start);
            if (end == std::wstring::npos) end = run.text.size();
            if (end > start) {
                const std::wstring w = run.text.substr(start, end - start);
                words.push_back({w, run.bold, p.Width(w, run.bold ? bold : regular)});
            }
            start = end + 1;
        }
    }
    const int space = p.Width(L" ", regular);
    size_t i = 0;
    while (i < words.size()) {
        size_t j = i;
        int used = 0;
        while (j < words.size() && used + words[j].width + (j > i ? space : 0) <= width) {
            used += words[j].width + (j > i ? space : 0);
            ++j;
        }
        if (j == i) ++j;  // a word wider than the line
        const bool last = j >= words.size();
        const int gaps = static_cast<int>(j - i) - 1;
        const int spare = last || gaps == 0 ? 0 : width - used;
        int at = x;
        for (size_t k = i; k < j; ++k) {
            p.Text(at, y, words[k].text, words[k].bold ? bold : regular, colour);
            at += words[k].width + space;
            if (gaps > 0) at += spare / gaps + (static_cast<int>(k - i) < spare % gaps ? 1 : 0);
        }
        y += lineHeight;
        i = j;
    }
    return y;
}

void DrawHelpPageIcon(Painter& p, int x, int y) {
    p.Fill(x + 2, y + 1, 11, 14, kLight);
    p.Line(x + 2, y + 1, x + 13, y + 1, kDark);
    p.Line(x + 2, y + 1, x + 2, y + 15, kDark);
    p.Line(x + 12, y + 1, x + 12, y + 15, kDark);
    p.Line(x + 2, y + 14, x + 13, y + 14, kDark);
    HFONT f = p.Font(-11, true);
    p.Text(x + 4, y + 1, L"?", f, RGB(0, 0, 255));
    DeleteObject(f);
}

void DrawClosedBook(Painter& p, int x, int y) {
    p.Fill(x + 1, y + 2, 12, 11, RGB(0, 0, 160));
    p.Fill(x + 3, y + 3, 8, 2, RGB(255, 255, 0));
    p.Line(x + 1, y + 13, x + 13, y + 13, kLight);
    p.Line(x + 2, y + 14, x + 14, y + 14, kDark);
    p.Line(x + 13, y + 2, x + 13, y + 14, kDark);
}

void DrawToolbarIcon(Painter& p, int kind, int x, int y) {
    switch (kind) {
        case 0:  // Hide: a window with its left pane folding away
            p.Fill(x, y, 20, 16, kLight);
            p.Fill(x, y, 20, 3, kTitle);
            p.Line(x, y, x, y + 16, kDark);
            p.Line(x + 19, y, x + 19, y + 16, kDark);
            p.Line(x, y + 15, x + 20, y + 15, kDark);
            p.Line(x + 7, y + 3, x + 7, y + 15, kDark);
            p.Line(x + 5, y + 9, x + 2, y + 9, RGB(0, 128, 0), 2);
            break;
        case 1:  // Back: a green arrow to the left
        case 2: {  // Forward: a green arrow to the right
            const bool left = kind == 1;
            const COLORREF green = RGB(0, 160, 0);
            for (int i = 0; i < 8; ++i) {
                const int tip = left ? x + 2 + i : x + 17 - i;
                p.Line(tip, y + 8 - i, tip, y + 9 + i, green);
            }
            p.Fill(left ? x + 10 : x + 2, y + 5, 8, 8, green);
            break;
        }
        case 3:  // Print: a printer
            p.Fill(x + 4, y, 12, 7, kLight);
            p.Line(x + 4, y, x + 4, y + 7, kDark);
            p.Line(x + 15, y, x + 15, y + 7, kDark);
            p.Fill(x, y + 6, 20, 8, kShadow);
            p.Fill(x + 1, y + 7, 18, 6, kFace);
            p.Fill(x + 14, y + 8, 3, 2, RGB(0, 200, 0));
            p.Fill(x + 4, y + 13, 12, 4, kLight);
            break;
        default: break;
    }
}

void Draw(Painter& p) {
    // Window frame and title bar.
    p.Fill(0, 0, kWidth, kHeight, kFace);
    p.Edge(0, 0, kWidth, kHeight, true);
    p.Fill(4, 4, kWidth - 8, 18, kTitle);
    DrawHelpPageIcon(p, 6, 5);
    HFONT titleFont = p.Font(-11, true);
    p.Text(25, 6, L"Kestrow v1.0", titleFont, kLight);
    DeleteObject(titleFont);
    const int buttonsRight = kWidth - 6;
    // Minimise, maximise, close.
    for (int i = 0; i < 3; ++i) {
        const int bx = buttonsRight - 16 - (2 - i) * 16 - (i == 2 ? 0 : 2);
        p.Button(bx, 6, 16, 14);
        if (i == 0) p.Fill(bx + 4, 15, 6, 2, RGB(0, 0, 0));
        if (i == 1) {
            p.Fill(bx + 3, 8, 9, 2, RGB(0, 0, 0));
            p.Line(bx + 3, 8, bx + 3, 16, RGB(0, 0, 0));
            p.Line(bx + 11, 8, bx + 11, 16, RGB(0, 0, 0));
            p.Line(bx + 3, 16, bx + 12, 16, RGB(0, 0, 0));
        }
        if (i == 2) {
            p.Line(bx + 4, 9, bx + 11, 16, RGB(0, 0, 0), 2);
            p.Line(bx + 11, 9, bx + 4, 16, RGB(0, 0, 0), 2);
        }
    }

    // Toolbar: four buttons, each an icon over its label.
    HFONT uiFont = p.Font(-11, false);
    const wchar_t* labels[] = {L"Hide", L"Back", L"Forward", L"Print"};
    p.Line(4, 23, kWidth - 4, 23, kLight);
    for (int i = 0; i < 4; ++i) {
        const int bx = 8 + i * 54;
        if (i == 0) p.Edge(bx, 26, 52, 40, true);
        DrawToolbarIcon(p, i, bx + 16, 29);
        const int w = p.Width(labels[i], uiFont);
        p.Text(bx + (52 - w) / 2, 50, labels[i], uiFont, RGB(0, 0, 0));
    }
    p.Line(4, 68, kWidth - 4, 68, kShadow);
    p.Line(4, 69, kWidth - 4, 69, kLight);

    // Navigation pane: tabs and the tree with its one book.
    const int navX = 8, navW = 130, paneTop = 74, paneBottom = kHeight - 8;
    p.Fill(navX, paneTop + 20, navW, paneBottom - paneTop - 20, kFace);
    p.Edge(navX, paneTop + 19, navW, paneBottom - paneTop - 19, true);
    // The active "Contents" tab stands in front of "Search".
    p.Fill(navX + 58, paneTop + 2, 48, 18, kFace);
    p.Line(navX + 58, paneTop + 2, navX + 105, paneTop + 2, kLight);
    p.Line(navX + 105, paneTop + 2, navX + 105, paneTop + 19, kDark);
    p.Text(navX + 66, paneTop + 5, L"Search", uiFont, RGB(0, 0, 0));
    p.Fill(navX + 1, paneTop, 58, 21, kFace);
    p.Line(navX, paneTop, navX + 58, paneTop, kLight);
    p.Line(navX, paneTop, navX, paneTop + 20, kLight);
    p.Line(navX + 58, paneTop + 1, navX + 58, paneTop + 20, kDark);
    p.Text(navX + 7, paneTop + 4, L"Contents", uiFont, RGB(0, 0, 0));
    const int treeX = navX + 6, treeY = paneTop + 27, treeW = navW - 12, treeH = paneBottom - treeY - 6;
    p.Fill(treeX, treeY, treeW, treeH, kLight);
    p.Edge(treeX, treeY, treeW, treeH, false);
    DrawClosedBook(p, treeX + 5, treeY + 5);
    const int entryW = p.Width(L"Kestrow", uiFont) + 4;
    p.Fill(treeX + 22, treeY + 5, entryW, 15, kTitle);
    p.Text(treeX + 24, treeY + 6, L"Kestrow", uiFont, kLight);

    // Splitter, then the topic pane with its scroll bar.
    const int topicX = navX + navW + 5, topicY = paneTop, topicW = kWidth - 8 - topicX, topicH = paneBottom - paneTop;
    p.Line(topicX - 3, paneTop, topicX - 3, paneBottom, kLight);
    p.Line(topicX - 2, paneTop, topicX - 2, paneBottom, kShadow);
    p.Fill(topicX, topicY, topicW, topicH, kLight);
    p.Edge(topicX, topicY, topicW, topicH, false);
    const int barX = topicX + topicW - 2 - 16, barY = topicY + 2, barH = topicH - 4;
    p.Fill(barX, barY, 16, barH, RGB(236, 233, 216));
    p.Button(barX, barY, 16, 16);
    p.Button(barX, barY + barH - 16, 16, 16);
    p.Button(barX, barY + 16, 16, 60);
    for (int i = 0; i < 4; ++i) {
        p.Line(barX + 8 - i, barY + 6 + i, barX + 9 + i, barY + 6 + i, RGB(0, 0, 0));
        p.Line(barX + 8 - i, barY + barH - 7 - i, barX + 9 + i, barY + barH - 7 - i, RGB(0, 0, 0));
    }

    // The topic, navy and justified.
    HFONT regular = p.Font(-11, false), bold = p.Font(-11, true), heading = p.Font(-13, true);
    const int textX = topicX + 10, textW = barX - textX - 8, line = 13;
    int y = topicY + 8;
    p.Text(textX, y, L"What is Kestrow ?", heading, kNavy);
    y += 22;
    const wchar_t* bullets[] = {
        L"Kestrow updates all views in all the Solid Edge draft files in a specified folder.",
        L"Kestrow can be used before you batch export Solid Edge draft files to other file formats like dwg or dgn.",
        L"When referenced part files in multiple Solid Edge draft files have changed, Kestrow saves you the hassle of "
        L"opening each draft file and then updating views."};
    for (const wchar_t* bullet : bullets) {
        p.Fill(textX + 1, y + 5, 4, 4, kNavy);
        y = Paragraph(p, textX + 12, y, textW - 12, line, {{bullet, false}}, regular, bold, kNavy) + 6;
    }
    y += 4;
    y = Paragraph(p, textX, y, textW, line,
                  {{L"Note :", true},
                   {L"Kestrow Export, a companion tool by the same author, batch exports the updated drafts to "
                    L"other formats.",
                    false}},
                  regular, bold, kNavy) +
        12;
    const int labelW = p.Width(L"Programmer : ", regular);
    p.Text(textX, y, L"Programmer : ", regular, kNavy);
    p.Text(textX + labelW, y, L"The Kestrow developers", bold, kNavy);
    y += line + 3;
    p.Text(textX, y, L"Email : kestrow@example.org", regular, kNavy);
    y += line + 3;
    p.Text(textX, y, L"http://www.example.org/kestrow", regular, kNavy);
    DeleteObject(regular);
    DeleteObject(bold);
    DeleteObject(heading);
    DeleteObject(uiFont);
}

bool WriteBitmap(const wchar_t* path, const std::vector<unsigned char>& pixels) {
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = kWidth;
    info.biHeight = kHeight;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(pixels.size());
    info.biXPelsPerMeter = 3780;
    info.biYPelsPerMeter = 3780;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + info.biSizeImage;
    FILE* out = _wfopen(path, L"wb");
    if (!out) return false;
    bool ok = std::fwrite(&file, sizeof(file), 1, out) == 1 && std::fwrite(&info, sizeof(info), 1, out) == 1 &&
              std::fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
    ok = std::fclose(out) == 0 && ok;
    return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fwprintf(stderr, L"usage: helpgen <out.bmp>\n");
        return 2;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = kHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dc || !bitmap) return 1;
    HGDIOBJ old = SelectObject(dc, bitmap);
    Painter painter(dc);
    Draw(painter);
    GdiFlush();
    const size_t stride = ((kWidth * 3 + 3) / 4) * 4;
    std::vector<unsigned char> pixels(static_cast<const unsigned char*>(bits),
                                      static_cast<const unsigned char*>(bits) + stride * kHeight);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return WriteBitmap(argv[1], pixels) ? 0 : 1;
}
