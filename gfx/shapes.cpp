// Solid and radial-gradient ellipses, and the scanline flood fill, drawn into
// the pixels of a surface its caller has locked.
#include <math.h>

#include "gfx.h"
#include "pixel_ops.h"

namespace {

struct EllipseRows {
    double cx, cy, rx, ry;
    int top, bottom;           // rows to draw, already within the bounds
    int64_t bx1, bx2;
};

// Orders the corners and finds the rows; false when no row lies in the bounds.
bool ellipse_setup(const Surface* s, int x1, int y1, int x2, int y2, uint32_t flags, EllipseRows* e) {
    gfx_thread_state()->last_status = 1;
    if (!s || !s->pixels || s->width <= 0 || s->height <= 0) return false;
    int64_t left = x1 < x2 ? x1 : x2, right = x1 < x2 ? x2 : x1, top = y1 < y2 ? y1 : y2, bottom = y1 < y2 ? y2 : y1;
    e->cx = (left + right) * 0.5;
    e->cy = (top + bottom) * 0.5;
    e->rx = (right - left + 1) * 0.5;
    e->ry = (bottom - top + 1) * 0.5;
    int64_t by1 = 0, by2 = s->height - 1;
    e->bx1 = 0;
    e->bx2 = s->width - 1;
    if (flags & GFX_CLIP) {
        const GfxThreadState* ts = gfx_thread_state();
        if (ts->clip_x1 > 0) e->bx1 = ts->clip_x1;
        if (ts->clip_y1 > 0) by1 = ts->clip_y1;
        if (ts->clip_x2 < e->bx2) e->bx2 = ts->clip_x2;
        if (ts->clip_y2 < by2) by2 = ts->clip_y2;
    }
    if (top < by1) top = by1;
    if (bottom > by2) bottom = by2;
    if (top > bottom) return false;
    e->top = static_cast<int>(top);
    e->bottom = static_cast<int>(bottom);
    return true;
}

// The row's span, truncated toward zero at both ends and clamped to the
// bounds (in double first, so far-off ends cannot overflow the conversion).
bool ellipse_span(const EllipseRows& e, int y, int64_t* xl, int64_t* xr) {
    double dy = fabs(y - e.cy);
    double half = sqrt((1 - dy * dy * (1 / (e.ry * e.ry))) * e.rx * e.rx);
    double l = e.cx - half, r = e.cx + half;
    *xl = l < static_cast<double>(e.bx1) ? e.bx1 : static_cast<int64_t>(l);
    *xr = r > static_cast<double>(e.bx2) ? e.bx2 : static_cast<int64_t>(r);
    if (*xl < e.bx1) *xl = e.bx1;
    return *xl <= *xr;
}

template <class Write>
int radial(Surface* s, int x1, int y1, int x2, int y2, uint32_t centre, uint32_t edge, uint32_t flags, Write write) {
    EllipseRows e;
    if (!ellipse_setup(s, x1, y1, x2, y2, flags, &e)) return 0;
    const double kx = 16777216 / (e.rx * e.rx);
    for (int y = e.top; y <= e.bottom; y++) {
        int64_t xl, xr;
        if (!ellipse_span(e, y, &xl, &xr)) continue;
        double dy = fabs(y - e.cy);
        double d = trunc((1 / (e.ry * e.ry)) * dy * dy * 16777216);
        uint32_t* row = s->pixels + static_cast<ptrdiff_t>(y) * s->stride;
        for (int64_t x = xl; x <= xr; x++) {
            double dx = x + 0.5 - e.cx;
            int w = gfx_double_to_int(sqrt(dx * dx * kx + d)) >> 4;
            if (w > 256) w = 256;
            write(row + x, px_lerp(edge, centre, static_cast<uint32_t>(w)));
        }
    }
    return 1;
}

}  // namespace

int gfx_double_to_int(double value) {
    double v = value > 0 ? value - 0.499999999999 : value + 0.499999999999;
    if (!(v > -2147483648.0)) return -0x7FFFFFFF - 1;  // NaN lands here too
    if (v >= 2147483647.0) return 0x7FFFFFFF;
    // Nearest integer, ties to even, from the truncation: v - i is exact here.
    int i = static_cast<int>(v);
    double frac = v - i;
    if (frac > 0.5 || (frac == 0.5 && (i & 1))) return i + 1;
    if (frac < -0.5 || (frac == -0.5 && (i & 1))) return i - 1;
    return i;
}

int gfx_ellipse_copy(Surface* s, int x1, int y1, int x2, int y2, uint32_t colour, uint32_t flags) {
    EllipseRows e;
    if (!ellipse_setup(s, x1, y1, x2, y2, flags, &e)) return 0;
    for (int y = e.top; y <= e.bottom; y++) {
        int64_t xl, xr;
        if (!ellipse_span(e, y, &xl, &xr)) continue;
        uint32_t* row = s->pixels + static_cast<ptrdiff_t>(y) * s->stride;
        for (int64_t x = xl; x <= xr; x++) row[x] = colour;
    }
    return 1;
}

int gfx_radial_copy(Surface* s, int x1, int y1, int x2, int y2, uint32_t centre, uint32_t edge, uint32_t flags) {
    if (centre == edge) return gfx_ellipse_copy(s, x1, y1, x2, y2, centre, flags);
    return radial(s, x1, y1, x2, y2, centre, edge, flags, [](uint32_t* p, uint32_t g) { *p = g; });
}

int gfx_radial_blend(Surface* s, int x1, int y1, int x2, int y2, uint32_t centre, uint32_t edge, uint32_t flags) {
    if (!((centre | edge) >> 24)) return gfx_radial_copy(s, x1, y1, x2, y2, centre, edge, flags);
    return radial(s, x1, y1, x2, y2, centre, edge, flags,
                  [](uint32_t* p, uint32_t g) { *p = px_over(*p, g); });
}

int gfx_flood_fill(Surface* s, int x, int y, uint8_t mode, uint32_t colour, uint32_t boundary, int32_t* box) {
    gfx_thread_state()->last_status = 1;
    if (!s || !s->pixels || x < 0 || y < 0 || x >= s->width || y >= s->height) return 0;
    const int w = s->width, h = s->height;
    const ptrdiff_t stride = s->stride;
    uint32_t* px = s->pixels;
    if (box) {
        box[0] = box[2] = x;
        box[1] = box[3] = y;
    }
    const uint32_t target = px[y * stride + x];
    if ((mode == 0 ? target : boundary) == colour) return 0;
    auto in_region = [&](uint32_t p) { return mode == 0 ? p == target : p != boundary; };
    auto to_fill = [&](uint32_t p) { return mode == 0 ? p == target : (p != boundary && p != colour); };
    auto ends_run = [&](uint32_t p) { return mode == 0 ? p != target : p == boundary; };

    // 32,768 bytes of seeds; the walk stops once more than 4094 wait, and a
    // pixel pushes at most two, so the last two slots are never overrun.
    struct Seed {
        int32_t x, y;
    };
    Seed stack[4096];
    int waiting = 0;
    stack[waiting++] = {x, y};
    while (waiting > 0) {
        Seed seed = stack[--waiting];
        int cx = seed.x;
        const int cy = seed.y;
        uint32_t* row = px + cy * stride;
        while (cx > 0 && in_region(row[cx - 1])) cx--;
        bool up_run = false, down_run = false;
        for (; cx < w && in_region(row[cx]); cx++) {
            row[cx] = colour;
            if (box) {
                if (cx < box[0]) box[0] = cx;
                if (cx > box[2]) box[2] = cx;
                if (cy < box[1]) box[1] = cy;
                if (cy > box[3]) box[3] = cy;
            }
            if (cy > 0) {
                uint32_t p = row[cx - stride];
                if (!up_run && to_fill(p)) {
                    stack[waiting++] = {cx, cy - 1};
                    up_run = true;
                } else if (up_run && ends_run(p)) {
                    up_run = false;
                }
            }
            if (cy < h - 1) {
                uint32_t p = row[cx + stride];
                if (!down_run && to_fill(p)) {
                    stack[waiting++] = {cx, cy + 1};
                    down_run = true;
                } else if (down_run && ends_run(p)) {
                    down_run = false;
                }
            }
            if (waiting > 4094) return 0;
        }
    }
    return 1;
}
