// Per-pixel arithmetic shared by every drawing loop of the engine. Two 8-bit
// channels are worked at a time in one 32-bit word (mask 0x00FF00FF).
#pragma once
#include <stdint.h>

#define GFX_PAIR_MASK 0x00FF00FFu

// Transparency byte to a weight 0..256: 255 gives 256, so a fully
// transparent pixel leaves the other operand exactly as it was.
static inline uint32_t px_weight(uint32_t pixel) {
    uint32_t t = pixel >> 24;
    return t + (t >> 7);
}

// Each channel becomes b + floor((a - b) * w / 256).
static inline uint32_t px_lerp(uint32_t a, uint32_t b, uint32_t w) {
    const uint32_t m = GFX_PAIR_MASK;
    uint32_t lo = ((((a & m) - (b & m)) * w) >> 8) + (b & m);
    uint32_t hi = (((((a >> 8) & m) - ((b >> 8) & m)) * w) >> 8) + ((b >> 8) & m);
    return (lo & m) | ((hi << 8) & ~m);
}

static inline uint32_t px_average4(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    const uint32_t m = GFX_PAIR_MASK;
    uint32_t lo = (((a & m) + (b & m) + (c & m) + (d & m)) >> 2) & m;
    uint32_t hi = (((a >> 2) & 0x3FC03FC0u) + ((b >> 2) & 0x3FC03FC0u) + ((c >> 2) & 0x3FC03FC0u) +
                   ((d >> 2) & 0x3FC03FC0u)) & ~m;
    return lo | hi;
}

static inline uint32_t px_bilinear(uint32_t p00, uint32_t p10, uint32_t p01, uint32_t p11, uint32_t fx,
                                   uint32_t fy) {
    const uint32_t m = GFX_PAIR_MASK;
    uint32_t w11 = (fx * fy) >> 8, w10 = fx - w11, w01 = fy - w11, w00 = 256 - fx - fy + w11;
    uint32_t lo = ((p00 & m) * w00 + (p10 & m) * w10 + (p01 & m) * w01 + (p11 & m) * w11) >> 8;
    uint32_t hi = (((p00 >> 8) & m) * w00 + ((p10 >> 8) & m) * w10 + ((p01 >> 8) & m) * w01 +
                   ((p11 >> 8) & m) * w11) >> 8;
    return (lo & m) | ((hi << 8) & ~m);
}

// The blend modes: d the destination pixel before the write, s the source
// pixel, k the checkerboard entry at the destination position.
static inline uint32_t px_over(uint32_t d, uint32_t s) { return px_lerp(d, s & 0x00FFFFFF, px_weight(s)); }

static inline uint32_t px_behind(uint32_t d, uint32_t s) { return px_lerp(s, d & 0x00FFFFFF, px_weight(d)); }

static inline uint32_t px_masked(uint32_t d, uint32_t s) {
    uint32_t w = px_weight(s) + px_weight(d);
    return px_lerp(d & 0x00FFFFFF, s, w > 256 ? 256 : w);
}

static inline uint32_t px_color(uint32_t d, uint32_t s) { return (s & 0x00FFFFFF) | (d & 0xFF000000); }

static inline uint32_t px_checker(uint32_t k, uint32_t s) { return px_lerp(k, s & 0x00FFFFFF, px_weight(s)); }

static inline uint32_t px_color_sum(uint32_t d, uint32_t s) {
    uint32_t t = (d >> 24) + (s >> 24);
    return (s & 0x00FFFFFF) | ((t > 255 ? 255 : t) << 24);
}
