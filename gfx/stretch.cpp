// Smoothing stretch: bilinear enlargement, four-point and area-averaged
// reduction, in a copy and a blend form; and the whole-surface resize and
// copy built on them.
#include <string.h>

#include <vector>

#include "blend_ops.h"
#include "blit_frame.h"

namespace {

enum Path { PATH_BILINEAR, PATH_FOUR_POINT, PATH_AREA };

// Footprints: destination offset k stands for source indices (p, e]. The
// copy's footprint starts at k's sample point, the blend's ends there.
struct Axis {
    int64_t s1;
    uint32_t step;
    int shift;
    bool ends_at_sample;  // the blend's placement
    int64_t end(int64_t k) const {
        return ends_at_sample ? s1 + ((k * step) >> shift) : s1 + (((k + 1) * step) >> shift) - 1;
    }
    int64_t previous_end(int64_t k) const {
        int64_t p = end(k - 1);
        return p < -1 ? -1 : p;
    }
};

inline int64_t clamp_index(int64_t v, int64_t last) { return v < 0 ? 0 : v > last ? last : v; }

// Mean of a footprint with the reciprocal below 256 pixels, which can come
// out one below the exact mean.
uint32_t area_mean(const uint32_t* src, ptrdiff_t stride, int64_t c1, int64_t c2, int64_t r1, int64_t r2) {
    uint64_t b = 0, g = 0, r = 0, t = 0, n = 0;
    for (int64_t y = r1; y <= r2; y++) {
        const uint32_t* row = src + y * stride;
        for (int64_t x = c1; x <= c2; x++) {
            uint32_t p = row[x];
            b += p & 255;
            g += (p >> 8) & 255;
            r += (p >> 16) & 255;
            t += p >> 24;
        }
        n += static_cast<uint64_t>(c2 - c1 + 1);
    }
    if (n == 0) return 0;
    if (n >= 256) {
        b /= n;
        g /= n;
        r /= n;
        t /= n;
    } else {
        uint64_t k = 65536 / n;
        b = (b * k) >> 16;
        g = (g * k) >> 16;
        r = (r * k) >> 16;
        t = (t * k) >> 16;
    }
    return static_cast<uint32_t>(t << 24 | r << 16 | g << 8 | b);
}

// A destination column's footprint (first to last) and its middle column.
struct FootColumn {
    int32_t first, mid, last;
};

// A destination column's two source columns and the weight of the right one;
// the same for every row, so found once per call.
struct BilinearColumn {
    int32_t left, right;
    uint32_t fx;
};

#if defined(__SSE2__)
// px_bilinear on the pixel pairs top[0..1] and bottom[0..1], a channel in
// each 16-bit lane: every partial sum stays below 65536, so nothing wraps
// and the result is the same to the bit.
static inline uint32_t bilinear_pairs(const uint32_t* top, const uint32_t* bottom, uint32_t fx, uint32_t fy) {
    const __m128i zero = _mm_setzero_si128();
    const uint32_t w11 = (fx * fy) >> 8, w10 = fx - w11, w01 = fy - w11, w00 = 256 - fx - fy + w11;
    __m128i wa = _mm_cvtsi32_si128(static_cast<int>(w00 | w10 << 16));
    __m128i wb = _mm_cvtsi32_si128(static_cast<int>(w01 | w11 << 16));
    wa = _mm_unpacklo_epi32(_mm_unpacklo_epi16(wa, wa), _mm_unpacklo_epi16(wa, wa));
    wb = _mm_unpacklo_epi32(_mm_unpacklo_epi16(wb, wb), _mm_unpacklo_epi16(wb, wb));
    __m128i a = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(top)), zero);
    __m128i b = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bottom)), zero);
    __m128i sum = _mm_add_epi16(_mm_mullo_epi16(a, wa), _mm_mullo_epi16(b, wb));
    sum = _mm_srli_epi16(_mm_add_epi16(sum, _mm_srli_si128(sum, 8)), 8);
    return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(sum, sum)));
}
#endif

template <class Op>
void bilinear_rows(const BlitFrame& f, const Op& op) {
    const int64_t last_col = f.src_width - 1, last_row = f.src_height - 1;
    const ptrdiff_t ss = f.src_stride;
    std::vector<BilinearColumn> cols(static_cast<size_t>(f.right - f.left + 1));
    for (int x = f.left; x <= f.right; x++) {
        int64_t u = (static_cast<int64_t>(x) - f.x1) * f.hstep;
        int64_t sx = f.sx1 + (u >> f.hshift);
        BilinearColumn& c = cols[static_cast<size_t>(x - f.left)];
        c.left = static_cast<int32_t>(sx);
        c.right = static_cast<int32_t>(sx < last_col ? sx + 1 : sx);
        c.fx = static_cast<uint32_t>(u >> (f.hshift - 8)) & 255;
    }
    for (int y = f.row_first; y <= f.row_last; y++) {
        int64_t v = (static_cast<int64_t>(y) - f.y1) * f.vstep;
        int64_t sy = f.sy1 + (v >> f.vshift);
        if (sy < 0 || sy > last_row) continue;
        const uint32_t fy = static_cast<uint32_t>(v >> (f.vshift - 8)) & 255;
        const uint32_t* r0 = f.src + sy * ss;
        const uint32_t* r1 = sy < last_row ? r0 + ss : r0;
        uint32_t* d = f.dst + static_cast<ptrdiff_t>(y) * f.dst_stride;
        const BilinearColumn* c = cols.data() - f.left;
        for (int x = f.left; x <= f.right; x++) {
            const BilinearColumn& k = c[x];
            uint32_t sample;
#if defined(__SSE2__)
            // The pair load needs the right column beside the left one.
            if (k.right != k.left) sample = bilinear_pairs(r0 + k.left, r1 + k.left, k.fx, fy);
            else
#endif
                sample = px_bilinear(r0[k.left], r0[k.right], r1[k.left], r1[k.right], k.fx, fy);
            d[x] = op.pixel(d[x], sample, x, y);
        }
    }
}

template <class Op>
void stretch_rows(const BlitFrame& f, Path path, bool blend, const Op& op) {
    if (path == PATH_BILINEAR) {
        bilinear_rows(f, op);
        return;
    }
    const int64_t last_col = f.src_width - 1, last_row = f.src_height - 1;
    const ptrdiff_t ss = f.src_stride;
    const Axis cols = {f.sx1, f.hstep, f.hshift, blend};
    const Axis rows = {f.sy1, f.vstep, f.vshift, blend};
    // Column footprints are the same in every row: found once, clamped.
    std::vector<FootColumn> foot(static_cast<size_t>(f.right - f.left + 1));
    for (int x = f.left; x <= f.right; x++) {
        const int64_t kx = static_cast<int64_t>(x) - f.x1;
        const int64_t ex = clamp_index(cols.end(kx), last_col), px = cols.previous_end(kx);
        FootColumn& c = foot[static_cast<size_t>(x - f.left)];
        c.first = static_cast<int32_t>(clamp_index(px + 1, last_col));
        c.mid = static_cast<int32_t>(clamp_index((px + ex + 1) >> 1, last_col));
        c.last = static_cast<int32_t>(ex);
    }
    for (int y = f.row_first; y <= f.row_last; y++) {
        const int64_t ky = static_cast<int64_t>(y) - f.y1;
        uint32_t* d = f.dst + static_cast<ptrdiff_t>(y) * f.dst_stride;
        // The row is tested on its footprint's end; every read below is
        // clamped to the source, which changes no footprint that lies inside.
        const int64_t ey = rows.end(ky);
        if (ey < 0 || ey > last_row) continue;
        int64_t py = ky == 0 ? f.sy1 - 1 : rows.end(ky - 1);
        if (py < -1) py = -1;
        const int64_t top = clamp_index(py + 1, last_row);
        const int64_t my = clamp_index((py + ey + 1) >> 1, last_row);
        const FootColumn* c = foot.data() - f.left;
        if (path == PATH_AREA) {
            for (int x = f.left; x <= f.right; x++)
                d[x] = op.pixel(d[x], area_mean(f.src, ss, c[x].first, c[x].last, top, ey), x, y);
            continue;
        }
        const uint32_t* mid_row = f.src + my * ss;
        const uint32_t* end_row = f.src + ey * ss;
        for (int x = f.left; x <= f.right; x++) {
            const int32_t mx = c[x].mid, ex = c[x].last;
            d[x] = op.pixel(d[x], px_average4(mid_row[mx], mid_row[ex], end_row[mx], end_row[ex]), x, y);
        }
    }
}

template <class Op>
int run_stretch(Surface* dst, int x1, int y1, int x2, int y2, Surface* src, int sx1, int sy1, int sx2, int sy2,
                uint32_t flags, bool blend, const Op& op) {
    BlitFrame f;
    int begun = gfx_blit_frame_begin(&f, dst, x1, y1, x2, y2, src, sx1, sy1, sx2, sy2, flags);
    if (begun != BLIT_READY) return begun == BLIT_NOTHING ? 1 : 0;
    Path path;
    if (f.sw < f.dw || f.sh < f.dh) path = PATH_BILINEAR;
    else if ((flags & GFX_SMOOTH_AREA) && (f.sw > 2 * f.dw || f.sh > 2 * f.dh)) path = PATH_AREA;
    else path = PATH_FOUR_POINT;
    stretch_rows(f, path, blend, op);
    gfx_blit_frame_end(dst, src);
    return 1;
}

bool same_size(int x1, int y1, int x2, int y2, int sx1, int sy1, int sx2, int sy2) {
    return static_cast<int64_t>(sx2) - sx1 == static_cast<int64_t>(x2) - x1 &&
           static_cast<int64_t>(sy2) - sy1 == static_cast<int64_t>(y2) - y1;
}

}  // namespace

int gfx_stretch_copy(Surface* dst, int x1, int y1, int x2, int y2, Surface* src, int sx1, int sy1, int sx2, int sy2,
                     uint32_t flags) {
    if (sx2 < sx1 || sy2 < sy1 || x2 < x1 || y2 < y1) return 0;
    if (same_size(x1, y1, x2, y2, sx1, sy1, sx2, sy2))
        return gfx_blit_copy(dst, x1, y1, x2, y2, src, sx1, sy1, sx2, sy2, flags);
    CopyOp op((flags & GFX_OPAQUE) ? 0x00FFFFFFu : 0xFFFFFFFFu);
    return run_stretch(dst, x1, y1, x2, y2, src, sx1, sy1, sx2, sy2, flags, false, op);
}

int gfx_stretch_blend(Surface* dst, int x1, int y1, int x2, int y2, Surface* src, int sx1, int sy1, int sx2,
                      int sy2, uint32_t flags) {
    if (sx2 < sx1 || sy2 < sy1 || x2 < x1 || y2 < y1) return 0;
    if (same_size(x1, y1, x2, y2, sx1, sy1, sx2, sy2))
        return gfx_blit_blend(dst, x1, y1, x2, y2, src, sx1, sy1, sx2, sy2, flags);
    return gfx_with_blend_op<StretchBehindOp>(flags, [&](const auto& op) {
        return run_stretch(dst, x1, y1, x2, y2, src, sx1, sy1, sx2, sy2, flags, true, op);
    });
}

int gfx_surface_resize(Surface* s, int width, int height, int mode) {
    if (!s || width < 1 || height < 1) return 0;
    if (!gfx_surface_refresh(s, 0) || mode == GFX_RESIZE_DISCARD) {
        gfx_surface_discard(s);
        return gfx_surface_create(s, width, height, 0);
    }
    Surface temp = {};
    int made = gfx_surface_create(&temp, width, height, 0);
    if (!made) return 0;
    const int result = made == 3 ? 99 : 1;
    gfx_surface_refresh(s, 0);
    gfx_surface_refresh(&temp, 0);
    const int w = s->width, h = s->height, tw = temp.width, th = temp.height;
    if (mode == GFX_RESIZE_NEAREST) gfx_blit_copy(&temp, 0, 0, tw - 1, th - 1, s, 0, 0, w - 1, h - 1, 0);
    else
        gfx_stretch_copy(&temp, 0, 0, tw - 1, th - 1, s, 0, 0, w - 1, h - 1,
                         mode == GFX_RESIZE_AREA ? GFX_SMOOTH_AREA : 0);
    gfx_surface_discard(s);
    *s = temp;
    return result;
}

int gfx_surface_copy(Surface* dst, Surface* src) {
    if (!dst || !src || !gfx_surface_refresh(src, 0)) return 0;
    gfx_surface_discard(dst);
    if (!gfx_surface_create(dst, src->width, src->height, 0)) return 0;
    bool copied = false;
    uint32_t* d = gfx_surface_lock(dst, 0);
    uint32_t* s = d ? gfx_surface_lock(src, 0) : nullptr;
    if (d && s) {
        if (dst->stride == dst->width && src->stride == src->width && dst->width == src->width &&
            dst->height == src->height) {
            memcpy(d, s, static_cast<size_t>(src->width) * src->height * 4);
            copied = true;
        }
        gfx_surface_unlock(src, 0);
    }
    if (d) gfx_surface_unlock(dst, 0);
    if (!copied)
        gfx_blit_copy(dst, 0, 0, src->width - 1, src->height - 1, src, 0, 0, src->width - 1, src->height - 1, 0);
    return 1;
}
