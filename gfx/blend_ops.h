// The copy and blend operations as a small record the row loops are given:
// a row routine from the processor's table and the mask for the
// transparency byte.
#pragma once
#include "gfx.h"
#include "spans.h"

struct BlendOp {
    GfxSpanFn fn;
    uint32_t keep;
    // A copy that keeps every byte: samples may be written straight into the
    // destination instead of going through the row routine.
    bool plain_copy;
    bool copies;  // the result does not depend on the destination
    void span(uint32_t* d, const uint32_t* s, int n, int x, int y) const { fn(d, s, n, x, y, keep); }
};

inline uint32_t gfx_keep_mask(uint32_t flags) { return (flags & GFX_OPAQUE) ? 0x00FFFFFFu : 0xFFFFFFFFu; }

inline BlendOp gfx_copy_op(uint32_t flags) {
    const uint32_t keep = gfx_keep_mask(flags);
    return BlendOp{gfx_spans()->span[SPAN_COPY], keep, keep == 0xFFFFFFFFu, true};
}

// The operation of the blend mode in flags; mode1 is the mode-1 routine of
// the caller's family (SPAN_BEHIND or SPAN_STRETCH_BEHIND).
inline BlendOp gfx_blend_op(uint32_t flags, int mode1) {
    static const int by_mode[6] = {SPAN_OVER, SPAN_BEHIND, SPAN_MASKED, SPAN_COLOR, SPAN_CHECKER, SPAN_COLOR_SUM};
    const uint32_t mode = flags & GFX_MODE_MASK;
    const int index = mode == GFX_MODE_BEHIND ? mode1 : mode <= GFX_MODE_COLOR_SUM ? by_mode[mode] : SPAN_OVER;
    return BlendOp{gfx_spans()->span[index], gfx_keep_mask(flags), false, false};
}
