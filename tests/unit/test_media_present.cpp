// The device-free parts of video presentation: fitting, border crop and the
// two-pass smoothing filter.
#include <gtest/gtest.h>

#include <vector>

#include "../../gfx/gfx.h"
#include "../../media/media_state.h"

TEST(MediaFit, AspectFitCropAndFill) {
    // 4:3 in a wider window: bars at the sides; in a relatively narrower one,
    // full width; without the aspect, the whole window.
    const struct { int w, h; bool aspect; RECT want; } fits[] = {{1000, 500, true, {167, 0, 833, 500}},
                                                                 {400, 600, true, {0, 150, 400, 450}},
                                                                 {1000, 500, false, {0, 0, 1000, 500}}};
    for (const auto& f : fits) {
        RECT r;
        media_fit_in(f.w, f.h, 640, 480, f.aspect, &r);
        EXPECT_TRUE(EqualRect(&r, &f.want)) << f.w << "x" << f.h << ": " << r.left << "," << r.top << "," << r.right
                                            << "," << r.bottom;
    }
    RECT src = {0, 0, 640, 480};
    media_crop_borders(&src);
    EXPECT_EQ(src.top, 64);  // trunc(481 * 2 / 15)
    EXPECT_EQ(src.bottom, 416);
}

TEST(MediaSmooth, TwoPassesTowardTheSmoothedNeighbours) {
    const int w = 6, h = 4;
    // A flat picture stays as it is at any level.
    std::vector<uint32_t> flat(w * h, 0x00405060);
    media_smooth(flat.data(), w, 0, 0, w - 1, h - 1, 200);
    for (uint32_t p : flat) EXPECT_EQ(p, 0x00405060u);

    // A 3 x 2 grey picture at level 128, worked by hand through both passes:
    // forward, (200 at x 2) moves to 200 + floor((137 - 200) / 2) = 168 ...
    const int pw = 3;
    const uint32_t grey[6] = {0, 100, 200, 50, 250, 10}, smoothed[6] = {41, 107, 147, 61, 135, 84};
    std::vector<uint32_t> small(6);
    for (int i = 0; i < 6; i++) small[i] = grey[i] * 0x010101u;
    media_smooth(small.data(), pw, 0, 0, pw - 1, 1, 128);
    for (int i = 0; i < 6; i++) EXPECT_EQ(small[i], smoothed[i] * 0x010101u) << i;

    std::vector<uint32_t> pic(w * h);
    for (int i = 0; i < w * h; i++) pic[i] = (i * 37 % 251) * 0x010101u;
    std::vector<uint32_t> got = pic;
    // Level 0 changes nothing; a sub-rectangle leaves the rest alone.
    media_smooth(got.data(), w, 0, 0, w - 1, h - 1, 0);
    EXPECT_EQ(got, pic);
    media_smooth(got.data(), w, 2, 1, 3, 2, 150);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            if (x < 2 || x > 3 || y < 1 || y > 2) {
                EXPECT_EQ(got[y * w + x], pic[y * w + x]) << x << "," << y;
            }
        }
}
