// The per-pixel operations of the copy and blend blits, as small records the
// row loops are instantiated with: pixel(d, s, x, y) gives the pixel to write
// for destination d and source sample s at (x, y); span() does a row of equal
// width.
#pragma once
#include <string.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "gfx.h"
#include "pixel_ops.h"

// Span supplies the plain row loop.
template <class Op>
struct Span {
    void span(uint32_t* d, const uint32_t* s, int n, int x, int y) const {
        const Op& op = static_cast<const Op&>(*this);
        for (int i = 0; i < n; i++) d[i] = op.pixel(d[i], s[i], x + i, y);
    }
};

struct CopyOp : Span<CopyOp> {
    uint32_t keep;
    explicit CopyOp(uint32_t k) : keep(k) {}
    uint32_t pixel(uint32_t, uint32_t s, int, int) const { return s & keep; }
    void span(uint32_t* d, const uint32_t* s, int n, int, int) const {
        if (keep == 0xFFFFFFFFu) {
            memmove(d, s, static_cast<size_t>(n) * 4);
            return;
        }
        for (int i = 0; i < n; i++) d[i] = s[i] & keep;
    }
};

#if defined(__SSE2__)
// Two pixels in 16-bit lanes: d16 the destination, s16 the source colour,
// w16 each pixel's weight doubled in its four lanes. With x = d - s, mulhi
// of x << 7 and 2w gives floor(x w / 256) exactly in one multiply.
static inline __m128i over_pair(__m128i d16, __m128i s16, __m128i w16) {
    __m128i x = _mm_slli_epi16(_mm_sub_epi16(d16, s16), 7);
    return _mm_add_epi16(s16, _mm_mulhi_epi16(x, w16));
}
#endif

struct OverOp : Span<OverOp> {
    uint32_t keep;
    explicit OverOp(uint32_t k) : keep(k) {}
    uint32_t pixel(uint32_t d, uint32_t s, int, int) const { return px_over(d, s) & keep; }
    // Opaque and fully transparent source pixels skip the arithmetic.
    uint32_t shortcut(uint32_t d, uint32_t s) const {
        uint32_t t = s >> 24;
        if (t == 0) return s;
        if (t == 255) return d & keep;
        return px_over(d, s) & keep;
    }
    void span(uint32_t* d, const uint32_t* s, int n, int, int) const {
        int i = 0;
#if defined(__SSE2__)
        // Four pixels at a time in 16-bit lanes.
        const __m128i zero = _mm_setzero_si128();
        const __m128i colour = _mm_set1_epi32(0x00FFFFFF), keep4 = _mm_set1_epi32(static_cast<int>(keep));
        const __m128i clear = _mm_set1_epi32(255);
        for (; i + 4 <= n; i += 4) {
            __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
            __m128i tv = _mm_srli_epi32(sv, 24);
            if (_mm_movemask_epi8(_mm_cmpeq_epi32(tv, zero)) == 0xFFFF) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), sv);
                continue;
            }
            __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
            if (_mm_movemask_epi8(_mm_cmpeq_epi32(tv, clear)) == 0xFFFF) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_and_si128(dv, keep4));
                continue;
            }
            __m128i sc = _mm_and_si128(sv, colour);
            __m128i w2 = _mm_slli_epi32(_mm_add_epi32(tv, _mm_srli_epi32(tv, 7)), 1);
            w2 = _mm_or_si128(w2, _mm_slli_epi32(w2, 16));
            __m128i lo = over_pair(_mm_unpacklo_epi8(dv, zero), _mm_unpacklo_epi8(sc, zero),
                                   _mm_unpacklo_epi32(w2, w2));
            __m128i hi = over_pair(_mm_unpackhi_epi8(dv, zero), _mm_unpackhi_epi8(sc, zero),
                                   _mm_unpackhi_epi32(w2, w2));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_and_si128(_mm_packus_epi16(lo, hi), keep4));
        }
#endif
        for (; i < n; i++) d[i] = shortcut(d[i], s[i]);
    }
};

// The modes that mask their result with keep (which clears the transparency
// byte when the caller asked for opaque pixels): one shape, one function each.
template <uint32_t (*Blend)(uint32_t d, uint32_t s, int x, int y)>
struct KeptOp : Span<KeptOp<Blend>> {
    uint32_t keep;
    explicit KeptOp(uint32_t k) : keep(k) {}
    uint32_t pixel(uint32_t d, uint32_t s, int x, int y) const { return Blend(d, s, x, y) & keep; }
};

// Modes that ignore keep: their transparency byte is part of the rule.
template <uint32_t (*Blend)(uint32_t d, uint32_t s)>
struct FreeOp : Span<FreeOp<Blend>> {
    explicit FreeOp(uint32_t) {}
    uint32_t pixel(uint32_t d, uint32_t s, int, int) const { return Blend(d, s); }
};

static inline uint32_t op_behind(uint32_t d, uint32_t s, int, int) { return px_behind(d, s); }
static inline uint32_t op_masked(uint32_t d, uint32_t s, int, int) { return px_masked(d, s); }
static inline uint32_t op_checker(uint32_t, uint32_t s, int x, int y) {
    return px_checker(checker_table[((y & 15) << 4) | (x & 15)], s);
}
// The scaled blend's mode 1 draws the sample where the destination is opaque
// and keeps the destination colour where it is transparent.
static inline uint32_t op_stretch_behind(uint32_t d, uint32_t s, int, int) {
    return px_lerp(d & 0x00FFFFFF, s, px_weight(d));
}

using BehindOp = KeptOp<op_behind>;
using MaskedOp = KeptOp<op_masked>;
using CheckerOp = KeptOp<op_checker>;
using StretchBehindOp = KeptOp<op_stretch_behind>;
using ColorOp = FreeOp<px_color>;
using ColorSumOp = FreeOp<px_color_sum>;

// Calls run(op) with the operation of the blend mode in flags; Mode1 is the
// mode-1 operation of the caller's family.
template <class Mode1, class Run>
int gfx_with_blend_op(uint32_t flags, Run run) {
    const uint32_t keep = (flags & GFX_OPAQUE) ? 0x00FFFFFFu : 0xFFFFFFFFu;
    switch (flags & GFX_MODE_MASK) {
    case GFX_MODE_BEHIND: return run(Mode1(keep));
    case GFX_MODE_MASKED: return run(MaskedOp(keep));
    case GFX_MODE_COLOR: return run(ColorOp(keep));
    case GFX_MODE_CHECKER: return run(CheckerOp(keep));
    case GFX_MODE_COLOR_SUM: return run(ColorSumOp(keep));
    default: return run(OverOp(keep));
    }
}
