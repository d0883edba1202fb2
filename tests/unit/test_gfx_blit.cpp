// Pixel arithmetic, the stepping, and the copy and blend blits, checked pixel
// by pixel on real DIB sections.
#include <gtest/gtest.h>
#include <math.h>

#include <string>
#include <vector>

#include "../../gfx/spans.h"
#include "gfx_support.h"

namespace {

// Per-channel reference of the mix: b + floor((a - b) w / 256).
uint32_t ref_lerp(uint32_t a, uint32_t b, uint32_t w) {
    uint32_t r = 0;
    for (int c = 0; c < 32; c += 8) {
        int ca = (a >> c) & 255, cb = (b >> c) & 255;
        int v = cb + static_cast<int>(floor((ca - cb) * static_cast<double>(w) / 256));
        r |= static_cast<uint32_t>(v) << c;
    }
    return r;
}

uint32_t weight(uint32_t p) { return (p >> 24) + (p >> 31); }

uint32_t ref_blend(int mode, uint32_t d, uint32_t s, uint32_t k, bool opaque) {
    const uint32_t col = 0x00FFFFFF;
    uint32_t r;
    switch (mode) {
    case 1: r = ref_lerp(s, d & col, weight(d)); break;
    case 2: {
        uint32_t w = weight(s) + weight(d);
        r = ref_lerp(d & col, s, w > 256 ? 256 : w);
        break;
    }
    case 3: return (s & col) | (d & 0xFF000000);
    case 4: r = ref_lerp(k, s & col, weight(s)); break;
    case 5: {
        uint32_t t = (d >> 24) + (s >> 24);
        return (s & col) | ((t > 255 ? 255 : t) << 24);
    }
    case -1: r = s; break;  // the copy
    default: r = ref_lerp(d, s & col, weight(s)); break;
    }
    return opaque ? r & col : r;
}

// The stepping as its rule reads: the first shift from 11 on at which
// d x floor(s 2^shift / d) reaches 2^29, else 24.
void ref_step(int64_t d, int64_t s, int* shift, int64_t* step) {
    for (int k = 11; k <= 24; k++) {
        int64_t st = static_cast<int64_t>(floorl(ldexpl(static_cast<long double>(s), k) / d));
        *shift = k;
        *step = st;
        if (d * st >= (int64_t{1} << 29)) return;
    }
}

// The span tables this processor can run; each test of the fast paths runs
// on every one of them and leaves the widest in use.
std::vector<int> span_levels() {
    std::vector<int> levels = {GFX_SPANS_SSE2};
    if (gfx_spans_best() == GFX_SPANS_AVX2) levels.push_back(GFX_SPANS_AVX2);
    return levels;
}

// Source pixels with random colours, a quarter each fully opaque and fully
// transparent (the shortcut values), never the border's POISON.
void random_source(uint32_t* p, int n, uint32_t* seed) {
    for (int i = 0; i < n; i++) {
        uint32_t v = test_random(seed), t = (v >> 24) % 4;
        p[i] = (v & 0x00FFFFFF) | ((t == 0 ? 0u : t == 1 ? 255u : v >> 24) << 24);
        if (p[i] == POISON) p[i] ^= 1;
    }
}

// The numbers of a random call, for a failure's message.
template <class... T>
std::string numbers(T... values) {
    std::string out;
    for (long long v : {static_cast<long long>(values)...}) out += std::to_string(v) + " ";
    return out;
}

Surface make(int w, int h) {
    Surface s = {};
    gfx_surface_create(&s, w, h, 0);
    return s;
}

TEST(PixelArithmetic, MatchesThePerChannelFormulas) {
    EXPECT_EQ(gfx_pixel_lerp(0xFFFFFFFF, 0, 128), 0x7F7F7F7Fu);
    uint32_t seed = 7;
    for (int i = 0; i < 20000; i++) {
        uint32_t a = test_random(&seed), b = test_random(&seed), c = test_random(&seed), d = test_random(&seed);
        uint32_t w = test_random(&seed) % 257;
        ASSERT_EQ(gfx_pixel_lerp(a, b, w), ref_lerp(a, b, w)) << a << " " << b << " " << w;  // 0 and 256 included
        uint32_t mean = 0;
        for (int ch = 0; ch < 32; ch += 8)
            mean |= ((((a >> ch) & 255) + ((b >> ch) & 255) + ((c >> ch) & 255) + ((d >> ch) & 255)) / 4) << ch;
        ASSERT_EQ(gfx_pixel_average4(a, b, c, d), mean);
        ASSERT_EQ(gfx_pixel_bilinear(a, b, c, d, 0, 0), a);
        uint32_t expect = 0;
        for (int ch = 0; ch < 32; ch += 8) expect |= ((((a >> ch) & 255) + 255 * ((b >> ch) & 255)) / 256) << ch;
        ASSERT_EQ(gfx_pixel_bilinear(a, b, c, d, 255, 0), expect);
    }
    // Worked by hand. fx 100, fy 200: weights w11 78, w10 22, w01 122, w00 34,
    // so 10, 20, 30, 40 give (340 + 440 + 3660 + 3120) / 256 = 29.5: 29.
    EXPECT_EQ(gfx_pixel_bilinear(0x0A0A0A0A, 0x14141414, 0x1E1E1E1E, 0x28282828, 100, 200), 0x1D1D1D1Du);
    // Half way both ways: the mean 765 / 4 = 191.25 in every channel.
    EXPECT_EQ(gfx_pixel_bilinear(0, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 128, 128), 0xBFBFBFBFu);
    // Channels apart: blue 0 -> 200 at fx 64 gives 50, red 255 -> 0 gives 191.
    EXPECT_EQ(gfx_pixel_bilinear(0x00FF0000, 0x000000C8, 0x00FF0000, 0x000000C8, 64, 77), 0x00BF0032u);
}

TEST(BlitStep, ChoosesTheStatedShiftsAndRefusesUnmappableSpans) {
    int shift;
    uint32_t step;
    const struct { int d, s, shift; uint32_t step; } cases[] = {
        {480, 480, 21, 1u << 21}, {640, 320, 21, 1u << 20}, {320, 640, 20, 1u << 21}, {13, 13, 24, 1u << 24}};
    for (const auto& c : cases) {
        ASSERT_TRUE(gfx_blit_step(c.d, c.s, &shift, &step)) << c.d << " " << c.s;
        EXPECT_EQ(shift, c.shift) << c.d << " " << c.s;
        EXPECT_EQ(step, c.step) << c.d << " " << c.s;
    }
    EXPECT_FALSE(gfx_blit_step(53687092, 5, &shift, &step));   // d x 10 reaches 2^29
    EXPECT_FALSE(gfx_blit_step(40000000, 1, &shift, &step));   // step would be 0
    EXPECT_FALSE(gfx_blit_step(1, 2000000000, &shift, &step)); // step past 31 bits
}

// What BlitRandom never does: a missing surface, and a source the caller
// holds locked while the clip leaves nothing to draw.
TEST(BlitCalls, MissingSurfacesFailAndTheCallersLocksStay) {
    Surface src = make(64, 64), dst = make(64, 64), never = {};
    EXPECT_EQ(gfx_blit_copy(nullptr, 0, 0, 9, 9, &src, 0, 0, 9, 9, 0), 0);
    EXPECT_EQ(gfx_blit_copy(&dst, 0, 0, 9, 9, &never, 0, 0, 9, 9, 0), 0);
    EXPECT_EQ(gfx_thread_state()->last_status, 3u);
    src.lock_count = 2;  // as if the caller held it twice
    gfx_set_clip(100, 100, 120, 120);
    EXPECT_EQ(gfx_blit_copy(&dst, 0, 0, 63, 63, &src, 0, 0, 63, 63, GFX_CLIP), 1);
    EXPECT_EQ(src.lock_count, 2);
    EXPECT_EQ(dst.lock_count, 0);
    gfx_set_clip(0, 0, 0, 0);
    src.lock_count = 0;
    gfx_surface_release(&src, 0);
    gfx_surface_release(&dst, 0);
}

// Anchors for BlitRandom's reference, which takes every mode on every mapping.
TEST(BlitBlend, ModesGiveTheirStatedResults) {
    Surface src = make(1, 1), dst = make(1, 1);
    uint32_t* s = lock_pixels(&src);
    uint32_t* d = lock_pixels(&dst);
    auto blend1 = [&](uint32_t dv, uint32_t sv, uint32_t flags) {
        s[0] = sv;
        d[0] = dv;
        EXPECT_EQ(gfx_blit_blend(&dst, 0, 0, 0, 0, &src, 0, 0, 0, 0, flags), 1);
        return d[0];
    };
    EXPECT_EQ(blend1(0x11223344, 0xFF998877, 0), 0x11223344u);                    // T 255 leaves D
    EXPECT_EQ(blend1(0x11223344, 0x00998877, 0), 0x00998877u);                    // T 0 copies S
    EXPECT_EQ(blend1(0x00000000, 0x80FFFFFF, 0), ref_lerp(0, 0x00FFFFFF, 129));    // T 128: weight 129
    EXPECT_EQ(blend1(0x00123456, 0x40FFFFFF, GFX_MODE_BEHIND), 0x00123456u);       // opaque D stays
    EXPECT_EQ(blend1(0xFF123456, 0x40ABCDEF, GFX_MODE_BEHIND), 0x40ABCDEFu);       // clear D shows S
    EXPECT_EQ(blend1(200u << 24, 100u << 24 | 0x010203, GFX_MODE_COLOR_SUM), 0xFF010203u);
    gfx_surface_release(&src, 0);
    gfx_surface_release(&dst, 0);
}

// The pattern BlitRandom's mode 4 mixes with: 4 x 4 squares in two colours.
TEST(BlitBlend, CheckerPatternIsFourPixelSquares) {
    gfx_build_checker_pattern(0x00FFFFFF, 0x00808080);
    EXPECT_EQ(checker_table[0], 0x00FFFFFFu);
    EXPECT_EQ(checker_table[4], 0x00808080u);
    EXPECT_EQ(checker_table[4 * 16 + 4], 0x00FFFFFFu);
    EXPECT_EQ(checker_table[3 * 16 + 4], 0x00808080u);
    gfx_build_checker_pattern(0, 0);
}

// Random rectangles, flags and modes against a per-pixel reference of the
// mapping; both surfaces sit between canary borders. The fast paths must
// match the reference exactly, write nothing outside the destination and
// read nothing outside the source (a border read would bring in POISON).
TEST(BlitRandom, MatchesTheReferenceAndStaysInsideBothSurfaces) {
    GuardedSurface gs, gd;
    const int sw = 37, sh = 23, dw = 41, dh = 29;
    ASSERT_TRUE(guarded_create(&gs, sw, sh));
    ASSERT_TRUE(guarded_create(&gd, dw, dh));
    gfx_build_checker_pattern(0x00C0C0C0, 0x40404040);
    static uint32_t before[41 * 29], expect[41 * 29];
    uint32_t seed = 12345;
    uint32_t* sp = guarded_pixels(&gs);
    uint32_t* dp = guarded_pixels(&gd);
    auto coord = [&](int range) {
        uint32_t r = test_random(&seed);
        if (r % 100 == 0) return static_cast<int>(test_random(&seed));
        return static_cast<int>(r % (3 * range / 2)) - range / 4;
    };
    int drew = 0;
    for (int level : span_levels()) {
    ASSERT_TRUE(gfx_use_spans(level));
    for (int round = 0; round < 20000; round++) {
        random_source(sp, sw * sh, &seed);
        for (int i = 0; i < dw * dh; i++) before[i] = dp[i] = test_random(&seed);
        // Mostly sensible rectangles, now and then inverted ones or corners
        // anywhere in 32 bits; second corners may wrap, computed unsigned.
        auto offset = [](int a, int b) { return static_cast<int>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b)); };
        auto span = [&](int range) {
            uint32_t r = test_random(&seed);
            if (r % 100 == 0) return static_cast<int>(test_random(&seed));
            return static_cast<int>(r % (2 * range)) - range / 16;
        };
        int x1 = coord(dw), y1 = coord(dh), x2 = offset(x1, span(dw)), y2 = offset(y1, span(dh));
        int sx1 = coord(sw), sy1 = coord(sh), sx2 = offset(sx1, span(sw)), sy2 = offset(sy1, span(sh));
        if (test_random(&seed) % 3 == 0) sx2 = offset(sx1, static_cast<int>(static_cast<uint32_t>(x2) - x1));
        uint32_t flags = test_random(&seed) & (GFX_MODE_MASK | GFX_OPAQUE);
        if (test_random(&seed) % 4 == 0) flags |= GFX_CLIP;
        bool copy = test_random(&seed) & 1;
        int cx1 = coord(dw), cy1 = coord(dh);
        gfx_set_clip(cx1, cy1, offset(cx1, span(dw)), offset(cy1, span(dh)));
        GfxThreadState clip = *gfx_thread_state();

        // The reference.
        memcpy(expect, before, sizeof expect);
        int64_t ddw = int64_t(x2) - x1 + 1, ddh = int64_t(y2) - y1 + 1;
        int64_t ssw = int64_t(sx2) - sx1 + 1, ssh = int64_t(sy2) - sy1 + 1;
        bool valid = ddw > 0 && ddh > 0 && ssw > 0 && ssh > 0 && !(sx1 < 0 && sx2 < 0) &&
                     !(sx1 >= sw && sx2 >= sw);
        int hs = 0, vs = 0;
        int64_t hst = 0, vst = 0;
        if (valid) {
            ref_step(ddw, ssw, &hs, &hst);
            ref_step(ddh, ssh, &vs, &vst);
            valid = ddw * 10 < 0x20000000 && ddh * 10 < 0x20000000 && hst > 0 && vst > 0 &&
                    hst < 0x80000000LL && vst < 0x80000000LL;
        }
        if (valid) {
            int mode = copy ? -1 : static_cast<int>(flags & 15);
            for (int y = 0; y < dh; y++) {
                if (y < y1 || y > y2 || ((flags & GFX_CLIP) && (y < clip.clip_y1 || y > clip.clip_y2))) continue;
                int64_t sy = sy1 + (((y - int64_t(y1)) * vst) >> vs);
                if (sy < 0 || sy >= sh) continue;
                for (int x = 0; x < dw; x++) {
                    if (x < x1 || x > x2 || ((flags & GFX_CLIP) && (x < clip.clip_x1 || x > clip.clip_x2)))
                        continue;
                    int64_t sx = sx1 + (((x - int64_t(x1)) * hst) >> hs);
                    if (sx < 0 || sx >= sw) continue;
                    expect[y * dw + x] = ref_blend(mode, before[y * dw + x], sp[sy * sw + sx],
                                                   checker_table[(y & 15) * 16 + (x & 15)],
                                                   (flags & GFX_OPAQUE) && mode != 3 && mode != 5);
                }
            }
        }
        int result = copy ? gfx_blit_copy(&gd.s, x1, y1, x2, y2, &gs.s, sx1, sy1, sx2, sy2, flags)
                          : gfx_blit_blend(&gd.s, x1, y1, x2, y2, &gs.s, sx1, sy1, sx2, sy2, flags);
        std::string where = "level, round, rect, source, flags, copy: " +
                            numbers(level, round, x1, y1, x2, y2, sx1, sy1, sx2, sy2, flags, copy);
        ASSERT_EQ(result, valid ? 1 : 0) << where;
        ASSERT_TRUE(guarded_borders_intact(&gd)) << where;
        for (int i = 0; i < dw * dh; i++) ASSERT_EQ(dp[i], expect[i]) << where << "; pixel " << i % dw << "," << i / dw;
        ASSERT_EQ(gs.s.lock_count + gd.s.lock_count, 0);
        drew += memcmp(expect, before, sizeof expect) != 0;
    }
    }
    EXPECT_GT(drew, 5000);  // the random rectangles must exercise drawing, not only refusals
    gfx_use_spans(gfx_spans_best());
    gfx_set_clip(0, 0, 0, 0);
    gfx_build_checker_pattern(0, 0);
    guarded_release(&gs);
    guarded_release(&gd);
}

// The smoothing stretch written out as its rules read, one destination pixel
// at a time: the footprint's start carried from pixel to pixel, the samples
// from the formulas channel by channel. Source reads are clamped to the
// surface as the engine clamps them.
struct StretchCase {
    int x1, y1, x2, y2, sx1, sy1, sx2, sy2;
    uint32_t flags;
    bool blend;
};

uint32_t ref_channel_mix(uint32_t p00, uint32_t p10, uint32_t p01, uint32_t p11, int fx, int fy) {
    int w11 = fx * fy / 256, w10 = fx - w11, w01 = fy - w11, w00 = 256 - fx - fy + w11;
    uint32_t r = 0;
    for (int c = 0; c < 32; c += 8) {
        int v = ((p00 >> c) & 255) * w00 + ((p10 >> c) & 255) * w10 + ((p01 >> c) & 255) * w01 +
                ((p11 >> c) & 255) * w11;
        r |= static_cast<uint32_t>(v / 256) << c;
    }
    return r;
}

// Result 1 with the pixels expected in out, or 0 when the call must fail.
int ref_stretch(const StretchCase& k, const uint32_t* src, int sw, int sh, const uint32_t* before, uint32_t* out,
                int dw, int dh, const GfxThreadState& clip) {
    const int64_t dws = int64_t(k.x2) - k.x1 + 1, dhs = int64_t(k.y2) - k.y1 + 1;
    const int64_t sws = int64_t(k.sx2) - k.sx1 + 1, shs = int64_t(k.sy2) - k.sy1 + 1;
    memcpy(out, before, sizeof(uint32_t) * dw * dh);
    if (dws < 1 || dhs < 1 || sws < 1 || shs < 1) return 0;
    if ((k.sx1 < 0 && k.sx2 < 0) || (k.sx1 >= sw && k.sx2 >= sw)) return 0;
    int hs, vs;
    int64_t hst, vst;
    ref_step(dws, sws, &hs, &hst);
    ref_step(dhs, shs, &vs, &vst);
    const bool clipped = k.flags & GFX_CLIP;
    auto px = [&](int64_t c, int64_t r) {
        c = c < 0 ? 0 : c >= sw ? sw - 1 : c;
        r = r < 0 ? 0 : r >= sh ? sh - 1 : r;
        return src[r * sw + c];
    };
    // Columns drawn: inside the destination (and the clip) whose nearest
    // sample lies inside the source.
    int64_t left = INT64_MAX, right = INT64_MIN;
    for (int64_t x = k.x1; x <= k.x2; x++) {
        int64_t sx = k.sx1 + (((x - k.x1) * hst) >> hs);
        if (x < 0 || x >= dw || sx < 0 || sx >= sw) continue;
        if (clipped && (x < clip.clip_x1 || x > clip.clip_x2)) continue;
        if (left == INT64_MAX) left = x;
        right = x;
    }
    if (left > right) return 1;
    const int path = (sws < dws || shs < dhs) ? 0 : ((k.flags & GFX_SMOOTH_AREA) && (sws > 2 * dws || shs > 2 * dhs)) ? 2 : 1;
    auto end_of = [&](int64_t k_, int64_t s1, int64_t step, int shift) {
        return k.blend ? s1 + ((k_ * step) >> shift) : s1 + (((k_ + 1) * step) >> shift) - 1;
    };
    int64_t py = k.sy1 - 1 < -1 ? -1 : k.sy1 - 1;
    for (int64_t y = k.y1; y <= k.y2; y++) {
        const int64_t ky = y - k.y1;
        const int64_t v = ky * vst, sy = k.sy1 + (v >> vs), fy = (v >> (vs - 8)) & 255;
        const int64_t ey = end_of(ky, k.sy1, vst, vs), row_py = py;
        py = ey < -1 ? -1 : ey;  // never below -1
        const int64_t tested = path == 0 ? sy : ey;
        if (tested < 0 || tested >= sh || y < 0 || y >= dh) continue;
        if (clipped && (y < clip.clip_y1 || y > clip.clip_y2)) continue;
        int64_t k0 = left - k.x1;
        int64_t px_ = k.blend ? k.sx1 + (((k0 - 1) * hst) >> hs) : k.sx1 + ((k0 * hst) >> hs) - 1;
        if (px_ < -1) px_ = -1;
        for (int64_t x = left; x <= right; x++) {
            const int64_t kx = x - k.x1, u = kx * hst, sx = k.sx1 + (u >> hs), fx = (u >> (hs - 8)) & 255;
            const int64_t ex = end_of(kx, k.sx1, hst, hs), col_px = px_;
            px_ = ex < -1 ? -1 : ex;
            uint32_t sample;
            if (path == 0) {
                int64_t rc = sx + 1 < sw ? sx + 1 : sx, lr = sy + 1 < sh ? sy + 1 : sy;
                sample = ref_channel_mix(px(sx, sy), px(rc, sy), px(sx, lr), px(rc, lr), int(fx), int(fy));
            } else if (path == 1) {
                // The middle is taken from the end as read, inside the source.
                int64_t exc = ex < 0 ? 0 : ex >= sw ? sw - 1 : ex;
                int64_t mx = (col_px + exc + 1) >> 1, my = (row_py + ey + 1) >> 1;
                uint32_t q[4] = {px(mx, my), px(ex, my), px(mx, ey), px(ex, ey)};
                sample = 0;
                for (int c = 0; c < 32; c += 8)
                    sample |= ((((q[0] >> c) & 255) + ((q[1] >> c) & 255) + ((q[2] >> c) & 255) + ((q[3] >> c) & 255)) / 4) << c;
            } else {
                // The footprint's reads clamped: a column or row past the edge
                // counts as the edge's, once.
                auto clamp = [](int64_t a, int64_t last) { return a < 0 ? 0 : a > last ? last : a; };
                int64_t c1 = clamp(col_px + 1, sw - 1), c2 = clamp(ex, sw - 1), r1 = clamp(row_py + 1, sh - 1);
                uint64_t sum[4] = {0, 0, 0, 0}, n = 0;
                for (int64_t r = r1; r <= ey; r++)
                    for (int64_t c = c1; c <= c2; c++, n++)
                        for (int ch = 0; ch < 4; ch++) sum[ch] += (px(c, r) >> (8 * ch)) & 255;
                sample = 0;
                for (int ch = 0; n && ch < 4; ch++)
                    sample |= static_cast<uint32_t>(n >= 256 ? sum[ch] / n : (sum[ch] * (65536 / n)) >> 16) << (8 * ch);
            }
            uint32_t& d = out[y * dw + x];
            const bool opaque = k.flags & GFX_OPAQUE;
            const int mode = static_cast<int>(k.flags & 15);
            if (!k.blend) d = opaque ? sample & 0x00FFFFFF : sample;
            else if (mode == 1) d = ref_lerp(d & 0x00FFFFFF, sample, weight(d)) & (opaque ? 0x00FFFFFFu : ~0u);
            else d = ref_blend(mode, d, sample, checker_table[(y & 15) * 16 + (x & 15)], opaque && mode != 3 && mode != 5);
        }
    }
    return 1;
}

// Random enlargements and reductions through every path, blend mode and
// placement on every span table, against the rules above; nothing written
// outside the destination, nothing read outside the source.
TEST(StretchRandom, EveryPathMatchesTheRulesOnEveryTable) {
    GuardedSurface gs, gd;
    const int sw = 29, sh = 19, dw = 47, dh = 31;
    ASSERT_TRUE(guarded_create(&gs, sw, sh));
    ASSERT_TRUE(guarded_create(&gd, dw, dh));
    gfx_build_checker_pattern(0x00C0C0C0, 0x40404040);
    static uint32_t before[47 * 31], expect[47 * 31];
    uint32_t* sp = guarded_pixels(&gs);
    uint32_t* dp = guarded_pixels(&gd);
    uint32_t seed = 4242;
    auto pick = [&](int lo, int hi) { return lo + static_cast<int>(test_random(&seed) % static_cast<uint32_t>(hi - lo + 1)); };
    int paths[3] = {0, 0, 0};
    for (int level : span_levels()) {
        ASSERT_TRUE(gfx_use_spans(level));
        for (int round = 0; round < 10000; round++) {
            random_source(sp, sw * sh, &seed);
            for (int i = 0; i < dw * dh; i++) before[i] = dp[i] = test_random(&seed);
            StretchCase k;
            k.x1 = pick(-6, dw);
            k.y1 = pick(-6, dh);
            k.x2 = k.x1 + pick(-1, 60);
            k.y2 = k.y1 + pick(-1, 40);
            k.sx1 = pick(-4, sw);
            k.sy1 = pick(-4, sh);
            // Reductions up to about 5:1 and enlargements up to about 9:1.
            k.sx2 = k.sx1 + pick(0, 1) * pick(0, 6) + pick(0, 1) * pick(0, 60) * (k.x2 - k.x1 + 1) / 12;
            k.sy2 = k.sy1 + pick(0, 1) * pick(0, 4) + pick(0, 1) * pick(0, 60) * (k.y2 - k.y1 + 1) / 12;
            if (k.sx2 - k.sx1 == k.x2 - k.x1 && k.sy2 - k.sy1 == k.y2 - k.y1) k.sx2++;  // the blits have their own test
            k.flags = (test_random(&seed) & (GFX_MODE_MASK | GFX_OPAQUE | GFX_SMOOTH_AREA));
            if (pick(0, 3) == 0) k.flags |= GFX_CLIP;
            k.blend = pick(0, 1);
            int cx1 = pick(-4, dw), cy1 = pick(-4, dh);
            gfx_set_clip(cx1, cy1, cx1 + pick(0, dw), cy1 + pick(0, dh));
            int expected = ref_stretch(k, sp, sw, sh, before, expect, dw, dh, *gfx_thread_state());
            int64_t sws = int64_t(k.sx2) - k.sx1 + 1, shs = int64_t(k.sy2) - k.sy1 + 1;
            int64_t dws = int64_t(k.x2) - k.x1 + 1, dhs = int64_t(k.y2) - k.y1 + 1;
            if (memcmp(expect, before, sizeof expect) != 0)
                paths[(sws < dws || shs < dhs) ? 0 : ((k.flags & GFX_SMOOTH_AREA) && (sws > 2 * dws || shs > 2 * dhs)) ? 2 : 1]++;
            int result = k.blend ? gfx_stretch_blend(&gd.s, k.x1, k.y1, k.x2, k.y2, &gs.s, k.sx1, k.sy1, k.sx2, k.sy2, k.flags)
                                 : gfx_stretch_copy(&gd.s, k.x1, k.y1, k.x2, k.y2, &gs.s, k.sx1, k.sy1, k.sx2, k.sy2, k.flags);
            std::string where = "level, round, rect, source, flags, blend: " +
                                numbers(level, round, k.x1, k.y1, k.x2, k.y2, k.sx1, k.sy1, k.sx2, k.sy2, k.flags, k.blend);
            ASSERT_EQ(result, expected) << where;
            ASSERT_TRUE(guarded_borders_intact(&gd)) << where;
            for (int i = 0; i < dw * dh; i++) ASSERT_EQ(dp[i], expect[i]) << where << "; pixel " << i % dw << "," << i / dw;
        }
    }
    // Every path must have drawn often.
    EXPECT_GT(paths[0], 2000) << paths[0] << " " << paths[1] << " " << paths[2];
    EXPECT_GT(paths[1], 500);
    EXPECT_GT(paths[2], 300);
    gfx_use_spans(gfx_spans_best());
    gfx_set_clip(0, 0, 0, 0);
    gfx_build_checker_pattern(0, 0);
    guarded_release(&gs);
    guarded_release(&gd);
}

// Row routines load whole groups of pixels: none may load past the source's
// last pixel, which can be the last of its memory. This source's pixels end
// on a page boundary, where its mapping ends, and every kind of scaling
// reaches its last corner.
TEST(BlitEdges, NoRoutineReadsPastTheSourcesLastPixel) {
    GuardedSurface gs;
    const int sw = 64, sh = 16;  // 4096 bytes: the pixels end on a page boundary
    ASSERT_TRUE(guarded_create(&gs, sw, sh));
    uint32_t* sp = lock_pixels(&gs.s);
    for (int i = 0; i < sw * sh; i++) sp[i] = 0x10203040u + static_cast<uint32_t>(i);
    Surface dst = make(200, 100);
    for (int level : span_levels()) {
        ASSERT_TRUE(gfx_use_spans(level));
        for (int mode = 0; mode < 6; mode++) {
            const uint32_t f = static_cast<uint32_t>(mode);
            // Halving from the odd columns: the last pick is the last pixel.
            EXPECT_EQ(gfx_blit_copy(&dst, 0, 0, 31, 15, &gs.s, 1, 0, 64, 15, f), 1);
            EXPECT_EQ(pixel_at(&dst, 31, 15), sp[sw * sh - 1]);
            EXPECT_EQ(gfx_blit_blend(&dst, 0, 0, 31, 15, &gs.s, 1, 0, 64, 15, f), 1);
            EXPECT_EQ(gfx_blit_blend(&dst, 0, 0, 199, 99, &gs.s, 0, 0, 63, 15, f), 1);     // nearest, enlarged
            EXPECT_EQ(gfx_stretch_blend(&dst, 0, 0, 199, 99, &gs.s, 0, 0, 63, 15, f), 1);  // bilinear
            EXPECT_EQ(gfx_stretch_copy(&dst, 0, 0, 31, 7, &gs.s, 0, 0, 63, 15, f), 1);     // four-point, 2:1
            EXPECT_EQ(gfx_stretch_copy(&dst, 0, 0, 40, 11, &gs.s, 0, 0, 63, 15, f), 1);    // four-point, narrow
            EXPECT_EQ(gfx_stretch_copy(&dst, 0, 0, 9, 2, &gs.s, 0, 0, 63, 15, f), 1);      // four-point, wide
            EXPECT_EQ(gfx_stretch_copy(&dst, 0, 0, 9, 2, &gs.s, 0, 0, 63, 15, f | GFX_SMOOTH_AREA), 1);
            EXPECT_EQ(gfx_blit_blend(&dst, 0, 0, 63, 15, &gs.s, 0, 0, 63, 15, f), 1);      // equal widths
        }
    }
    gfx_use_spans(gfx_spans_best());
    gfx_surface_release(&dst, 0);
    guarded_release(&gs);
}

}  // namespace
