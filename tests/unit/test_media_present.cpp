// The device-free parts of video presentation: fitting, border crop and the
// two-pass smoothing filter.
#include <gtest/gtest.h>

#include <vector>

#include "../../gfx/gfx.h"
#include "../../media/media_state.h"

TEST(MediaFit, AspectFitCropAndFill) {
    RECT r;
    media_fit_in(1000, 500, 640, 480, true, &r);
    EXPECT_EQ(r.left, 167);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right - r.left, 666);
    EXPECT_EQ(r.bottom, 500);
    media_fit_in(400, 600, 640, 480, true, &r);  // relatively wider: full width
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right, 400);
    EXPECT_EQ(r.bottom - r.top, 300);
    EXPECT_EQ(r.top, 150);
    media_fit_in(1000, 500, 640, 480, false, &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 1000);
    EXPECT_EQ(r.bottom, 500);
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

    std::vector<uint32_t> pic(w * h);
    for (int i = 0; i < w * h; i++) pic[i] = (i * 37 % 251) * 0x010101u;
    std::vector<uint32_t> want = pic;
    // The filter written out plainly: forward over rows then backward.
    auto lerp = [](uint32_t avg, uint32_t p, uint32_t level) { return gfx_pixel_lerp(avg, p, level); };
    std::vector<uint32_t> line(want.begin(), want.begin() + w);
    for (int y = 0; y < h; y++) {
        uint32_t r = want[y * w];
        for (int x = 0; x < w; x++) {
            uint32_t p = lerp(((r & 0xFEFEFE) + (line[x] & 0xFEFEFE)) >> 1, want[y * w + x], 100);
            want[y * w + x] = line[x] = r = p;
        }
    }
    line.assign(want.end() - w, want.end());
    for (int y = h - 1; y >= 0; y--) {
        uint32_t r = want[y * w + w - 1];
        for (int x = w - 1; x >= 0; x--) {
            uint32_t p = lerp(((r & 0xFEFEFE) + (line[x] & 0xFEFEFE)) >> 1, want[y * w + x], 100);
            want[y * w + x] = line[x] = r = p;
        }
    }
    std::vector<uint32_t> got = pic;
    media_smooth(got.data(), w, 0, 0, w - 1, h - 1, 100);
    EXPECT_EQ(got, want);
    EXPECT_NE(got, pic);
    // Level 0 changes nothing; a sub-rectangle leaves the rest alone.
    got = pic;
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
