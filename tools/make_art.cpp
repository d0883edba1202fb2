// Draws the program's icons for the resource script with the artwork code the
// program itself draws its skin and logo with, built for the build machine.
// Each icon carries the sizes the displays' scales ask for.
//   make_art OUTPUT_FOLDER
#include <stdio.h>

#include <string>
#include <vector>

#include "../ui/art.h"

namespace {

void put16(std::string& s, unsigned v) { s += char(v & 255), s += char((v >> 8) & 255); }
void put32(std::string& s, unsigned v) { put16(s, v & 0xFFFF), put16(s, v >> 16); }

// Bottom-up rows of BGRA, the alpha turned from the engine's transparency.
std::string dib_rows(const Surface& s) {
    std::string out;
    for (int y = s.height - 1; y >= 0; y--) {
        size_t start = out.size();
        for (int x = 0; x < s.width; x++) {
            uint32_t p = s.pixels[y * s.stride + x];
            out += char(p & 255), out += char((p >> 8) & 255), out += char((p >> 16) & 255);
            out += char(255 - (p >> 24));
        }
        while ((out.size() - start) % 4) out += char(0);
    }
    return out;
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

bool write_icon(const std::string& path, const std::vector<int>& sizes, int kind) {
    std::vector<std::string> images;
    for (int size : sizes) {
        Surface picture = {};
        if (!ui_draw_icon(&picture, size, kind)) return false;
        std::string colour_rows = dib_rows(picture), mask_rows;
        int mask_stride = ((size + 31) / 32) * 4;
        for (int y = size - 1; y >= 0; y--) {
            std::string row(mask_stride, '\0');
            for (int x = 0; x < size; x++)
                if ((picture.pixels[y * picture.stride + x] >> 24) == 255) row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
            mask_rows += row;
        }
        gfx_surface_release(&picture, 0);
        images.push_back(info_header(size, size * 2, 32, colour_rows.size() + mask_rows.size()) + colour_rows +
                         mask_rows);
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
    bool ok = write_icon(out + "/program.ico", {16, 24, 32, 48, 64}, UI_ICON_PROGRAM) &&
              write_icon(out + "/program_small.ico", {16, 20, 24, 32}, UI_ICON_PROGRAM) &&
              write_icon(out + "/entry.ico", {16, 20, 24, 32, 48}, UI_ICON_ENTRY) &&
              write_icon(out + "/entry_current.ico", {16, 20, 24, 32, 48}, UI_ICON_ENTRY_CURRENT);
    if (!ok) fprintf(stderr, "make_art: cannot draw or write into %s\n", out.c_str());
    return ok ? 0 : 1;
}
