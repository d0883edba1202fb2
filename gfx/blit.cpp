// The blit family: nearest-neighbour copy and blend through one stepping core.
#include <stdlib.h>
#include <string.h>

#include "blend_ops.h"
#include "blit_frame.h"
#include "pixel_ops.h"

void* (*gfx_scratch_realloc_hook)(void* block, size_t bytes);

void* gfx_scratch(int slot, size_t bytes) {
    struct Store {
        void* block[GFX_SCRATCH_SLOTS];
        size_t size[GFX_SCRATCH_SLOTS];
    };
    static thread_local Store store;
    if (bytes == 0) bytes = 1;
    void* (*const grow)(void*, size_t) = gfx_scratch_realloc_hook;
    if (store.size[slot] < bytes || grow) {
        void* grown = grow ? grow(store.block[slot], bytes) : realloc(store.block[slot], bytes);
        if (!grown) return nullptr;
        store.block[slot] = grown;
        store.size[slot] = bytes;
    }
    memset(store.block[slot], 0, bytes);
    return store.block[slot];
}

uint32_t gfx_pixel_lerp(uint32_t a, uint32_t b, uint32_t w) { return px_lerp(a, b, w); }
uint32_t gfx_pixel_average4(uint32_t a, uint32_t b, uint32_t c, uint32_t d) { return px_average4(a, b, c, d); }
uint32_t gfx_pixel_bilinear(uint32_t p00, uint32_t p10, uint32_t p01, uint32_t p11, uint32_t fx, uint32_t fy) {
    return px_bilinear(p00, p10, p01, p11, fx, fy);
}

bool gfx_blit_step(int64_t d, int64_t s, int* shift, uint32_t* step) {
    // Spans this long would keep the initial (10, 10), which maps nothing
    // onto anything; no caller comes near them, so they are refused.
    if (d < 1 || s < 1 || d * 10 >= 0x20000000) return false;
    int64_t st = 10;
    int sh = 10;
    do {
        sh++;
        st = (s << sh) / d;
    } while (sh < 24 && d * st < 0x20000000);
    // A zero step would stall the position; one past 31 bits would wrap it.
    if (st < 1 || st > 0x7FFFFFFF) return false;
    *shift = sh;
    *step = static_cast<uint32_t>(st);
    return true;
}

int gfx_blit_frame_begin(BlitFrame* f, Surface* dst, int x1, int y1, int x2, int y2, Surface* src, int sx1, int sy1,
                         int sx2, int sy2, uint32_t flags) {
    GfxThreadState* ts = gfx_thread_state();
    ts->last_status = 3;
    if (!dst || !src || sx2 < sx1 || sy2 < sy1 || x2 < x1 || y2 < y1) return BLIT_FAILED;
    if (!gfx_surface_refresh(dst, 0) || !gfx_surface_refresh(src, 0)) return BLIT_FAILED;
    if ((sx1 < 0 && sx2 < 0) || (sx1 > src->width - 1 && sx2 > src->width - 1)) return BLIT_FAILED;

    f->dw = static_cast<int64_t>(x2) - x1 + 1;
    f->dh = static_cast<int64_t>(y2) - y1 + 1;
    f->sw = static_cast<int64_t>(sx2) - sx1 + 1;
    f->sh = static_cast<int64_t>(sy2) - sy1 + 1;
    if (!gfx_blit_step(f->dw, f->sw, &f->hshift, &f->hstep) || !gfx_blit_step(f->dh, f->sh, &f->vshift, &f->vstep))
        return BLIT_FAILED;

    ts->last_status = 2;
    uint32_t* dp = gfx_surface_lock(dst, 0);
    if (!dp) return BLIT_FAILED;
    const uint32_t* sp = gfx_surface_lock(src, 0);
    if (!sp) {
        gfx_surface_unlock(dst, 0);
        return BLIT_FAILED;
    }
    ts->last_status = 1;
    f->dst = dp;
    f->dst_stride = dst->stride;
    f->src = sp;
    f->src_stride = src->stride;
    f->src_width = src->width;
    f->src_height = src->height;
    f->x1 = x1;
    f->y1 = y1;
    f->sx1 = sx1;
    f->sy1 = sy1;
    f->equal_width = f->dw == f->sw;

    // Horizontal bounds against both surfaces, once per call.
    const int64_t one = 1;
    int64_t xa = x1 + ((-static_cast<int64_t>(sx1)) * (one << f->hshift)) / f->hstep;
    int64_t xb = x1 + (((src->width - static_cast<int64_t>(sx1)) * (one << f->hshift)) - 1) / f->hstep;
    int64_t left = x1, right = x2;
    if (left < 0) left = 0;
    if (left < xa) left = xa;
    if (right > dst->width - 1) right = dst->width - 1;
    if (right > xb) right = xb;
    if (left <= right) {
        while (sx1 + (((left - x1) * static_cast<int64_t>(f->hstep)) >> f->hshift) < 0) left++;
        if (flags & GFX_CLIP) {
            if (left < ts->clip_x1) left = ts->clip_x1;
            if (right > ts->clip_x2) right = ts->clip_x2;
        }
    }
    // Rows are visited only where the destination has them; the source row
    // of each is still taken from its offset to y1, so the mapping holds.
    int64_t top = y1 < 0 ? 0 : y1, bottom = y2 > dst->height - 1 ? dst->height - 1 : y2;
    if (flags & GFX_CLIP) {
        if (top < ts->clip_y1) top = ts->clip_y1;
        if (bottom > ts->clip_y2) bottom = ts->clip_y2;
    }
    if (left > right || top > bottom) {
        gfx_blit_frame_end(dst, src);
        return BLIT_NOTHING;
    }
    f->left = static_cast<int>(left);
    f->right = static_cast<int>(right);
    f->row_first = static_cast<int>(top);
    f->row_last = static_cast<int>(bottom);
    return BLIT_READY;
}

void gfx_blit_frame_end(Surface* dst, Surface* src) {
    gfx_surface_unlock(src, 0);
    gfx_surface_unlock(dst, 0);
}

namespace {

// Samples that cannot go straight to the destination are made in pieces this
// long and handed to the operation's row routine.
const int CHUNK = 512;

// The one stepping core: rows by the vertical mapping, columns either as two
// running pointers (equal widths) or by the fixed-point position. False,
// nothing drawn, when its working storage cannot be had.
bool blit_rows(const BlitFrame& f, const BlendOp& op) {
    const int n = f.right - f.left + 1;
    const int64_t offset = static_cast<int64_t>(f.left) - f.x1;
    if (f.equal_width) {
        for (int y = f.row_first; y <= f.row_last; y++) {
            int sy = gfx_blit_source_row(f, y);
            if (sy < 0) continue;
            op.span(f.dst + static_cast<ptrdiff_t>(y) * f.dst_stride + f.left,
                    f.src + static_cast<ptrdiff_t>(sy) * f.src_stride + (f.sx1 + offset), n, f.left, y);
        }
        return true;
    }
    // Start of the span in the source: whole column plus fraction, so the
    // running position stays small whatever the rectangles' offsets. The
    // columns are the same in every row: found once.
    const int64_t start = offset * f.hstep;
    const int64_t first_col = f.sx1 + (start >> f.hshift);
    int32_t* column = gfx_scratch_of<int32_t>(0, static_cast<size_t>(n));
    if (!column) return false;
    uint32_t pos = static_cast<uint32_t>(start & ((static_cast<int64_t>(1) << f.hshift) - 1));
    for (int i = 0; i < n; i++, pos += f.hstep) column[static_cast<size_t>(i)] = static_cast<int32_t>(first_col + (pos >> f.hshift));
    const int32_t* cols = column;
    // Halving exactly: every other source column, picked without the table.
    bool halving = true;
    for (int i = 1; i < n && halving; i++) halving = cols[i] == cols[0] + 2 * i;
    const GfxPickFn pick_even = gfx_spans()->pick_even;
    // A copy repeats its last row when the source row repeats (enlarging),
    // unless the two surfaces share their pixels.
    const bool may_repeat = op.copies && f.dst != f.src;
    const uint32_t* last_source = nullptr;
    const uint32_t* last_row = nullptr;
    uint32_t samples[CHUNK];
    for (int y = f.row_first; y <= f.row_last; y++) {
        int sy = gfx_blit_source_row(f, y);
        if (sy < 0) continue;
        uint32_t* d = f.dst + static_cast<ptrdiff_t>(y) * f.dst_stride + f.left;
        const uint32_t* srow = f.src + static_cast<ptrdiff_t>(sy) * f.src_stride;
        if (may_repeat && srow == last_source) {
            memcpy(d, last_row, static_cast<size_t>(n) * 4);
            continue;
        }
        if (op.plain_copy) {
            if (halving) pick_even(d, srow + cols[0], n);
            else
                for (int i = 0; i < n; i++) d[i] = srow[cols[i]];
        } else {
            for (int c = 0; c < n; c += CHUNK) {
                const int m = n - c < CHUNK ? n - c : CHUNK;
                if (halving) pick_even(samples, srow + cols[c], m);
                else
                    for (int i = 0; i < m; i++) samples[i] = srow[cols[c + i]];
                op.span(d + c, samples, m, f.left + c, y);
            }
        }
        last_source = srow;
        last_row = d;
    }
    return true;
}

int run_blit(Surface* dst, int x1, int y1, int x2, int y2, Surface* src, int sx1, int sy1, int sx2, int sy2,
             uint32_t flags, const BlendOp& op) {
    BlitFrame f;
    int begun = gfx_blit_frame_begin(&f, dst, x1, y1, x2, y2, src, sx1, sy1, sx2, sy2, flags);
    if (begun != BLIT_READY) return begun == BLIT_NOTHING ? 1 : 0;
    const bool drawn = blit_rows(f, op);
    gfx_blit_frame_end(dst, src);
    return drawn ? 1 : 0;
}

}  // namespace

int gfx_blit_copy(Surface* dst, int x1, int y1, int x2, int y2, Surface* src, int sx1, int sy1, int sx2, int sy2,
                  uint32_t flags) {
    return run_blit(dst, x1, y1, x2, y2, src, sx1, sy1, sx2, sy2, flags, gfx_copy_op(flags));
}

int gfx_blit_blend(Surface* dst, int x1, int y1, int x2, int y2, Surface* src, int sx1, int sy1, int sx2, int sy2,
                   uint32_t flags) {
    return run_blit(dst, x1, y1, x2, y2, src, sx1, sy1, sx2, sy2, flags, gfx_blend_op(flags, SPAN_BEHIND));
}
