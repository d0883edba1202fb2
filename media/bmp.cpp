// Media type names and the BMP file of a picture: no system calls here, so
// both can be tested and fuzzed on their own.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

namespace {

struct MediaType {
    const char* extension;
    const char* name;
};

const MediaType MEDIA_TYPES[] = {
    {".mpg", "MPEG Video"},           {".mpe", "MPEG Video"},           {".mpeg", "MPEG Video"},
    {".dat", "MPEG Video - VCD"},     {".vob", "MPEG Video - DVD"},     {".mp3", "MPEG Audio - MP3"},
    {".wmv", "Windows Media Video"},  {".wma", "Windows Media Audio"},  {".asf", "Windows Video Stream"},
    {".avi", "AVI or DivX Video"},    {".divx", "DivX Video"},          {".ogg", "OggVorbis"},
    {".ogm", "OggMedia"},             {".qt", "QuickTime"},             {".ra", "RealAudio"},
    {".rm", "RealMedia"},             {".rmvb", "RealMedia Video"},     {".gif", "Animated GIF"},
};

void put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void put32(uint8_t* p, uint32_t v) {
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}

// The palette as the writer builds it: entry 0 and every unused entry hold
// the top-left pixel, each further colour the next entry in the order the
// rows meet it. A small open-addressed table finds a colour's entry, so each
// pixel costs one probe or two, not a walk of 256 entries.
struct Palette {
    uint32_t colour[256];
    int count = 0;
    uint32_t key[1024];
    int16_t slot[1024];  // -1 empty, else the colour's entry
    bool full = false;

    explicit Palette(uint32_t first) {
        for (uint32_t& c : colour) c = first;
        memset(slot, 0xFF, sizeof slot);
        insert(first, 0);
    }
    static unsigned hash(uint32_t c) { return (c * 2654435761u) >> 22; }
    int find(uint32_t c) const {
        for (unsigned h = hash(c);; h = (h + 1) & 1023) {
            if (slot[h] < 0) return -1;
            if (key[h] == c) return slot[h];
        }
    }
    void insert(uint32_t c, int entry) {
        unsigned h = hash(c);
        while (slot[h] >= 0) h = (h + 1) & 1023;
        key[h] = c;
        slot[h] = static_cast<int16_t>(entry);
    }
    // False once a 257th distinct colour turns up: it is not stored.
    bool add(uint32_t c) {
        if (find(c) >= 0) return true;
        if (count >= 255) return false;
        colour[++count] = c;
        insert(c, count);
        return true;
    }
    // The last entry equal to the colour: the top-left colour also fills the
    // entries after the last one used.
    uint8_t index(uint32_t c) const {
        int e = find(c);
        return static_cast<uint8_t>(e == 0 && count < 255 ? 255 : e);
    }
};

bool same_ignoring_case(const char* a, const char* b) {
    for (;; a++, b++) {
        char x = *a >= 'A' && *a <= 'Z' ? static_cast<char>(*a + 32) : *a;
        if (x != *b) return false;
        if (!x) return true;
    }
}

}  // namespace

const char* media_type_name(const char* path, bool has_video) {
    const char* dot = path ? strrchr(path, '.') : nullptr;
    if (!dot) return "Unknown Type";
    for (const MediaType& t : MEDIA_TYPES)
        if (same_ignoring_case(dot, t.extension)) return t.name;
    return has_video ? "Streaming Video" : "Streaming Audio";
}

size_t media_bmp_encode(const uint32_t* pixels, int stride, int width, int height, uint8_t* out, size_t size) {
    if (!pixels || width <= 0 || height <= 0) return 0;
    int bits = 24;
    for (int y = 0; y < height && bits == 24; y++)
        for (int x = 0; x < width; x++)
            if (pixels[static_cast<size_t>(y) * stride + x] > 0xFFFFFF) {
                bits = 32;
                break;
            }
    Palette palette(pixels[0]);
    bool fits = true;
    uint32_t last = pixels[0];
    for (int y = 0; y < height && fits; y++)
        for (int x = 0; x < width && fits; x++) {
            uint32_t p = pixels[static_cast<size_t>(y) * stride + x];
            if (p == last) continue;
            fits = palette.add(p);
            last = p;
        }
    if (fits) bits = 8;
    const size_t row = (static_cast<size_t>(width) * (bits / 8) + 3) & ~static_cast<size_t>(3);
    const size_t offset = 54 + (bits == 8 ? 1024 : 0), total = offset + row * height;
    if (!out) return total;
    if (size < total) return 0;
    memset(out, 0, offset);
    out[0] = 'B', out[1] = 'M';
    put32(out + 2, static_cast<uint32_t>(total));
    put32(out + 10, static_cast<uint32_t>(offset));
    put32(out + 14, 40);
    put32(out + 18, static_cast<uint32_t>(width));
    put32(out + 22, static_cast<uint32_t>(height));
    put16(out + 26, 1);
    put16(out + 28, static_cast<uint32_t>(bits));
    put32(out + 34, static_cast<uint32_t>(row * height));
    if (bits == 8)
        for (int i = 0; i < 256; i++) put32(out + 54 + i * 4, palette.colour[i]);
    for (int y = height - 1; y >= 0; y--) {
        const uint32_t* src = pixels + static_cast<size_t>(y) * stride;
        uint8_t* dst = out + offset + row * (height - 1 - y);
        memset(dst, 0, row);
        if (bits == 8) {
            uint32_t seen = src[0];
            uint8_t seen_index = palette.index(seen);
            for (int x = 0; x < width; x++) {
                if (src[x] != seen) seen = src[x], seen_index = palette.index(seen);
                dst[x] = seen_index;
            }
        } else if (bits == 32) {
            for (int x = 0; x < width; x++) put32(dst + x * 4, src[x]);
        } else {
            for (int x = 0; x < width; x++) {
                dst[x * 3] = static_cast<uint8_t>(src[x]);
                dst[x * 3 + 1] = static_cast<uint8_t>(src[x] >> 8);
                dst[x * 3 + 2] = static_cast<uint8_t>(src[x] >> 16);
            }
        }
    }
    return total;
}
