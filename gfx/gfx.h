// The graphics engine: 32-bit surfaces (0xTTRRGGBB, T = transparency, 0 opaque)
// over DIB sections, and the operations drawn on them. Rectangles are given by
// inclusive corners. Results: 0 failure, odd success.
#pragma once
#include <windows.h>
#include <stdint.h>

#define SURFACE_MAX_PIXELS 0x1000000
#define SURFACE_MAX_PIXELS_MAPPED 0x4000000

#define GFX_SURFACE_MAPPED 1
#define GFX_LOCK_NOCOUNT 0x10
#define GFX_CLIP 0x100
#define GFX_SMOOTH_AREA 0x200
#define GFX_OPAQUE 0x10000

struct Surface {
    int32_t width;
    int32_t height;
    int32_t stride;  // in pixels
    uint32_t* pixels;
    uint16_t alloc_width;
    uint16_t alloc_height;
    uint8_t flags;  // 1 created, 2 page-file-backed section
    uint8_t bits_per_pixel;
    uint8_t reserved;
    uint8_t lock_count;
    HDC dc;
    HBITMAP bitmap;
};

int gfx_startup(int flags);
int gfx_shutdown(int flags);

int gfx_surface_create(Surface* s, int width, int height, uint32_t flags);
int gfx_surface_release(Surface* s, int ignored);
int gfx_surface_refresh(Surface* s, int ignored);
int gfx_surface_load_bitmap(Surface* s, HBITMAP source);
uint32_t* gfx_surface_lock(Surface* s, uint32_t flags);
int gfx_surface_unlock(Surface* s, int ignored);
HDC gfx_surface_get_dc(Surface* s, HDC* out_dc, HBITMAP* out_bitmap);
int gfx_surface_release_dc(Surface* s, HDC* dc);
