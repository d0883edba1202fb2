// The row routines the blits and stretches are built on, found through one
// table chosen once for the processor: SSE2 always, AVX2 where the processor
// and the system have it. Every routine gives the same pixels on every table.
#pragma once
#include <stdint.h>

// Writes n destination pixels from n source samples: d[i] = mode(d[i], s[i])
// masked with keep where the mode takes it; x, y the position of d[0].
typedef void (*GfxSpanFn)(uint32_t* d, const uint32_t* s, int n, int x, int y, uint32_t keep);

enum GfxSpanIndex {
    SPAN_OVER,
    SPAN_BEHIND,
    SPAN_MASKED,
    SPAN_COLOR,
    SPAN_CHECKER,
    SPAN_COLOR_SUM,
    SPAN_STRETCH_BEHIND,  // the scaled blend's mode 1
    SPAN_COPY,
    SPAN_COUNT
};

// Bilinear samples of one destination row. pairs holds, for source column c
// from the first column used, the top and bottom row's pixels of c and of the
// column after it: four words at pairs + 2 * c. fx holds each destination
// column's right weight four times.
typedef void (*GfxBilinearFn)(uint32_t* out, const uint32_t* pairs, const int32_t* column, const uint16_t* fx,
                              int n, uint32_t fy);

// Four-point samples: the floored mean of a[ca[i]], a[cb[i]], b[ca[i]], b[cb[i]].
typedef void (*GfxAverageFn)(uint32_t* out, const uint32_t* a, const uint32_t* b, const int32_t* ca,
                             const int32_t* cb, int n);

// Halving exactly 2:1 across: out[i] = a[2i] (pick), or the floored mean of
// a[2i], a[2i + 1], b[2i] and b[2i + 1] (four-point).
typedef void (*GfxPickFn)(uint32_t* out, const uint32_t* a, int n);
typedef void (*GfxHalveFn)(uint32_t* out, const uint32_t* a, const uint32_t* b, int n);

struct GfxSpans {
    GfxSpanFn span[SPAN_COUNT];
    GfxBilinearFn bilinear;
    GfxAverageFn average4;
    GfxPickFn pick_even;
    GfxHalveFn halve4;
    const char* name;
};

enum { GFX_SPANS_SSE2 = 1, GFX_SPANS_AVX2 = 2 };

extern const GfxSpans gfx_spans_sse2;
extern const GfxSpans gfx_spans_avx2;  // name null where the build has no AVX2 code
extern const GfxSpans* gfx_active_spans;

inline const GfxSpans* gfx_spans() { return gfx_active_spans; }

// The widest table this processor can run: GFX_SPANS_SSE2 or GFX_SPANS_AVX2.
int gfx_spans_best();
// Uses the table of that level (tests try each in turn); false if this
// processor or build cannot run it, and nothing changes.
bool gfx_use_spans(int level);
