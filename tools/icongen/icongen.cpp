// Draws the program's icon, a 32 x 32 picture in the 16 standard colours: a
// drawing sheet with two views of a part and a red pencil across it, and
// writes it as a .ico file. Run: icongen <out.ico>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kSize = 32;
constexpr int kTransparent = -1;
enum Colour { Black = 0, Maroon = 1, Navy = 4, Silver = 7, Grey = 8, Red = 9, Yellow = 11, Blue = 12, White = 15 };

const std::uint8_t kPalette[16][3] = {  // r, g, b
    {0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

struct Canvas {
    int pixel[kSize][kSize];
    Canvas() {
        for (auto& row : pixel)
            for (int& p : row) p = kTransparent;
    }
    void Set(int x, int y, int colour) {
        if (x >= 0 && x < kSize && y >= 0 && y < kSize) pixel[y][x] = colour;
    }
    void Fill(int x0, int y0, int x1, int y1, int colour) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) Set(x, y, colour);
    }
    void Frame(int x0, int y0, int x1, int y1, int colour) {
        for (int x = x0; x <= x1; ++x) Set(x, y0, colour), Set(x, y1, colour);
        for (int y = y0; y <= y1; ++y) Set(x0, y, colour), Set(x1, y, colour);
    }
};

void Put16(std::vector<std::uint8_t>& out, unsigned v) {
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}
void Put32(std::vector<std::uint8_t>& out, unsigned v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void Draw(Canvas& c) {
    // The sheet with its shadow and border.
    c.Fill(4, 4, 28, 29, Grey);
    c.Fill(2, 2, 26, 27, White);
    c.Frame(2, 2, 26, 27, Black);
    c.Frame(4, 4, 24, 25, Silver);
    // Title block in the lower right corner.
    c.Frame(15, 21, 24, 25, Black);
    c.Fill(16, 23, 23, 23, Silver);
    // Front view of the part: a plate with a hole and its centre lines.
    c.Frame(6, 7, 13, 15, Navy);
    c.Frame(8, 10, 11, 12, Blue);
    for (int x = 5; x <= 14; x += 2) c.Set(x, 11, Red);
    // Side view beside it, with a hidden line.
    c.Frame(16, 7, 19, 15, Navy);
    for (int y = 8; y <= 14; y += 2) c.Set(17, y, Grey);
    // Top view below the front view.
    c.Frame(6, 17, 13, 19, Navy);
    // The pencil across the sheet, from its eraser (top right) to its point.
    for (int i = 0; i < 17; ++i) {
        const int x = 29 - i, y = 3 + i;
        const int body = i < 2 ? Maroon : i < 4 ? Silver : Red;
        c.Set(x, y, body);
        c.Set(x - 1, y, body);
        c.Set(x, y + 1, body);
        c.Set(x + 1, y + 1, Black);
        c.Set(x - 1, y - 1, Black);
    }
    // Sharpened wood and the graphite point.
    c.Set(12, 20, Yellow), c.Set(11, 20, Yellow), c.Set(12, 21, Yellow), c.Set(11, 21, Yellow);
    c.Set(10, 21, Yellow), c.Set(11, 22, Yellow), c.Set(10, 22, Black), c.Set(9, 23, Black);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: icongen <out.ico>\n");
        return 2;
    }
    Canvas canvas;
    Draw(canvas);

    std::vector<std::uint8_t> image;
    Put32(image, 40);
    Put32(image, kSize);
    Put32(image, kSize * 2);  // colour rows and mask rows
    Put16(image, 1);
    Put16(image, 4);
    Put32(image, 0);
    Put32(image, 0);
    Put32(image, 0);
    Put32(image, 0);
    Put32(image, 16);
    Put32(image, 0);
    for (const auto& rgb : kPalette) image.insert(image.end(), {rgb[2], rgb[1], rgb[0], 0});
    for (int y = kSize - 1; y >= 0; --y)
        for (int x = 0; x < kSize; x += 2) {
            const int a = canvas.pixel[y][x], b = canvas.pixel[y][x + 1];
            image.push_back(static_cast<std::uint8_t>(((a < 0 ? 0 : a) << 4) | (b < 0 ? 0 : b)));
        }
    for (int y = kSize - 1; y >= 0; --y)
        for (int byte = 0; byte < kSize / 8; ++byte) {
            std::uint8_t mask = 0;
            for (int bit = 0; bit < 8; ++bit)
                if (canvas.pixel[y][byte * 8 + bit] < 0) mask |= static_cast<std::uint8_t>(0x80 >> bit);
            image.push_back(mask);
        }

    std::vector<std::uint8_t> file;
    Put16(file, 0);
    Put16(file, 1);
    Put16(file, 1);
    file.insert(file.end(), {kSize, kSize, 16, 0});
    Put16(file, 1);
    Put16(file, 4);
    Put32(file, static_cast<unsigned>(image.size()));
    Put32(file, 6 + 16);
    file.insert(file.end(), image.begin(), image.end());

    FILE* out = std::fopen(argv[1], "wb");
    if (!out || std::fwrite(file.data(), 1, file.size(), out) != file.size() || std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
