// The engine's per-thread state and the checker pattern: plain data, no
// platform calls, so the artwork tool can build them too.
#include "gfx.h"

uint32_t checker_table[256];

namespace {
thread_local GfxThreadState t_state;
}

GfxThreadState* gfx_thread_state() { return &t_state; }

int gfx_set_clip(int x1, int y1, int x2, int y2) {
    t_state.clip_x1 = x1;
    t_state.clip_y1 = y1;
    t_state.clip_x2 = x2;
    t_state.clip_y2 = y2;
    return 1;
}

int gfx_build_checker_pattern(uint32_t c0, uint32_t c1) {
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++) checker_table[y * 16 + x] = (((x >> 2) + (y >> 2)) & 1) ? c1 : c0;
    return 1;
}
