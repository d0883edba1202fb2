// The graphics engine: 32-bit surfaces (0xTTRRGGBB, T = transparency, 0 opaque)
// over DIB sections, and the operations drawn on them. Rectangles are given by
// inclusive corners. Results: 0 failure, odd success.
#pragma once
#include <windows.h>
#include <stddef.h>
#include <stdint.h>

#define SURFACE_MAX_PIXELS 0x1000000
#define SURFACE_MAX_PIXELS_MAPPED 0x4000000

#define GFX_SURFACE_MAPPED 1
#define GFX_LOCK_NOCOUNT 0x10

#define GFX_MODE_MASK 0x0F
#define GFX_MODE_OVER 0
#define GFX_MODE_BEHIND 1
#define GFX_MODE_MASKED 2
#define GFX_MODE_COLOR 3
#define GFX_MODE_CHECKER 4
#define GFX_MODE_COLOR_SUM 5
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

struct GfxThreadState {
    int32_t clip_x1, clip_y1, clip_x2, clip_y2;
    uint32_t last_status;  // 3 checking, 2 acquiring, 1 drawing, 5 loading pixels
};

// 16 x 16 colours shown behind transparent pixels, indexed [y & 15][x & 15].
extern uint32_t checker_table[256];

int gfx_startup(int flags);
int gfx_shutdown(int flags);
GfxThreadState* gfx_thread_state();

int gfx_surface_create(Surface* s, int width, int height, uint32_t flags);
int gfx_surface_release(Surface* s, int ignored);
int gfx_surface_refresh(Surface* s, int ignored);
int gfx_surface_load_bitmap(Surface* s, HBITMAP source);
uint32_t* gfx_surface_lock(Surface* s, uint32_t flags);
int gfx_surface_unlock(Surface* s, int ignored);
HDC gfx_surface_get_dc(Surface* s, HDC* out_dc, HBITMAP* out_bitmap);
int gfx_surface_release_dc(Surface* s, HDC* dc);
// Whether the record's DC and bitmap are both alive; changes nothing.
bool gfx_surface_is_usable(const Surface* s);
// Frees whichever of the record's platform objects are still alive and
// empties it: for records that may be half-dead.
void gfx_surface_discard(Surface* s);
// Usable as it is, or made usable again: a half-dead record is rebuilt from its
// surviving bitmap, or freed when that is not possible (false).
bool gfx_surface_validate(Surface* s);
int gfx_set_clip(int x1, int y1, int x2, int y2);
int gfx_build_checker_pattern(uint32_t c0, uint32_t c1);

uint32_t gfx_pixel_lerp(uint32_t a, uint32_t b, uint32_t w);
uint32_t gfx_pixel_average4(uint32_t a, uint32_t b, uint32_t c, uint32_t d);
uint32_t gfx_pixel_bilinear(uint32_t p00, uint32_t p10, uint32_t p01, uint32_t p11, uint32_t fx, uint32_t fy);

int gfx_blit_copy(Surface* dst, int x1, int y1, int x2, int y2, Surface* src, int sx1, int sy1, int sx2, int sy2,
                  uint32_t flags);
int gfx_blit_blend(Surface* dst, int x1, int y1, int x2, int y2, Surface* src, int sx1, int sy1, int sx2, int sy2,
                   uint32_t flags);
int gfx_blit_to_dc(HDC dst, int x1, int y1, int x2, int y2, Surface* src, int sx1, int sy1, int sx2, int sy2,
                   uint32_t ignored);
// Null in the program. While set, every request of the blit and stretch
// routines for working storage goes through it in place of realloc, so a
// test sees each one and can refuse it (null); the operation then fails.
extern void* (*gfx_scratch_realloc_hook)(void* block, size_t bytes);

// Fills, lines, gradients, ellipses and flood fill: the caller holds the lock.
#define GFX_EXCLUSIVE 0x1

int gfx_line_copy(Surface* s, int x1, int y1, int x2, int y2, uint32_t colour, uint32_t flags);
int gfx_line_blend(Surface* s, int x1, int y1, int x2, int y2, uint32_t colour, uint32_t flags);
int gfx_frame_copy(Surface* s, int x1, int y1, int x2, int y2, int thickness, uint32_t colour, uint32_t flags);
int gfx_frame_blend(Surface* s, int x1, int y1, int x2, int y2, int thickness, uint32_t colour, uint32_t flags);
int gfx_fill_copy(Surface* s, int x1, int y1, int x2, int y2, uint32_t colour, uint32_t flags);
int gfx_fill_blend(Surface* s, int x1, int y1, int x2, int y2, uint32_t colour, uint32_t flags);
int gfx_gradient_copy(Surface* s, int x1, int y1, int x2, int y2, uint32_t c11, uint32_t c21, uint32_t c12,
                      uint32_t c22, uint32_t flags);
int gfx_gradient_blend(Surface* s, int x1, int y1, int x2, int y2, uint32_t c11, uint32_t c21, uint32_t c12,
                       uint32_t c22, uint32_t flags);
int gfx_fill_op(Surface* s, int x1, int y1, int x2, int y2, uint32_t value, int operation, uint32_t flags);
void gfx_pixel_add_sat(uint32_t* pixel, uint32_t value);
void gfx_pixel_sub_sat(uint32_t* pixel, uint32_t value);

int gfx_ellipse_copy(Surface* s, int x1, int y1, int x2, int y2, uint32_t colour, uint32_t flags);
int gfx_radial_copy(Surface* s, int x1, int y1, int x2, int y2, uint32_t centre, uint32_t edge, uint32_t flags);
int gfx_radial_blend(Surface* s, int x1, int y1, int x2, int y2, uint32_t centre, uint32_t edge, uint32_t flags);
int gfx_flood_fill(Surface* s, int x, int y, uint8_t mode, uint32_t colour, uint32_t boundary, int32_t* box);
int gfx_double_to_int(double value);

// Smoothing stretch, and whole-surface resize and copy.
#define GFX_RESIZE_SMOOTH 0
#define GFX_RESIZE_DISCARD 1
#define GFX_RESIZE_AREA 2
#define GFX_RESIZE_NEAREST 3

int gfx_stretch_copy(Surface* dst, int x1, int y1, int x2, int y2, Surface* src, int sx1, int sy1, int sx2, int sy2,
                     uint32_t flags);
int gfx_stretch_blend(Surface* dst, int x1, int y1, int x2, int y2, Surface* src, int sx1, int sy1, int sx2,
                      int sy2, uint32_t flags);
int gfx_surface_resize(Surface* s, int width, int height, int mode);
int gfx_surface_copy(Surface* dst, Surface* src);
