// Lines, frames, fills, gradients and rectangle operations, drawn straight
// into the pixels of a surface its caller has locked.
#include "gfx.h"
#include "pixel_ops.h"

namespace {

struct Bounds {
    int64_t x1, y1, x2, y2;
};

Bounds surface_bounds(const Surface* s, uint32_t flags) {
    Bounds b = {0, 0, s->width - 1, s->height - 1};
    if (flags & GFX_CLIP) {
        const GfxThreadState* ts = gfx_thread_state();
        if (b.x1 < ts->clip_x1) b.x1 = ts->clip_x1;
        if (b.y1 < ts->clip_y1) b.y1 = ts->clip_y1;
        if (b.x2 > ts->clip_x2) b.x2 = ts->clip_x2;
        if (b.y2 > ts->clip_y2) b.y2 = ts->clip_y2;
    }
    return b;
}

bool drawable(const Surface* s) {
    gfx_thread_state()->last_status = 1;
    return s && s->pixels && s->width > 0 && s->height > 0;
}

struct Solid {
    uint32_t colour;
    void operator()(uint32_t* p) const { *p = colour; }
};
struct Blended {
    uint32_t colour;
    void operator()(uint32_t* p) const { *p = px_over(*p, colour); }
};

int clamp_int(int64_t v) { return v > 0x7FFFFFFF ? 0x7FFFFFFF : v < -0x7FFFFFFF ? -0x7FFFFFFF : static_cast<int>(v); }

template <class Put>
int line(Surface* s, int x1, int y1, int x2, int y2, uint32_t flags, Put put) {
    if (!drawable(s)) return 0;
    const int w = s->width, h = s->height;
    if ((x1 < 0 && x2 < 0) || (x1 >= w && x2 >= w) || (y1 < 0 && y2 < 0) || (y1 >= h && y2 >= h)) return 0;
    const Bounds b = surface_bounds(s, flags);
    uint32_t* px = s->pixels;
    const ptrdiff_t stride = s->stride;
    if (x1 == x2 && y1 == y2) {
        if (x1 < b.x1 || x1 > b.x2 || y1 < b.y1 || y1 > b.y2) return 0;
        put(px + y1 * stride + x1);
        return 1;
    }
    if (y1 == y2) {
        if (y1 < b.y1 || y1 > b.y2) return 0;
        int64_t a = x1 < x2 ? x1 : x2, e = x1 < x2 ? x2 : x1;
        if (a < b.x1) a = b.x1;
        if (e > b.x2) e = b.x2;
        if (a > e) return 0;
        for (int64_t x = a; x <= e; x++) put(px + y1 * stride + x);
        return clamp_int(e - a + 1);
    }
    if (x1 == x2) {
        if (x1 < b.x1 || x1 > b.x2) return 0;
        int64_t a = y1 < y2 ? y1 : y2, e = y1 < y2 ? y2 : y1;
        if (a < b.y1) a = b.y1;
        if (e > b.y2) e = b.y2;
        if (a > e) return clamp_int(e - a + 1);
        for (int64_t y = a; y <= e; y++) put(px + y * stride + x1);
        return clamp_int(e - a + 1);
    }
    const int64_t ddx = static_cast<int64_t>(x2) - x1, ddy = static_cast<int64_t>(y2) - y1;
    const int64_t dx = ddx > 0 ? ddx + 1 : ddx - 1, dy = ddy > 0 ? ddy + 1 : ddy - 1;
    const int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    // The walk is the major axis; only its steps inside the bounds are taken,
    // which draws the same pixels as walking the whole line.
    const bool x_major = adx > ady;
    const int64_t steps = x_major ? adx - 1 : ady - 1;
    const int64_t start = x_major ? x1 : y1, dir = (x_major ? ddx : ddy) > 0 ? 1 : -1;
    const int64_t lo = x_major ? b.x1 : b.y1, hi = x_major ? b.x2 : b.y2;
    int64_t k0 = dir > 0 ? lo - start : start - hi, k1 = dir > 0 ? hi - start : start - lo;
    if (k0 < 0) k0 = 0;
    if (k1 > steps) k1 = steps;
    for (int64_t k = k0; k <= k1; k++) {
        int64_t x, y;
        if (x_major) {
            x = x1 + dir * k;
            y = y1 + (k * dy) / adx;
        } else {
            y = y1 + dir * k;
            x = x1 + (k * dx) / ady;
        }
        if (x >= b.x1 && x <= b.x2 && y >= b.y1 && y <= b.y2) put(px + y * stride + x);
    }
    return clamp_int(x_major ? adx : ady);
}

// The rectangle of the fills: corners ordered, GFX_EXCLUSIVE, clip, surface.
bool fill_rect(const Surface* s, int x1, int y1, int x2, int y2, uint32_t flags, Bounds* r) {
    int64_t l = x1 < x2 ? x1 : x2, rt = x1 < x2 ? x2 : x1, t = y1 < y2 ? y1 : y2, bm = y1 < y2 ? y2 : y1;
    if (flags & GFX_EXCLUSIVE) {
        rt--;
        bm--;
    }
    const Bounds b = surface_bounds(s, flags);
    r->x1 = l < b.x1 ? b.x1 : l;
    r->y1 = t < b.y1 ? b.y1 : t;
    r->x2 = rt > b.x2 ? b.x2 : rt;
    r->y2 = bm > b.y2 ? b.y2 : bm;
    return r->x1 <= r->x2 && r->y1 <= r->y2;
}

template <class Apply>
int fill_each(Surface* s, int x1, int y1, int x2, int y2, uint32_t flags, Apply apply) {
    Bounds r;
    if (!drawable(s) || !fill_rect(s, x1, y1, x2, y2, flags, &r)) return 0;
    for (int64_t y = r.y1; y <= r.y2; y++) {
        uint32_t* row = s->pixels + y * s->stride;
        for (int64_t x = r.x1; x <= r.x2; x++) apply(row + x, static_cast<int>(x), static_cast<int>(y));
    }
    return 1;
}

template <bool Blend>
int frame(Surface* s, int x1, int y1, int x2, int y2, int thickness, uint32_t colour, uint32_t flags) {
    auto side = [&](int ax, int ay, int bx, int by) {
        return Blend ? gfx_line_blend(s, ax, ay, bx, by, colour, flags) : gfx_line_copy(s, ax, ay, bx, by, colour, flags);
    };
    if (x1 == x2 || y1 == y2) return side(x1, y1, x2, y1);
    int left = x1 < x2 ? x1 : x2, right = x1 < x2 ? x2 : x1, top = y1 < y2 ? y1 : y2, bottom = y1 < y2 ? y2 : y1;
    int64_t m = static_cast<int64_t>(right) - left;
    if (static_cast<int64_t>(bottom) - top < m) m = static_cast<int64_t>(bottom) - top;
    int64_t half = (m + 1) / 2;
    if (half < 1) half = 1;
    if (thickness > half)
        return Blend ? gfx_fill_blend(s, x1, y1, x2, y2, colour, flags) : gfx_fill_copy(s, x1, y1, x2, y2, colour, flags);
    if (thickness < 1) return 1;
    // Long sides each count up to 2^31 - 1 pixels: the sum is kept wide and
    // capped, never left to overflow.
    int64_t sum = 0;
    for (int i = 0; i < thickness; i++) {
        sum += side(left + i + 1, top + i, right - i, top + i);
        sum += side(right - i, top + i + 1, right - i, bottom - i);
        sum += side(left + i, bottom - i, right - i - 1, bottom - i);
        sum += side(left + i, top + i, left + i, bottom - i - 1);
    }
    return static_cast<int>(sum > 0x7FFFFFFF ? 0x7FFFFFFF : sum) | 1;
}

template <class Write>
int gradient(Surface* s, int x1, int y1, int x2, int y2, uint32_t c11, uint32_t c21, uint32_t c12, uint32_t c22,
             uint32_t flags, Write write) {
    Bounds r;
    if (!drawable(s) || !fill_rect(s, x1, y1, x2, y2, flags, &r)) return 0;
    // Weights are measured from the corners as given, so reversed corners
    // keep their colours.
    const int64_t step = x1 == x2 ? 32768 : 65536 / (static_cast<int64_t>(x2) - x1);
    for (int64_t y = r.y1; y <= r.y2; y++) {
        uint32_t wy = y1 == y2 ? 128 : static_cast<uint32_t>(((y - y1) * 256) / (static_cast<int64_t>(y2) - y1));
        uint32_t lc = px_lerp(c12, c11, wy), rc = px_lerp(c22, c21, wy);
        uint32_t* row = s->pixels + y * s->stride;
        for (int64_t x = r.x1; x <= r.x2; x++) {
            uint32_t wx = static_cast<uint32_t>((x - x1) * step) >> 8;
            write(row + x, px_lerp(rc, lc, wx));
        }
    }
    return 1;
}

}  // namespace

int gfx_line_copy(Surface* s, int x1, int y1, int x2, int y2, uint32_t colour, uint32_t flags) {
    return line(s, x1, y1, x2, y2, flags, Solid{colour});
}

int gfx_line_blend(Surface* s, int x1, int y1, int x2, int y2, uint32_t colour, uint32_t flags) {
    if (!(colour >> 24)) return gfx_line_copy(s, x1, y1, x2, y2, colour, flags);
    return line(s, x1, y1, x2, y2, flags, Blended{colour});
}

int gfx_frame_copy(Surface* s, int x1, int y1, int x2, int y2, int thickness, uint32_t colour, uint32_t flags) {
    return frame<false>(s, x1, y1, x2, y2, thickness, colour, flags);
}

int gfx_frame_blend(Surface* s, int x1, int y1, int x2, int y2, int thickness, uint32_t colour, uint32_t flags) {
    if (x1 != x2 && y1 != y2 && !(colour >> 24)) return gfx_frame_copy(s, x1, y1, x2, y2, thickness, colour, flags);
    return frame<true>(s, x1, y1, x2, y2, thickness, colour, flags);
}

int gfx_fill_copy(Surface* s, int x1, int y1, int x2, int y2, uint32_t colour, uint32_t flags) {
    return fill_each(s, x1, y1, x2, y2, flags, [colour](uint32_t* p, int, int) { *p = colour; });
}

int gfx_fill_blend(Surface* s, int x1, int y1, int x2, int y2, uint32_t colour, uint32_t flags) {
    if (!(colour >> 24)) return gfx_fill_copy(s, x1, y1, x2, y2, colour, flags);
    return fill_each(s, x1, y1, x2, y2, flags, [colour](uint32_t* p, int, int) { *p = px_over(*p, colour); });
}

int gfx_gradient_copy(Surface* s, int x1, int y1, int x2, int y2, uint32_t c11, uint32_t c21, uint32_t c12,
                      uint32_t c22, uint32_t flags) {
    if (c11 == c21 && c11 == c12 && c11 == c22) return gfx_fill_copy(s, x1, y1, x2, y2, c11, flags);
    return gradient(s, x1, y1, x2, y2, c11, c21, c12, c22, flags, [](uint32_t* p, uint32_t g) { *p = g; });
}

int gfx_gradient_blend(Surface* s, int x1, int y1, int x2, int y2, uint32_t c11, uint32_t c21, uint32_t c12,
                       uint32_t c22, uint32_t flags) {
    if (!((c11 | c21 | c12 | c22) >> 24)) return gfx_gradient_copy(s, x1, y1, x2, y2, c11, c21, c12, c22, flags);
    return gradient(s, x1, y1, x2, y2, c11, c21, c12, c22, flags,
                    [](uint32_t* p, uint32_t g) { *p = px_over(*p, g); });
}

void gfx_pixel_add_sat(uint32_t* pixel, uint32_t value) {
    uint32_t r = 0;
    for (int c = 0; c < 32; c += 8) {
        uint32_t v = ((*pixel >> c) & 255) + ((value >> c) & 255);
        r |= (v > 255 ? 255 : v) << c;
    }
    *pixel = r;
}

void gfx_pixel_sub_sat(uint32_t* pixel, uint32_t value) {
    uint32_t r = 0;
    for (int c = 0; c < 32; c += 8) {
        uint32_t a = (*pixel >> c) & 255, b = (value >> c) & 255;
        r |= (a > b ? a - b : 0) << c;
    }
    *pixel = r;
}

int gfx_fill_op(Surface* s, int x1, int y1, int x2, int y2, uint32_t value, int operation, uint32_t flags) {
    switch (operation) {
    case 1: return fill_each(s, x1, y1, x2, y2, flags, [value](uint32_t* p, int, int) { *p |= value; });
    case 2: return fill_each(s, x1, y1, x2, y2, flags, [value](uint32_t* p, int, int) { *p &= value; });
    case 3: return fill_each(s, x1, y1, x2, y2, flags, [value](uint32_t* p, int, int) { *p ^= value; });
    case 4: return fill_each(s, x1, y1, x2, y2, flags, [value](uint32_t* p, int, int) { gfx_pixel_add_sat(p, value); });
    case 5: return fill_each(s, x1, y1, x2, y2, flags, [value](uint32_t* p, int, int) { gfx_pixel_sub_sat(p, value); });
    case 6: {
        const uint32_t w = px_weight(value);
        return fill_each(s, x1, y1, x2, y2, flags, [w](uint32_t* p, int x, int y) {
            *p = px_lerp(*p, checker_table[((y & 15) << 4) | (x & 15)], w);
        });
    }
    default: return fill_each(s, x1, y1, x2, y2, flags, [value](uint32_t* p, int, int) { *p = value; });
    }
}
