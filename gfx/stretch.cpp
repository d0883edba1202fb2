// Smoothing stretch: bilinear enlargement, four-point and area-averaged
// reduction, in a copy and a blend form; and the whole-surface resize and
// copy built on them.
#include <emmintrin.h>
#include <string.h>

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

const int CHUNK = 512;

// Mean of a footprint from its channel sums, with the reciprocal below 256
// pixels, which can come out one below the exact mean.
uint32_t area_mean(uint64_t b, uint64_t g, uint64_t r, uint64_t t, uint64_t n) {
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

// The same in 32 bits, for sums of at most 16843009 pixels: a sum times the
// reciprocal stays below 2^32 (at most 255 x 65536).
uint32_t area_mean32(const uint32_t* sum, uint32_t n) {
    if (n == 0) return 0;
    uint32_t r = 0;
    if (n >= 256) {
        for (int k = 0; k < 4; k++) r |= (sum[k] / n) << (8 * k);
    } else {
        const uint32_t m = 65536 / n;
        for (int k = 0; k < 4; k++) r |= ((sum[k] * m) >> 16) << (8 * k);
    }
    return r;
}

// The same from the pixels, for footprints too large for 32-bit sums.
uint32_t area_mean_of(const uint32_t* src, ptrdiff_t stride, int64_t c1, int64_t c2, int64_t r1, int64_t r2) {
    uint64_t b = 0, g = 0, r = 0, t = 0;
    for (int64_t y = r1; y <= r2; y++) {
        const uint32_t* row = src + y * stride;
        for (int64_t x = c1; x <= c2; x++) {
            uint32_t p = row[x];
            b += p & 255;
            g += (p >> 8) & 255;
            r += (p >> 16) & 255;
            t += p >> 24;
        }
    }
    int64_t w = c2 - c1 + 1, h = r2 - r1 + 1;
    return area_mean(b, g, r, t, w > 0 && h > 0 ? static_cast<uint64_t>(w * h) : 0);
}

// A destination column's footprint (first to last) and its middle column.
struct FootColumn {
    int32_t first, mid, last;
};

// Hands a row of samples to the operation: made straight in the destination
// when the operation is a plain copy, else in pieces through its routine.
template <class Make>
void emit_row(const BlendOp& op, uint32_t* d, int n, int x, int y, Make make) {
    if (op.plain_copy) {
        make(d, 0, n);
        return;
    }
    uint32_t samples[CHUNK];
    for (int c = 0; c < n; c += CHUNK) {
        const int m = n - c < CHUNK ? n - c : CHUNK;
        make(samples, c, m);
        op.span(d + c, samples, m, x + c, y);
    }
}

// Top and bottom row interleaved by column for the bilinear routine; the
// column after the source's last repeats the last, as the formula asks.
void make_pairs(uint32_t* pairs, const uint32_t* top, const uint32_t* bottom, int32_t c0, int32_t c1,
                int32_t last_col) {
    int32_t c = c0;
    uint32_t* p = pairs;
    for (; c + 4 <= c1 + 1 && c + 3 <= last_col; c += 4, p += 8) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top + c));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom + c));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_unpacklo_epi32(a, b));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 4), _mm_unpackhi_epi32(a, b));
    }
    for (; c <= c1 + 1; c++, p += 2) {
        const int32_t k = c < last_col ? c : last_col;
        p[0] = top[k];
        p[1] = bottom[k];
    }
}

// Channel sums of two rows, four 16-bit lanes per column.
void add_rows(uint16_t* sums, const uint32_t* a, const uint32_t* b, int n) {
    const __m128i z = _mm_setzero_si128();
    int c = 0;
    for (; c + 4 <= n; c += 4) {
        __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + c));
        __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + c));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + 4 * c),
                         _mm_add_epi16(_mm_unpacklo_epi8(p, z), _mm_unpacklo_epi8(q, z)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + 4 * c + 8),
                         _mm_add_epi16(_mm_unpackhi_epi8(p, z), _mm_unpackhi_epi8(q, z)));
    }
    for (; c < n; c++)
        for (int k = 0; k < 4; k++)
            sums[4 * c + k] = static_cast<uint16_t>(((a[c] >> (8 * k)) & 255) + ((b[c] >> (8 * k)) & 255));
}

// Four-point samples from the column sums: (sums[ca] + sums[cb]) / 4 per
// channel, the same floored mean as px_average4.
void average_sums(uint32_t* out, const uint16_t* sums, const int32_t* ca, const int32_t* cb, int n) {
    auto two = [&](const int32_t* k) {
        return _mm_castpd_si128(_mm_loadh_pd(_mm_castsi128_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(sums + 4 * k[0]))),
                                             reinterpret_cast<const double*>(sums + 4 * k[1])));
    };
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        __m128i lo = _mm_srli_epi16(_mm_add_epi16(two(ca + i), two(cb + i)), 2);
        __m128i hi = _mm_srli_epi16(_mm_add_epi16(two(ca + i + 2), two(cb + i + 2)), 2);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
    }
    for (; i < n; i++) {
        uint32_t r = 0;
        for (int k = 0; k < 4; k++)
            r |= static_cast<uint32_t>((sums[4 * ca[i] + k] + sums[4 * cb[i] + k]) >> 2) << (8 * k);
        out[i] = r;
    }
}

// Each row routine returns false, nothing drawn, when its working storage
// cannot be had.
bool bilinear_rows(const BlitFrame& f, const BlendOp& op) {
    const int n = f.right - f.left + 1;
    const int64_t last_row = f.src_height - 1;
    const int32_t last_col = f.src_width - 1;
    const ptrdiff_t ss = f.src_stride;
    // Each destination column's left source column and right weight, the
    // same for every row: found once.
    int32_t* column = gfx_scratch_of<int32_t>(0, static_cast<size_t>(n));
    uint16_t* fx = gfx_scratch_of<uint16_t>(1, static_cast<size_t>(n) * 4);
    if (!column || !fx) return false;
    for (int i = 0; i < n; i++) {
        int64_t u = (static_cast<int64_t>(f.left + i) - f.x1) * f.hstep;
        column[static_cast<size_t>(i)] = static_cast<int32_t>(f.sx1 + (u >> f.hshift));
        const uint16_t w = static_cast<uint16_t>((u >> (f.hshift - 8)) & 255);
        for (int k = 0; k < 4; k++) fx[static_cast<size_t>(i) * 4 + k] = w;
    }
    const int32_t c0 = column[0], c1 = column[static_cast<size_t>(n) - 1];
    for (int i = 0; i < n; i++) column[i] -= c0;
    uint32_t* pairs = gfx_scratch_of<uint32_t>(2, 2 * static_cast<size_t>(c1 - c0 + 2));
    if (!pairs) return false;
    const GfxBilinearFn bilinear = gfx_spans()->bilinear;
    // The pairs of a source row serve every destination row that maps to it,
    // unless the surfaces share their pixels and a written row could be read.
    const bool may_keep = f.dst != f.src;
    int64_t paired = -1;
    for (int y = f.row_first; y <= f.row_last; y++) {
        int64_t v = (static_cast<int64_t>(y) - f.y1) * f.vstep;
        int64_t sy = f.sy1 + (v >> f.vshift);
        if (sy < 0 || sy > last_row) continue;
        const uint32_t fy = static_cast<uint32_t>(v >> (f.vshift - 8)) & 255;
        if (sy != paired || !may_keep) {
            const uint32_t* r0 = f.src + sy * ss;
            make_pairs(pairs, r0, sy < last_row ? r0 + ss : r0, c0, c1, last_col);
            paired = sy;
        }
        uint32_t* d = f.dst + static_cast<ptrdiff_t>(y) * f.dst_stride + f.left;
        emit_row(op, d, n, f.left, y, [&](uint32_t* out, int c, int m) {
            bilinear(out, pairs, column + c, fx + 4 * c, m, fy);
        });
    }
    return true;
}

// Adds a row's channels into 16-bit sums, four lanes per column.
void add_row16(uint16_t* sums, const uint32_t* row, int n) {
    const __m128i z = _mm_setzero_si128();
    int c = 0;
    for (; c + 4 <= n; c += 4) {
        __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + c));
        __m128i* a = reinterpret_cast<__m128i*>(sums + 4 * c);
        _mm_storeu_si128(a, _mm_add_epi16(_mm_loadu_si128(a), _mm_unpacklo_epi8(p, z)));
        _mm_storeu_si128(a + 1, _mm_add_epi16(_mm_loadu_si128(a + 1), _mm_unpackhi_epi8(p, z)));
    }
    for (; c < n; c++)
        for (int k = 0; k < 4; k++) sums[4 * c + k] = static_cast<uint16_t>(sums[4 * c + k] + ((row[c] >> (8 * k)) & 255));
}

// Adds 16-bit column sums into 32-bit ones.
void widen_into(uint32_t* sums, const uint16_t* part, int n) {
    const __m128i z = _mm_setzero_si128();
    int c = 0;
    for (; c + 2 <= n; c += 2) {
        __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(part + 4 * c));
        __m128i* a = reinterpret_cast<__m128i*>(sums + 4 * c);
        _mm_storeu_si128(a, _mm_add_epi32(_mm_loadu_si128(a), _mm_unpacklo_epi16(p, z)));
        _mm_storeu_si128(a + 1, _mm_add_epi32(_mm_loadu_si128(a + 1), _mm_unpackhi_epi16(p, z)));
    }
    for (; c < n; c++)
        for (int k = 0; k < 4; k++) sums[4 * c + k] += part[4 * c + k];
}

// Area-averaged reduction: each destination row's footprint rows are summed
// per source column once, then each destination pixel sums its columns.
bool area_rows(const BlitFrame& f, const BlendOp& op, const FootColumn* foot, const Axis& rows) {
    const int n = f.right - f.left + 1;
    const int64_t last_row = f.src_height - 1;
    const ptrdiff_t ss = f.src_stride;
    const int32_t c0 = foot[0].first, c1 = foot[n - 1].last;
    const int width = c1 - c0 + 1;
    const size_t columns = static_cast<size_t>(width > 0 ? width : 0);
    const size_t sums_size = columns * 4 + 8, block_size = columns * 4 + 16;
    uint32_t* sums = gfx_scratch_of<uint32_t>(4, sums_size);
    uint16_t* block = gfx_scratch_of<uint16_t>(5, block_size);
    if (!sums || !block) return false;
    int64_t summed_top = -1, summed_end = -2;
    for (int y = f.row_first; y <= f.row_last; y++) {
        const int64_t ky = static_cast<int64_t>(y) - f.y1;
        const int64_t ey = rows.end(ky);
        if (ey < 0 || ey > last_row) continue;
        int64_t py = ky == 0 ? f.sy1 - 1 : rows.end(ky - 1);
        if (py < -1) py = -1;
        const int64_t top = clamp_index(py + 1, last_row);
        const int64_t height = ey - top + 1 > 0 ? ey - top + 1 : 0;
        uint32_t* d = f.dst + static_cast<ptrdiff_t>(y) * f.dst_stride + f.left;
        // Column sums hold at most 65535 rows of 255; a footprint whose whole
        // sum could pass 32 bits is summed from the pixels.
        const bool large = static_cast<uint64_t>(height) * columns > 16843009u;
        if (!large && width > 0 && (top != summed_top || ey != summed_end || f.dst == f.src)) {
            memset(sums, 0, sums_size * 4);
            // Rows are added in 16-bit lanes, four pixels at a time, in blocks
            // of at most 257 rows (257 x 255 fits), then widened into the sums.
            for (int64_t r0 = top; r0 <= ey; r0 += 257) {
                const int64_t r1 = ey < r0 + 256 ? ey : r0 + 256;
                memset(block, 0, block_size * 2);
                for (int64_t r = r0; r <= r1; r++)
                    add_row16(block, f.src + r * ss + c0, width);
                widen_into(sums, block, width);
            }
            summed_top = top;
            summed_end = ey;
        }
        emit_row(op, d, n, f.left, y, [&](uint32_t* out, int c, int m) {
            for (int i = 0; i < m; i++) {
                const FootColumn& k = foot[static_cast<size_t>(c + i)];
                if (large) {
                    out[i] = area_mean_of(f.src, ss, k.first, k.last, top, ey);
                    continue;
                }
                __m128i total = _mm_setzero_si128();
                for (int32_t x = k.first; x <= k.last; x++)
                    total = _mm_add_epi32(total,
                                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(&sums[4 * static_cast<size_t>(x - c0)])));
                uint32_t ch[4];
                _mm_storeu_si128(reinterpret_cast<__m128i*>(ch), total);
                const int64_t w = k.last - k.first + 1;
                out[i] = area_mean32(ch, w > 0 ? static_cast<uint32_t>(w * height) : 0);
            }
        });
    }
    return true;
}

bool stretch_rows(const BlitFrame& f, Path path, bool blend, const BlendOp& op) {
    if (path == PATH_BILINEAR) return bilinear_rows(f, op);
    const int64_t last_col = f.src_width - 1, last_row = f.src_height - 1;
    const ptrdiff_t ss = f.src_stride;
    const Axis cols = {f.sx1, f.hstep, f.hshift, blend};
    const Axis rows = {f.sy1, f.vstep, f.vshift, blend};
    // Column footprints are the same in every row: found once, clamped.
    const int n = f.right - f.left + 1;
    FootColumn* foot = gfx_scratch_of<FootColumn>(0, static_cast<size_t>(n));
    int32_t* mids = gfx_scratch_of<int32_t>(1, static_cast<size_t>(n));
    int32_t* lasts = gfx_scratch_of<int32_t>(2, static_cast<size_t>(n));
    if (!foot || !mids || !lasts) return false;
    for (int x = f.left; x <= f.right; x++) {
        const int64_t kx = static_cast<int64_t>(x) - f.x1;
        const int64_t ex = clamp_index(cols.end(kx), last_col), px = cols.previous_end(kx);
        FootColumn& c = foot[static_cast<size_t>(x - f.left)];
        c.first = static_cast<int32_t>(clamp_index(px + 1, last_col));
        c.mid = static_cast<int32_t>(clamp_index((px + ex + 1) >> 1, last_col));
        c.last = static_cast<int32_t>(ex);
        mids[static_cast<size_t>(x - f.left)] = c.mid;
        lasts[static_cast<size_t>(x - f.left)] = c.last;
    }
    if (path == PATH_AREA) return area_rows(f, op, foot, rows);
    const GfxAverageFn average4 = gfx_spans()->average4;
    // When the footprints are narrow, the middle and end rows are first added
    // column by column over the columns in use, and each sample then adds two
    // of those sums; wide footprints read their four pixels directly.
    const int32_t c0 = mids[0] < lasts[0] ? mids[0] : lasts[0];
    const int32_t c1 = lasts[n - 1] > mids[n - 1] ? lasts[n - 1] : mids[n - 1];
    bool halving = true;  // exactly 2:1 across: columns 2i and 2i + 1
    for (int i = 0; i < n && halving; i++)
        halving = mids[static_cast<size_t>(i)] == mids[0] + 2 * i && lasts[static_cast<size_t>(i)] == mids[static_cast<size_t>(i)] + 1;
    const GfxHalveFn halve4 = gfx_spans()->halve4;
    const bool by_sums = !halving && static_cast<int64_t>(c1) - c0 + 1 <= 2 * static_cast<int64_t>(n);
    uint16_t* sums = gfx_scratch_of<uint16_t>(3, by_sums ? 4 * static_cast<size_t>(c1 - c0 + 1) + 8 : 0);
    if (!sums) return false;
    if (by_sums)
        for (int i = 0; i < n; i++) {
            mids[static_cast<size_t>(i)] -= c0;
            lasts[static_cast<size_t>(i)] -= c0;
        }
    for (int y = f.row_first; y <= f.row_last; y++) {
        const int64_t ky = static_cast<int64_t>(y) - f.y1;
        uint32_t* d = f.dst + static_cast<ptrdiff_t>(y) * f.dst_stride + f.left;
        // The row is tested on its footprint's end; every read below is
        // clamped to the source, which changes no footprint that lies inside.
        const int64_t ey = rows.end(ky);
        if (ey < 0 || ey > last_row) continue;
        int64_t py = ky == 0 ? f.sy1 - 1 : rows.end(ky - 1);
        if (py < -1) py = -1;
        const int64_t my = clamp_index((py + ey + 1) >> 1, last_row);
        const uint32_t* mid_row = f.src + my * ss;
        const uint32_t* end_row = f.src + ey * ss;
        if (halving) {
            emit_row(op, d, n, f.left, y, [&](uint32_t* out, int c, int m) {
                halve4(out, mid_row + mids[0] + 2 * c, end_row + mids[0] + 2 * c, m);
            });
            continue;
        }
        if (!by_sums) {
            emit_row(op, d, n, f.left, y, [&](uint32_t* out, int c, int m) {
                average4(out, mid_row, end_row, mids + c, lasts + c, m);
            });
            continue;
        }
        add_rows(sums, mid_row + c0, end_row + c0, c1 - c0 + 1);
        emit_row(op, d, n, f.left, y, [&](uint32_t* out, int c, int m) {
            average_sums(out, sums, mids + c, lasts + c, m);
        });
    }
    return true;
}

int run_stretch(Surface* dst, int x1, int y1, int x2, int y2, Surface* src, int sx1, int sy1, int sx2, int sy2,
                uint32_t flags, bool blend, const BlendOp& op) {
    BlitFrame f;
    int begun = gfx_blit_frame_begin(&f, dst, x1, y1, x2, y2, src, sx1, sy1, sx2, sy2, flags);
    if (begun != BLIT_READY) return begun == BLIT_NOTHING ? 1 : 0;
    Path path;
    if (f.sw < f.dw || f.sh < f.dh) path = PATH_BILINEAR;
    else if ((flags & GFX_SMOOTH_AREA) && (f.sw > 2 * f.dw || f.sh > 2 * f.dh)) path = PATH_AREA;
    else path = PATH_FOUR_POINT;
    const bool drawn = stretch_rows(f, path, blend, op);
    gfx_blit_frame_end(dst, src);
    return drawn ? 1 : 0;
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
    return run_stretch(dst, x1, y1, x2, y2, src, sx1, sy1, sx2, sy2, flags, false, gfx_copy_op(flags));
}

int gfx_stretch_blend(Surface* dst, int x1, int y1, int x2, int y2, Surface* src, int sx1, int sy1, int sx2,
                      int sy2, uint32_t flags) {
    if (sx2 < sx1 || sy2 < sy1 || x2 < x1 || y2 < y1) return 0;
    if (same_size(x1, y1, x2, y2, sx1, sy1, sx2, sy2))
        return gfx_blit_blend(dst, x1, y1, x2, y2, src, sx1, sy1, sx2, sy2, flags);
    return run_stretch(dst, x1, y1, x2, y2, src, sx1, sy1, sx2, sy2, flags, true,
                       gfx_blend_op(flags, SPAN_STRETCH_BEHIND));
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
    const int resampled =
        mode == GFX_RESIZE_NEAREST
            ? gfx_blit_copy(&temp, 0, 0, tw - 1, th - 1, s, 0, 0, w - 1, h - 1, 0)
            : gfx_stretch_copy(&temp, 0, 0, tw - 1, th - 1, s, 0, 0, w - 1, h - 1,
                               mode == GFX_RESIZE_AREA ? GFX_SMOOTH_AREA : 0);
    if (!resampled) {  // s keeps its picture rather than take an empty one
        gfx_surface_discard(&temp);
        return 0;
    }
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
        return gfx_blit_copy(dst, 0, 0, src->width - 1, src->height - 1, src, 0, 0, src->width - 1, src->height - 1,
                             0);
    return 1;
}
