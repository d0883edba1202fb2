// Media type names, the BMP writer, and frame snapshots.
#include <stdio.h>
#include <string.h>

#include <vector>

#include "../gfx/gfx.h"
#include "media_state.h"

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

}  // namespace

const char* media_type_name(const char* path, bool has_video) {
    const char* dot = path ? strrchr(path, '.') : nullptr;
    if (!dot) return "Unknown Type";
    for (const MediaType& t : MEDIA_TYPES)
        if (lstrcmpiA(dot, t.extension) == 0) return t.name;
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

// Written whole under a temporary name and then given its own, which must
// not exist yet: a failed write leaves nothing, and nothing is overwritten.
int media_write_bmp(Surface* s, const char* name) {
    if (!s || !gfx_surface_refresh(s, 0)) return 0;
    uint32_t* pixels = gfx_surface_lock(s, 0);
    if (!pixels) return 0;
    std::vector<uint8_t> bytes(media_bmp_encode(pixels, s->stride, s->width, s->height, nullptr, 0));
    size_t n = bytes.empty() ? 0 : media_bmp_encode(pixels, s->stride, s->width, s->height, bytes.data(), bytes.size());
    gfx_surface_unlock(s, 0);
    if (n == 0) return 0;
    char temporary[MAX_PATH];
    if (snprintf(temporary, sizeof temporary, "%s.part", name) >= static_cast<int>(sizeof temporary)) return 0;
    HANDLE f = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return 0;
    DWORD written = 0;
    bool whole = WriteFile(f, bytes.data(), static_cast<DWORD>(n), &written, nullptr) && written == n;
    whole = CloseHandle(f) && whole;
    if (whole && MoveFileA(temporary, name)) return 1;
    DeleteFileA(temporary);
    return 0;
}

int media_take_snapshot() {
    const RECT& v = g_media.sample_rect;
    int w = v.right - v.left, h = v.bottom - v.top;  // exactly the video's size
    // The frame on screen: smoothed in the work surface when smoothing drew
    // it, else straight from the sample.
    IDirectDrawSurface* from = g_media.work_is_current ? g_media.work_surface : g_media.sample_surface;
    if (w <= 0 || h <= 0 || !from) return 0;
    Surface shot = {};
    HDC shot_dc = nullptr, frame_dc = nullptr;
    if (!gfx_surface_create(&shot, w, h, 0) || !gfx_surface_get_dc(&shot, &shot_dc, nullptr)) {
        gfx_surface_release(&shot, 0);
        return 0;
    }
    if (FAILED(from->GetDC(&frame_dc))) {
        gfx_surface_release(&shot, 0);
        return 0;
    }
    BitBlt(shot_dc, 0, 0, w, h, frame_dc, v.left, v.top, SRCCOPY);
    from->ReleaseDC(frame_dc);
    gfx_surface_release_dc(&shot, &shot_dc);
    // Video frames carry no transparency: whatever the copy left there goes.
    if (uint32_t* p = gfx_surface_lock(&shot, 0)) {
        for (int y = 0; y < shot.height; y++)
            for (int x = 0; x < shot.width; x++) p[static_cast<size_t>(y) * shot.stride + x] &= 0x00FFFFFF;
        gfx_surface_unlock(&shot, 0);
    }
    CreateDirectoryA("c:\\pic", nullptr);
    int tick = static_cast<int>(GetTickCount());
    for (int i = 0; i < 1000; i++) {
        char name[MAX_PATH];
        snprintf(name, sizeof name, SNAPSHOT_NAME_FORMAT, tick + i);
        if (GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES) continue;  // taken: the next number
        if (media_write_bmp(&shot, name) || GetFileAttributesA(name) == INVALID_FILE_ATTRIBUTES) break;
    }
    gfx_surface_release(&shot, 0);
    return 1;
}
