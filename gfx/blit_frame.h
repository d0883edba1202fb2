// The checked and clipped frame every surface-to-surface blit works in: the
// door checks arguments, locks both surfaces and clips once, so the row loops
// behind it need no bounds tests.
#pragma once
#include "gfx.h"

struct BlitFrame {
    uint32_t* dst;
    int dst_stride;
    const uint32_t* src;
    int src_stride;
    int src_width, src_height;
    int x1, y1, sx1, sy1;
    int left, right;            // destination columns to write
    int row_first, row_last;    // destination rows worth visiting
    int hshift, vshift;
    uint32_t hstep, vstep;      // source span per destination pixel, shift fraction bits
    int64_t dw, dh, sw, sh;     // spans, counted inclusively
    bool equal_width;
};

enum { BLIT_FAILED = 0, BLIT_NOTHING = 1, BLIT_READY = 2 };

// Working storage of the row loops: count zeroed elements in buffer slot
// (0 to 7), or null when it cannot be had. The calling thread keeps the
// buffers from one operation to the next, growing them when too small, so a
// fault that abandons an operation by a jump leaves nothing its frames owned.
#define GFX_SCRATCH_SLOTS 8
void* gfx_scratch(int slot, size_t bytes);
template <class T>
T* gfx_scratch_of(int slot, size_t count) {
    return static_cast<T*>(gfx_scratch(slot, count * sizeof(T)));
}

// Chooses (shift, step) for a destination span d and a source span s.
// False when the spans cannot be mapped onto each other in 32-bit positions.
bool gfx_blit_step(int64_t d, int64_t s, int* shift, uint32_t* step);

// BLIT_FAILED (nothing held), BLIT_NOTHING (success, nothing to draw, nothing
// held) or BLIT_READY (both surfaces locked; end with gfx_blit_frame_end).
int gfx_blit_frame_begin(BlitFrame* f, Surface* dst, int x1, int y1, int x2, int y2, Surface* src, int sx1, int sy1,
                         int sx2, int sy2, uint32_t flags);
void gfx_blit_frame_end(Surface* dst, Surface* src);

// Source row for destination row y, or -1 when it lies outside the source.
static inline int gfx_blit_source_row(const BlitFrame& f, int y) {
    int64_t sy = f.sy1 + (((static_cast<int64_t>(y) - f.y1) * f.vstep) >> f.vshift);
    return (sy < 0 || sy >= f.src_height) ? -1 : static_cast<int>(sy);
}
