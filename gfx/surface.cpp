// Surfaces: one top-down 32-bit DIB section each, selected into its own
// memory DC, so engine loops and platform drawing share the same pixels.
#include <math.h>
#include <string.h>

#include "gfx.h"

namespace {

LONG g_use_count;

BITMAPINFOHEADER surface_header(const Surface* s) {
    BITMAPINFOHEADER h = {};
    h.biSize = sizeof h;
    h.biWidth = s->alloc_width;
    h.biHeight = -static_cast<LONG>(s->alloc_height);
    h.biPlanes = 1;
    h.biBitCount = 32;
    h.biCompression = BI_RGB;
    h.biXPelsPerMeter = h.biYPelsPerMeter = 3780;
    return h;
}

}  // namespace

int gfx_startup(int flags) {
    g_use_count++;
    return flags | 1;
}

int gfx_shutdown(int flags) {
    if (flags == -1) g_use_count = 0;
    else if (g_use_count > 0) g_use_count--;
    return flags | 1;
}

int gfx_surface_create(Surface* s, int width, int height, uint32_t flags) {
    if (!s || width <= 0 || height <= 0 || width >= 65536 || height >= 65536) return 0;
    const double budget = (flags & GFX_SURFACE_MAPPED) ? SURFACE_MAX_PIXELS_MAPPED : SURFACE_MAX_PIXELS;
    const double asked = static_cast<double>(width) * height;
    const bool adjusted = asked > budget;
    if (adjusted) {
        double f = sqrt(budget / asked);
        width = static_cast<int>(width * f);
        height = static_cast<int>(height * f);
        if (width <= 0 || height <= 0) return 0;
    }
    memset(s, 0, sizeof *s);
    s->alloc_width = static_cast<uint16_t>(width);
    s->alloc_height = static_cast<uint16_t>(height);
    s->width = width;
    s->height = height;
    s->flags = 1;
    s->bits_per_pixel = 32;

    HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    s->dc = CreateCompatibleDC(display);
    if (display) DeleteDC(display);
    if (!s->dc) {
        memset(s, 0, sizeof *s);
        return 0;
    }
    BITMAPINFOHEADER header = surface_header(s);
    void* bits = nullptr;
    s->bitmap = CreateDIBSection(s->dc, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!s->bitmap) {
        DeleteDC(s->dc);
        memset(s, 0, sizeof *s);
        return 0;
    }
    HGDIOBJ previous = SelectObject(s->dc, s->bitmap);
    if (previous) DeleteObject(previous);
    GdiFlush();
    gfx_surface_refresh(s, 0);
    return adjusted ? 3 : 1;
}

int gfx_surface_release(Surface* s, int ignored) {
    if (s) {
        if (s->dc) DeleteDC(s->dc);
        if (s->bitmap) DeleteObject(s->bitmap);
        memset(s, 0, sizeof *s);
    }
    return ignored | 1;
}

int gfx_surface_refresh(Surface* s, int) {
    BITMAP b;
    if (!s || GetObjectType(s->bitmap) != OBJ_BITMAP || !GetObjectA(s->bitmap, sizeof b, &b)) return 0;
    s->width = b.bmWidth;
    s->height = b.bmHeight < 0 ? -b.bmHeight : b.bmHeight;
    s->stride = b.bmWidthBytes / 4;
    return 1;
}

uint32_t* gfx_surface_lock(Surface* s, uint32_t flags) {
    DIBSECTION d;
    if (!s || GetObjectA(s->bitmap, sizeof d, &d) != sizeof d || !d.dsBm.bmBits) return nullptr;
    s->width = d.dsBm.bmWidth;
    s->height = d.dsBm.bmHeight < 0 ? -d.dsBm.bmHeight : d.dsBm.bmHeight;
    s->stride = d.dsBm.bmWidthBytes / 4;
    s->pixels = static_cast<uint32_t*>(d.dsBm.bmBits);
    if (!(flags & GFX_LOCK_NOCOUNT)) s->lock_count++;
    return s->pixels;
}

int gfx_surface_unlock(Surface* s, int) {
    if (s && s->lock_count > 0) s->lock_count--;
    return 1;
}

HDC gfx_surface_get_dc(Surface* s, HDC* out_dc, HBITMAP* out_bitmap) {
    if (!s || !out_dc || !gfx_surface_lock(s, GFX_LOCK_NOCOUNT)) return nullptr;
    SelectObject(s->dc, s->bitmap);
    *out_dc = s->dc;
    if (out_bitmap) *out_bitmap = s->bitmap;
    return s->dc;
}

int gfx_surface_release_dc(Surface*, HDC* dc) {
    GdiFlush();
    if (dc) *dc = nullptr;
    return 1;
}

int gfx_surface_load_bitmap(Surface* s, HBITMAP source) {
    BITMAP b;
    GdiFlush();
    if (!s || !GetObjectA(source, sizeof b, &b)) return 0;
    int height = b.bmHeight < 0 ? -b.bmHeight : b.bmHeight;
    if (!gfx_surface_create(s, b.bmWidth, height, 0)) return 0;
    BITMAPINFOHEADER header = surface_header(s);
    header.biSizeImage = s->alloc_width * s->alloc_height * 4u;
    uint32_t* pixels = gfx_surface_lock(s, 0);
    if (!pixels ||
        !GetDIBits(s->dc, source, 0, s->alloc_height, pixels, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS)) {
        gfx_surface_release(s, 0);
        return 0;
    }
    if (b.bmPlanes * b.bmBitsPixel != 32 && b.bmPlanes * b.bmBitsPixel != 16) {
        for (int y = 0; y < s->height; y++)
            for (int x = 0; x < s->width; x++) pixels[y * s->stride + x] &= 0x00FFFFFF;
    }
    gfx_surface_unlock(s, 0);
    return 1;
}
