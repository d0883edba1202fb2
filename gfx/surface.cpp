// Surfaces: one top-down 32-bit DIB section each, selected into its own
// memory DC, so engine loops and platform drawing share the same pixels.
#include <math.h>
#include <string.h>

#include "../app/fault_guard.h"
#include "gfx.h"

namespace {

LONG g_use_count;

// The last released plain surface's bitmap, kept for the next creation of the
// same size: the first write to each page of fresh memory costs more than
// clearing memory already in use. At most one is kept, and only up to this size.
HBITMAP volatile g_spare;
const int SPARE_MAX_PIXELS = 0x400000;

HBITMAP exchange_spare(HBITMAP b) {
    return static_cast<HBITMAP>(InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&g_spare), b));
}

// A live, plain 32-bit DIB section, described in *out. (The platform reports
// a top-down section's height as positive; every surface is top-down.)
bool plain_dib(HBITMAP b, BITMAP* out) {
    DIBSECTION d;
    if (!b || GetObjectType(b) != OBJ_BITMAP || GetObjectA(b, sizeof d, &d) != sizeof d) return false;
    *out = d.dsBm;
    return d.dsBm.bmBits && !d.dshSection && d.dsBm.bmBitsPixel == 32;
}

// The spare when it has this size, cleared as a new bitmap would be; else null.
HBITMAP take_spare(int width, int height) {
    HBITMAP b = exchange_spare(nullptr);
    BITMAP m;
    if (!plain_dib(b, &m)) return nullptr;  // none, or its handle died under it
    if (m.bmWidth != width || m.bmHeight != height) {
        if (InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(&g_spare), b, nullptr))
            DeleteObject(b);
        return nullptr;
    }
    memset(m.bmBits, 0, static_cast<size_t>(m.bmWidthBytes) * height);
    return b;
}

// Keeps a released bitmap as the spare when it qualifies; otherwise deletes it.
void give_up_bitmap(HBITMAP b) {
    BITMAP m;
    if (plain_dib(b, &m) && static_cast<double>(m.bmWidth) * m.bmHeight <= SPARE_MAX_PIXELS) b = exchange_spare(b);
    if (b) DeleteObject(b);
}

// A platform that refuses both the row transfer and the halftone stretch is
// given this many tries, 30 ms apart, before the load fails.
const int LOAD_ATTEMPTS = 10;

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

// A new DIB section for a filled-in record, on a page-file section when asked
// and possible, else on the platform's own memory.
bool make_bitmap(Surface* s, uint32_t flags) {
    HANDLE section = nullptr;
    if (flags & GFX_SURFACE_MAPPED)
        section = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE | SEC_COMMIT, 0,
                                     static_cast<DWORD>(s->alloc_width) * s->alloc_height * 4u, nullptr);
    BITMAPINFOHEADER header = surface_header(s);
    void* bits = nullptr;
    s->bitmap = CreateDIBSection(s->dc, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, section, 0);
    if (section) {
        CloseHandle(section);
        if (s->bitmap) s->flags |= 2;
    }
    if (!s->bitmap && section)
        s->bitmap = CreateDIBSection(s->dc, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
    return s->bitmap != nullptr;
}

void touch_first_pixel(void* context) {
    volatile uint32_t* p = static_cast<volatile uint32_t*>(context);
    *p = *p;
}

// Reads the first pixel and writes it back; false when that faults.
bool pixels_touchable(uint32_t* p) {
    return p && app_run_guarded(touch_first_pixel, p) == 1;
}

bool read_dib(Surface* s) {
    DIBSECTION d;
    if (GetObjectType(s->bitmap) != OBJ_BITMAP || GetObjectA(s->bitmap, sizeof d, &d) != sizeof d ||
        !d.dsBm.bmBits)
        return false;
    s->width = d.dsBm.bmWidth;
    s->height = d.dsBm.bmHeight < 0 ? -d.dsBm.bmHeight : d.dsBm.bmHeight;
    s->stride = d.dsBm.bmWidthBytes / 4;
    s->pixels = static_cast<uint32_t*>(d.dsBm.bmBits);
    return true;
}

bool record_is_empty(const Surface* s) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
    for (size_t i = 0; i < sizeof *s; i++)
        if (p[i]) return false;
    return true;
}

// The platform draws the source into the surface when the row transfer fails.
bool stretch_into(Surface* s, HBITMAP source, int width, int height) {
    HDC dc = nullptr;
    if (!gfx_surface_get_dc(s, &dc, nullptr)) return false;
    HDC temp = CreateCompatibleDC(dc);
    bool done = false;
    if (temp) {
        HGDIOBJ old = SelectObject(temp, source);
        int mode = SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        done = StretchBlt(dc, 0, 0, s->width, s->height, temp, 0, 0, width, height, SRCCOPY) != 0;
        SetStretchBltMode(dc, mode);
        SelectObject(temp, old);
        DeleteDC(temp);
    }
    gfx_surface_release_dc(s, &dc);
    return done;
}

}  // namespace

int gfx_startup(int flags) {
    InterlockedIncrement(&g_use_count);
    gfx_thread_state()->last_status = 0;
    return flags | 1;
}

int gfx_shutdown(int flags) {
    if (flags == -1) g_use_count = 0;
    else if (g_use_count > 0) InterlockedDecrement(&g_use_count);
    if (g_use_count == 0) {
        HBITMAP spare = exchange_spare(nullptr);
        if (spare) DeleteObject(spare);
    }
    gfx_thread_state()->last_status = 0;
    return flags | 1;
}

int gfx_surface_create(Surface* s, int width, int height, uint32_t flags) {
    if (!s || width <= 0 || height <= 0 || width >= 65536 || height >= 65536) return 0;
    // The product of two 16-bit sides overflows 32 bits, so it is taken in double.
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
    if (!(flags & GFX_SURFACE_MAPPED)) s->bitmap = take_spare(width, height);
    if (!s->bitmap && !make_bitmap(s, flags)) {
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
        give_up_bitmap(s->bitmap);
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
    if (!s) return nullptr;
    bool cached = s->pixels && s->lock_count > 0 && pixels_touchable(s->pixels);
    if (!cached && (!read_dib(s) || !pixels_touchable(s->pixels))) return nullptr;
    if (!(flags & GFX_LOCK_NOCOUNT)) s->lock_count++;
    return s->pixels;
}

int gfx_surface_unlock(Surface* s, int) {
    if (s && s->lock_count > 0) s->lock_count--;
    return 1;
}

HDC gfx_surface_get_dc(Surface* s, HDC* out_dc, HBITMAP* out_bitmap) {
    if (!s || !out_dc || !read_dib(s)) return nullptr;
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

namespace {
bool dc_alive(const Surface* s) {
    DWORD type = s->dc ? GetObjectType(s->dc) : 0;
    return type == OBJ_DC || type == OBJ_MEMDC;
}
bool bitmap_alive(const Surface* s) { return s->bitmap && GetObjectType(s->bitmap) == OBJ_BITMAP; }
}  // namespace

bool gfx_surface_is_usable(const Surface* s) {
    return s && !record_is_empty(s) && dc_alive(s) && bitmap_alive(s);
}

void gfx_surface_discard(Surface* s) {
    if (!s || record_is_empty(s)) return;
    // A dead handle's number may already belong to another object: never delete it.
    if (!dc_alive(s)) s->dc = nullptr;
    if (!bitmap_alive(s)) s->bitmap = nullptr;
    gfx_surface_release(s, 0);
}

bool gfx_surface_validate(Surface* s) {
    if (!s || record_is_empty(s)) return false;
    if (gfx_surface_is_usable(s)) return true;
    if (!bitmap_alive(s)) {
        // Nothing alive is left as it is: nothing there to free.
        if (dc_alive(s)) gfx_surface_discard(s);
        return false;
    }
    HBITMAP detached = s->bitmap;
    s->bitmap = nullptr;
    gfx_surface_discard(s);
    bool rebuilt = gfx_surface_load_bitmap(s, detached) != 0;
    DeleteObject(detached);
    return rebuilt;
}

int gfx_surface_load_bitmap(Surface* s, HBITMAP source) {
    BITMAP b;
    GdiFlush();
    if (!s || !source || !GetObjectA(source, sizeof b, &b)) return 0;
    const int depth = b.bmPlanes * b.bmBitsPixel;
    int width = b.bmWidth, height = b.bmHeight < 0 ? -b.bmHeight : b.bmHeight;
    if (!gfx_surface_create(s, width, height, 0)) return 0;
    gfx_surface_refresh(s, 0);

    HBITMAP converted = nullptr;
    if (s->width != width || s->height != height) {
        converted = static_cast<HBITMAP>(CopyImage(source, IMAGE_BITMAP, s->width, s->height, LR_CREATEDIBSECTION));
        if (!converted || !GetObjectA(converted, sizeof b, &b)) goto failed;
        source = converted;
        width = b.bmWidth;
        height = b.bmHeight < 0 ? -b.bmHeight : b.bmHeight;
    }
    {
        BITMAPINFOHEADER header = surface_header(s);
        header.biSizeImage = s->alloc_width * s->alloc_height * 4u;
        gfx_thread_state()->last_status = 5;
        bool loaded = false;
        for (int attempt = 0; attempt < LOAD_ATTEMPTS && !loaded; attempt++) {
            if (attempt > 0) {
                Sleep(30);
                GdiFlush();
            }
            uint32_t* pixels = gfx_surface_lock(s, 0);
            if (!pixels) goto failed;
            int rows = GetDIBits(s->dc, source, 0, s->alloc_height, pixels, reinterpret_cast<BITMAPINFO*>(&header),
                                 DIB_RGB_COLORS);
            gfx_surface_unlock(s, 0);
            loaded = rows > 0 || stretch_into(s, source, width, height);
        }
        if (!loaded) goto failed;
    }
    if (depth != 32 && depth != 16) {
        uint32_t* p = gfx_surface_lock(s, 0);
        if (!p) goto failed;
        for (int y = 0; y < s->height; y++)
            for (int x = 0; x < s->width; x++) p[y * s->stride + x] &= 0x00FFFFFF;
        gfx_surface_unlock(s, 0);
    }
    if (converted) DeleteObject(converted);
    return converted ? 3 : 1;

failed:
    if (converted) DeleteObject(converted);
    gfx_surface_discard(s);
    return 0;
}

int gfx_blit_to_dc(HDC dst, int x1, int y1, int x2, int y2, Surface* src, int sx1, int sy1, int sx2, int sy2,
                   uint32_t) {
    if (!src) return 0;
    SelectObject(src->dc, src->bitmap);
    if (x2 - x1 == sx2 - sx1 && y2 - y1 == sy2 - sy1)
        return BitBlt(dst, x1, y1, x2 - x1 + 1, y2 - y1 + 1, src->dc, sx1, sy1, SRCCOPY);
    return StretchBlt(dst, x1, y1, x2 - x1 + 1, y2 - y1 + 1, src->dc, sx1, sy1, sx2 - sx1 + 1, sy2 - sy1 + 1,
                      SRCCOPY);
}
