// Draws the program's artwork (logo bitmap and program icons) from code, so the
// resources are reproducible from the repository alone.
//   make_art OUTPUT_FOLDER
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

struct Rgba {
    double r, g, b, a;  // a = opacity 0..1
};

struct Canvas {
    int w, h;
    std::vector<Rgba> px;
    Canvas(int w_, int h_) : w(w_), h(h_), px(static_cast<size_t>(w_) * h_, Rgba{0, 0, 0, 0}) {}
    Rgba& at(int x, int y) { return px[static_cast<size_t>(y) * w + x]; }
    void over(int x, int y, Rgba c, double coverage) {
        if (x < 0 || y < 0 || x >= w || y >= h || coverage <= 0) return;
        Rgba& d = at(x, y);
        double a = c.a * coverage;
        double out = a + d.a * (1 - a);
        if (out <= 0) return;
        d.r = (c.r * a + d.r * d.a * (1 - a)) / out;
        d.g = (c.g * a + d.g * d.a * (1 - a)) / out;
        d.b = (c.b * a + d.b * d.a * (1 - a)) / out;
        d.a = out;
    }
};

// Fills every pixel whose 4x4 subsamples pass inside(x, y) with the matching coverage.
template <class Inside, class Colour>
void fill_shape(Canvas& c, Inside inside, Colour colour) {
    for (int y = 0; y < c.h; y++)
        for (int x = 0; x < c.w; x++) {
            int hits = 0;
            for (int sy = 0; sy < 4; sy++)
                for (int sx = 0; sx < 4; sx++)
                    if (inside(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4)) hits++;
            if (hits) c.over(x, y, colour(x + 0.5, y + 0.5), hits / 16.0);
        }
}

Rgba solid(double r, double g, double b) { return Rgba{r / 255, g / 255, b / 255, 1}; }

bool in_triangle(double px, double py, double ax, double ay, double bx, double by, double cx, double cy) {
    auto side = [](double x1, double y1, double x2, double y2, double x, double y) {
        return (x2 - x1) * (y - y1) - (y2 - y1) * (x - x1);
    };
    double d1 = side(ax, ay, bx, by, px, py), d2 = side(bx, by, cx, cy, px, py), d3 = side(cx, cy, ax, ay, px, py);
    bool neg = d1 < 0 || d2 < 0 || d3 < 0, pos = d1 > 0 || d2 > 0 || d3 > 0;
    return !(neg && pos);
}

// The emblem: a white play triangle on a dark-blue disc in a silver ring.
void draw_emblem(Canvas& c, double cx, double cy, double radius) {
    fill_shape(c, [&](double x, double y) { return hypot(x - cx, y - cy) <= radius; },
               [&](double x, double y) {
                   double t = (y - (cy - radius)) / (2 * radius);
                   double v = 235 - 90 * t + 20 * (x - cx) / radius;
                   return solid(v, v, v + 8);
               });
    double inner = radius * 0.8;
    fill_shape(c, [&](double x, double y) { return hypot(x - cx, y - cy) <= inner; },
               [&](double, double y) {
                   double t = (y - (cy - inner)) / (2 * inner);
                   return solid(20 + 30 * (1 - t), 40 + 40 * (1 - t), 110 + 70 * (1 - t));
               });
    double s = inner * 0.55;
    fill_shape(c, [&](double x, double y) {
                   return in_triangle(x, y, cx - s * 0.6, cy - s, cx - s * 0.6, cy + s, cx + s, cy);
               },
               [](double, double) { return solid(255, 255, 255); });
}

// A 5 x 7 block font for the few letters the logo needs.
const char* glyph(char ch) {
    switch (ch) {
    case 'T': return "11111" "00100" "00100" "00100" "00100" "00100" "00100";
    case 'A': return "01110" "10001" "10001" "11111" "10001" "10001" "10001";
    case 'V': return "10001" "10001" "10001" "10001" "01010" "01010" "00100";
    case 'L': return "10000" "10000" "10000" "10000" "10000" "10000" "11111";
    case 'I': return "11111" "00100" "00100" "00100" "00100" "00100" "11111";
    case 'N': return "10001" "11001" "10101" "10101" "10011" "10001" "10001";
    case 'M': return "10001" "11011" "10101" "10101" "10001" "10001" "10001";
    case 'E': return "11111" "10000" "10000" "11110" "10000" "10000" "11111";
    case 'D': return "11110" "10001" "10001" "10001" "10001" "10001" "11110";
    case 'P': return "11110" "10001" "10001" "11110" "10000" "10000" "10000";
    case 'Y': return "10001" "10001" "01010" "00100" "00100" "00100" "00100";
    case 'R': return "11110" "10001" "10001" "11110" "10100" "10010" "10001";
    case '1': return "00100" "01100" "00100" "00100" "00100" "00100" "01110";
    case '.': return "00000" "00000" "00000" "00000" "00000" "01100" "01100";
    default: return "00000" "00000" "00000" "00000" "00000" "00000" "00000";
    }
}

double text_width(const char* text, double cell) { return strlen(text) * 6 * cell - cell; }

void draw_text(Canvas& c, const char* text, double left, double top, double cell, Rgba colour) {
    for (size_t i = 0; text[i]; i++) {
        const char* g = glyph(text[i]);
        double gx = left + i * 6 * cell;
        fill_shape(c, [&](double x, double y) {
                       int col = static_cast<int>(floor((x - gx) / cell)), row = static_cast<int>(floor((y - top) / cell));
                       if (col < 0 || col > 4 || row < 0 || row > 6) return false;
                       // Rounded blocks read better than hard squares.
                       double fx = (x - gx) / cell - col - 0.5, fy = (y - top) / cell - row - 0.5;
                       return g[row * 5 + col] == '1' && fx * fx + fy * fy < 0.45;
                   },
                   [&](double, double) { return colour; });
    }
}

Canvas make_logo() {
    Canvas c(320, 240);
    fill_shape(c, [](double, double) { return true; },
               [](double x, double y) {
                   double d = hypot(x - 160, y - 100) / 200;
                   return solid(10 + 25 * (1 - d), 14 + 30 * (1 - d), 34 + 60 * (1 - d));
               });
    draw_emblem(c, 160, 88, 52);
    const char* title = "TAVLIN";
    draw_text(c, title, 160 - text_width(title, 5) / 2, 156, 5, solid(225, 230, 245));
    const char* sub = "MEDIA PLAYER 1.1";
    draw_text(c, sub, 160 - text_width(sub, 2) / 2, 204, 2, solid(150, 170, 215));
    return c;
}

uint8_t channel(double v) {
    long n = lround(v * 255);
    return static_cast<uint8_t>(n < 0 ? 0 : n > 255 ? 255 : n);
}

void put16(std::string& s, unsigned v) { s += char(v & 255), s += char((v >> 8) & 255); }
void put32(std::string& s, unsigned v) { put16(s, v & 0xFFFF), put16(s, v >> 16); }

// Bottom-up rows, BGR or BGRA, each padded to 4 bytes.
std::string dib_rows(Canvas& c, int bytes_per_pixel) {
    std::string s;
    for (int y = c.h - 1; y >= 0; y--) {
        size_t start = s.size();
        for (int x = 0; x < c.w; x++) {
            Rgba p = c.at(x, y);
            s += char(channel(p.b)), s += char(channel(p.g)), s += char(channel(p.r));
            if (bytes_per_pixel == 4) s += char(channel(p.a));
        }
        while ((s.size() - start) % 4) s += char(0);
    }
    return s;
}

std::string info_header(int w, int h, int bits, unsigned image_size) {
    std::string s;
    put32(s, 40), put32(s, w), put32(s, h), put16(s, 1), put16(s, bits), put32(s, 0), put32(s, image_size);
    put32(s, 3780), put32(s, 3780), put32(s, 0), put32(s, 0);
    return s;
}

bool write_file(const std::string& path, const std::string& data) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
    return fclose(f) == 0 && ok;
}

bool write_bmp24(const std::string& path, Canvas& c) {
    std::string rows = dib_rows(c, 3);
    std::string s = "BM";
    put32(s, 14 + 40 + rows.size()), put32(s, 0), put32(s, 14 + 40);
    return write_file(path, s + info_header(c.w, c.h, 24, rows.size()) + rows);
}

bool write_icon(const std::string& path, const std::vector<int>& sizes) {
    std::vector<std::string> images;
    for (int size : sizes) {
        Canvas c(size, size);
        draw_emblem(c, size / 2.0, size / 2.0, size / 2.0 - 0.5);
        std::string xor_rows = dib_rows(c, 4);
        std::string and_rows;
        int mask_stride = ((size + 31) / 32) * 4;
        for (int y = size - 1; y >= 0; y--) {
            std::string row(mask_stride, '\0');
            for (int x = 0; x < size; x++)
                if (channel(c.at(x, y).a) == 0) row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
            and_rows += row;
        }
        images.push_back(info_header(size, size * 2, 32, xor_rows.size() + and_rows.size()) + xor_rows + and_rows);
    }
    std::string s;
    put16(s, 0), put16(s, 1), put16(s, images.size());
    unsigned offset = 6 + 16 * images.size();
    for (size_t i = 0; i < images.size(); i++) {
        s += char(sizes[i] & 255), s += char(sizes[i] & 255), s += char(0), s += char(0);
        put16(s, 1), put16(s, 32), put32(s, images[i].size()), put32(s, offset);
        offset += images[i].size();
    }
    for (auto& image : images) s += image;
    return write_file(path, s);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: make_art OUTPUT_FOLDER\n");
        return 2;
    }
    std::string out = argv[1];
    Canvas logo = make_logo();
    bool ok = write_bmp24(out + "/logo.bmp", logo) && write_icon(out + "/program.ico", {16, 32, 48}) &&
              write_icon(out + "/program_small.ico", {16, 32});
    if (!ok) fprintf(stderr, "make_art: cannot write into %s\n", out.c_str());
    return ok ? 0 : 1;
}
