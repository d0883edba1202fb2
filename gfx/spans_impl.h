// The row routines written once over a vector type V (4 pixels in SSE2, 8 in
// AVX2); each file that includes this builds one table in its own namespace,
// so no routine compiled for one processor can stand in for another.
// A scalar tail finishes every row with the per-pixel rules of pixel_ops.h.
#pragma once
#include <string.h>

#include "gfx.h"
#include "pixel_ops.h"
#include "spans.h"

namespace GFX_SPANS_NAMESPACE {

typedef V::T T;
const uint32_t COLOUR = 0x00FFFFFFu, ALPHA = 0xFF000000u;

// Transparency byte of each pixel as a weight 0..256, one per 32-bit lane.
inline T weight(T p) {
    T t = V::srli32(p, 24);
    return V::add32(t, V::srli32(t, 7));
}

// Two pixels of 16-bit lanes: b + floor((a - b) w / 256), w16 holding 2w.
// With x = a - b, mulhi of x << 7 and 2w gives the floor in one multiply.
inline T lerp_half(T a16, T b16, T w16) {
    return V::add16(b16, V::mulhi16(V::slli16(V::sub16(a16, b16), 7), w16));
}

// px_lerp on every pixel: w a weight 0..256 per 32-bit lane.
inline T lerp(T a, T b, T w) {
    const T z = V::zero();
    T w2 = V::slli32(w, 1);
    w2 = V::or_(w2, V::slli32(w2, 16));
    T lo = lerp_half(V::unpacklo8(a, z), V::unpacklo8(b, z), V::unpacklo32(w2, w2));
    T hi = lerp_half(V::unpackhi8(a, z), V::unpackhi8(b, z), V::unpackhi32(w2, w2));
    return V::packus16(lo, hi);
}

inline T load(const uint32_t* p) { return V::load(p); }
inline void store(uint32_t* p, T v) { V::store(p, v); }

// A table that brings an over routine of its own defines GFX_SPANS_OWN_OVER.
#ifndef GFX_SPANS_OWN_OVER
void span_over(uint32_t* d, const uint32_t* s, int n, int, int, uint32_t keep) {
    const T zero = V::zero(), clear = V::set1(255), keepv = V::set1(keep), colour = V::set1(COLOUR);
    int i = 0;
    for (; i + V::N <= n; i += V::N) {
        T sv = load(s + i);
        T t = V::srli32(sv, 24);
        // Fully opaque and fully transparent groups skip the arithmetic.
        if (V::all(V::cmpeq32(t, zero))) {
            store(d + i, sv);
            continue;
        }
        T dv = load(d + i);
        if (V::all(V::cmpeq32(t, clear))) {
            store(d + i, V::and_(dv, keepv));
            continue;
        }
        store(d + i, V::and_(lerp(dv, V::and_(sv, colour), V::add32(t, V::srli32(t, 7))), keepv));
    }
    for (; i < n; i++) {
        uint32_t t = s[i] >> 24;
        d[i] = t == 0 ? s[i] : t == 255 ? d[i] & keep : px_over(d[i], s[i]) & keep;
    }
}
#endif

void span_behind(uint32_t* d, const uint32_t* s, int n, int, int, uint32_t keep) {
    const T keepv = V::set1(keep), colour = V::set1(COLOUR);
    int i = 0;
    for (; i + V::N <= n; i += V::N) {
        T dv = load(d + i);
        store(d + i, V::and_(lerp(load(s + i), V::and_(dv, colour), weight(dv)), keepv));
    }
    for (; i < n; i++) d[i] = px_behind(d[i], s[i]) & keep;
}

void span_masked(uint32_t* d, const uint32_t* s, int n, int, int, uint32_t keep) {
    const T keepv = V::set1(keep), colour = V::set1(COLOUR), full = V::set1(256);
    int i = 0;
    for (; i + V::N <= n; i += V::N) {
        T dv = load(d + i), sv = load(s + i);
        // Both weights are at most 256, so the 16-bit minimum sees them whole.
        T w = V::min16(V::add32(weight(sv), weight(dv)), full);
        store(d + i, V::and_(lerp(V::and_(dv, colour), sv, w), keepv));
    }
    for (; i < n; i++) d[i] = px_masked(d[i], s[i]) & keep;
}

void span_color(uint32_t* d, const uint32_t* s, int n, int, int, uint32_t) {
    const T colour = V::set1(COLOUR), alpha = V::set1(ALPHA);
    int i = 0;
    for (; i + V::N <= n; i += V::N) store(d + i, V::or_(V::and_(load(s + i), colour), V::and_(load(d + i), alpha)));
    for (; i < n; i++) d[i] = px_color(d[i], s[i]);
}

void span_checker(uint32_t* d, const uint32_t* s, int n, int x, int y, uint32_t keep) {
    // The pattern row repeated past its 16 entries, so any group loads whole.
    uint32_t row[16 + V::N];
    for (int j = 0; j < 16 + V::N; j++) row[j] = checker_table[((y & 15) << 4) | (j & 15)];
    const T keepv = V::set1(keep), colour = V::set1(COLOUR);
    int i = 0;
    for (; i + V::N <= n; i += V::N) {
        T sv = load(s + i);
        store(d + i, V::and_(lerp(load(row + ((x + i) & 15)), V::and_(sv, colour), weight(sv)), keepv));
    }
    for (; i < n; i++) d[i] = px_checker(row[(x + i) & 15], s[i]) & keep;
}

void span_color_sum(uint32_t* d, const uint32_t* s, int n, int, int, uint32_t) {
    const T colour = V::set1(COLOUR), alpha = V::set1(ALPHA);
    int i = 0;
    for (; i + V::N <= n; i += V::N) {
        T sv = load(s + i);
        // A saturating byte add of the two transparency bytes is the capped sum.
        T t = V::adds_u8(V::and_(load(d + i), alpha), V::and_(sv, alpha));
        store(d + i, V::or_(V::and_(sv, colour), t));
    }
    for (; i < n; i++) d[i] = px_color_sum(d[i], s[i]);
}

void span_stretch_behind(uint32_t* d, const uint32_t* s, int n, int, int, uint32_t keep) {
    const T keepv = V::set1(keep), colour = V::set1(COLOUR);
    int i = 0;
    for (; i + V::N <= n; i += V::N) {
        T dv = load(d + i);
        store(d + i, V::and_(lerp(V::and_(dv, colour), load(s + i), weight(dv)), keepv));
    }
    for (; i < n; i++) d[i] = px_lerp(d[i] & COLOUR, s[i], px_weight(d[i])) & keep;
}

void span_copy(uint32_t* d, const uint32_t* s, int n, int, int, uint32_t keep) {
    if (keep == 0xFFFFFFFFu) {
        memmove(d, s, static_cast<size_t>(n) * 4);
        return;
    }
    const T keepv = V::set1(keep);
    int i = 0;
    for (; i + V::N <= n; i += V::N) store(d + i, V::and_(load(s + i), keepv));
    for (; i < n; i++) d[i] = s[i] & keep;
}

// The four weights of px_bilinear for a group of columns, a channel per
// 16-bit lane; every partial sum stays below 65536, so the 16-bit products
// and sums are exact and the result is the same to the bit.
inline T bilinear_group(const uint32_t* pairs, const int32_t* column, const uint16_t* fx, T fy, T rest) {
    T top, bottom;  // p00 and p01 of each column; p10 and p11
    V::load_quads(pairs, column, &top, &bottom);
    const T z = V::zero();
    T fxv = V::load(reinterpret_cast<const uint32_t*>(fx));
    T w11 = V::srli16(V::mullo16(fxv, fy), 8);
    T w10 = V::sub16(fxv, w11), w01 = V::sub16(fy, w11), w00 = V::sub16(rest, w10);
    T sum = V::add16(V::mullo16(V::unpacklo8(top, z), w00), V::mullo16(V::unpackhi8(top, z), w01));
    sum = V::add16(sum, V::mullo16(V::unpacklo8(bottom, z), w10));
    sum = V::add16(sum, V::mullo16(V::unpackhi8(bottom, z), w11));
    return V::srli16(sum, 8);
}

void bilinear_row(uint32_t* out, const uint32_t* pairs, const int32_t* column, const uint16_t* fx, int n,
                  uint32_t fy) {
    const T fyv = V::set1(fy * 0x10001u), rest = V::set1((256 - fy) * 0x10001u);
    const int half = V::N / 2;
    int i = 0;
    for (; i + V::N <= n; i += V::N) {
        T a = bilinear_group(pairs, column + i, fx + 4 * i, fyv, rest);
        T b = bilinear_group(pairs, column + i + half, fx + 4 * (i + half), fyv, rest);
        store(out + i, V::pack16(a, b));
    }
    for (; i < n; i++) {
        const uint32_t* q = pairs + 2 * column[i];
        out[i] = px_bilinear(q[0], q[2], q[1], q[3], fx[4 * i], fy);
    }
}

void average4_row(uint32_t* out, const uint32_t* a, const uint32_t* b, const int32_t* ca, const int32_t* cb, int n) {
    const T z = V::zero();
    int i = 0;
    for (; i + V::N <= n; i += V::N) {
        T p = V::gather(a, ca + i), q = V::gather(a, cb + i), r = V::gather(b, ca + i), s = V::gather(b, cb + i);
        T lo = V::add16(V::add16(V::unpacklo8(p, z), V::unpacklo8(q, z)),
                        V::add16(V::unpacklo8(r, z), V::unpacklo8(s, z)));
        T hi = V::add16(V::add16(V::unpackhi8(p, z), V::unpackhi8(q, z)),
                        V::add16(V::unpackhi8(r, z), V::unpackhi8(s, z)));
        store(out + i, V::packus16(V::srli16(lo, 2), V::srli16(hi, 2)));
    }
    for (; i < n; i++) out[i] = px_average4(a[ca[i]], a[cb[i]], b[ca[i]], b[cb[i]]);
}

void pick_even(uint32_t* out, const uint32_t* a, int n) {
    int i = 0;
    // A group loads the column after its last pick too: the last group is
    // left to the tail, so nothing past a[2n - 2] is read.
    for (; i + V::N < n; i += V::N) store(out + i, V::even32(load(a + 2 * i), load(a + 2 * i + V::N)));
    for (; i < n; i++) out[i] = a[2 * i];
}

// Columns 2i and 2i + 1 of both rows: the rows added in 16-bit lanes, then
// each pixel's two columns, which sit in the two 64-bit halves of a lane.
inline T halve_group(T a, T b) {
    const T z = V::zero();
    T lo = V::add16(V::unpacklo8(a, z), V::unpacklo8(b, z));
    T hi = V::add16(V::unpackhi8(a, z), V::unpackhi8(b, z));
    return V::srli16(V::add16(V::unpacklo64(lo, hi), V::unpackhi64(lo, hi)), 2);
}

void halve4(uint32_t* out, const uint32_t* a, const uint32_t* b, int n) {
    int i = 0;
    for (; i + V::N <= n; i += V::N) {
        T first = halve_group(load(a + 2 * i), load(b + 2 * i));
        T second = halve_group(load(a + 2 * i + V::N), load(b + 2 * i + V::N));
        store(out + i, V::pack16(first, second));
    }
    for (; i < n; i++) out[i] = px_average4(a[2 * i], a[2 * i + 1], b[2 * i], b[2 * i + 1]);
}

}  // namespace GFX_SPANS_NAMESPACE

#define GFX_SPANS_TABLE(name)                                                                                  \
    {{GFX_SPANS_NAMESPACE::span_over, GFX_SPANS_NAMESPACE::span_behind, GFX_SPANS_NAMESPACE::span_masked,     \
      GFX_SPANS_NAMESPACE::span_color, GFX_SPANS_NAMESPACE::span_checker, GFX_SPANS_NAMESPACE::span_color_sum, \
      GFX_SPANS_NAMESPACE::span_stretch_behind, GFX_SPANS_NAMESPACE::span_copy},                              \
     GFX_SPANS_NAMESPACE::bilinear_row, GFX_SPANS_NAMESPACE::average4_row, GFX_SPANS_NAMESPACE::pick_even,       \
     GFX_SPANS_NAMESPACE::halve4, name}
