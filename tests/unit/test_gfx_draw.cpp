// Lines, frames, fills, gradients, ellipses, flood fill, a large smoothing
// footprint and resize: the stated pixel results.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>

#include "gfx_support.h"

namespace {

TEST(Lines, EndpointRuleCountsAndClipping) {
    Locked l(10, 10);
    l.clear();
    EXPECT_EQ(gfx_line_copy(&l.s, 0, 0, 3, 9, 1, 0), 10);
    const int forward[] = {0, 0, 0, 1, 1, 2, 2, 2, 3, 3};
    for (int y = 0; y < 10; y++) EXPECT_EQ(l.at(forward[y], y), 1u) << y;
    EXPECT_EQ(l.count(1), 10);
    l.clear();
    EXPECT_EQ(gfx_line_copy(&l.s, 3, 9, 0, 0, 1, 0), 10);
    const int backward[] = {3, 3, 3, 2, 2, 1, 1, 1, 0, 0};  // for y = 9 down to 0
    for (int i = 0; i < 10; i++) EXPECT_EQ(l.at(backward[i], 9 - i), 1u) << i;
    l.clear();
    EXPECT_EQ(gfx_line_copy(&l.s, -5, -1, -1, 8, 1, 0), 0);        // both ends left
    EXPECT_EQ(gfx_line_copy(&l.s, -5, 2, 4, 2, 1, 0), 5);          // horizontal, clipped
    EXPECT_EQ(l.rows(1), "2:0-4 ");
    EXPECT_EQ(gfx_line_copy(&l.s, -10, 0, 19, 9, 2, 0), 30);       // partly outside: full count
    EXPECT_EQ(l.count(2), 10);
    EXPECT_EQ(gfx_line_copy(&l.s, 4, 4, 4, 4, 3, 0), 1);
    EXPECT_EQ(gfx_line_copy(&l.s, 0, -2000000000, 9, 2000000000, 4, 0), 0x7FFFFFFF);  // long: bounded walk
    EXPECT_GT(l.count(4), 0);
    // Blend with T = 255 leaves pixels alone; T = 0 is the copy.
    l.clear(0x00102030);
    EXPECT_EQ(gfx_line_blend(&l.s, 0, 5, 9, 5, 0xFF00FF00, 0), 10);
    EXPECT_EQ(l.count(0x00102030), 100);
    gfx_set_clip(2, 0, 4, 9);
    EXPECT_EQ(gfx_line_blend(&l.s, 0, 5, 9, 5, 0x00ABCDEF, GFX_CLIP), 3);
    EXPECT_EQ(l.rows(0x00ABCDEF), "5:2-4 ");
    gfx_set_clip(0, 0, 0, 0);
}

TEST(Frames, RingsWriteEachPixelOnceAndCloseIntoAFill) {
    Locked l(12, 12);
    l.clear();
    // A translucent colour written twice would come out darker: count exact.
    EXPECT_NE(gfx_frame_blend(&l.s, 0, 0, 9, 9, 1, 0x80FFFFFF, 0), 0);
    EXPECT_EQ(l.count(0x007E7E7E), 36);  // 255 + floor(-255 * 129 / 256) once
    EXPECT_EQ(l.count(0), 144 - 36);
    l.clear();
    EXPECT_NE(gfx_frame_copy(&l.s, 0, 0, 9, 9, 5, 7, 0), 0);
    EXPECT_EQ(l.count(7), 100);
    l.clear();
    EXPECT_EQ(gfx_frame_copy(&l.s, 9, 9, 0, 0, 6, 7, 0), 1);  // the fill's result
    EXPECT_EQ(l.count(7), 100);
    l.clear();
    EXPECT_EQ(gfx_frame_copy(&l.s, 5, 0, 5, 9, 1, 7, 0), 1);
    EXPECT_EQ(l.rows(7), "0:5-5 ");
    EXPECT_EQ(gfx_frame_copy(&l.s, 1, 1, 8, 8, 0, 9, 0), 1);
    EXPECT_EQ(l.count(9), 0);
}

TEST(Fills, ExclusiveOrderOpsAndGradients) {
    Locked l(16, 16);
    l.clear();
    EXPECT_EQ(gfx_fill_copy(&l.s, 10, 10, 0, 0, 5, GFX_EXCLUSIVE), 1);
    EXPECT_EQ(l.rows(5).substr(0, 12), "0:0-9 1:0-9 ");
    EXPECT_EQ(l.count(5), 100);
    EXPECT_EQ(gfx_fill_copy(&l.s, 20, 20, 30, 30, 5, 0), 0);
    EXPECT_EQ(gfx_fill_copy(&l.s, 3, 3, 3, 3, 5, GFX_EXCLUSIVE), 0);
    EXPECT_EQ(gfx_fill_blend(&l.s, 0, 0, 15, 15, 0xFF123456, 0), 1);
    EXPECT_EQ(l.count(5), 100);
    l.at(0, 0) = 0x00F8F0E0;
    EXPECT_EQ(gfx_fill_op(&l.s, 0, 0, 0, 0, 0x00101010, 4, 0), 1);
    EXPECT_EQ(l.at(0, 0), 0x00FFFFF0u);
    l.clear(0x80FFFFFF);
    EXPECT_EQ(gfx_fill_op(&l.s, 0, 0, 15, 15, 0x00FFFFFF, 2, 0), 1);
    EXPECT_EQ(l.count(0x00FFFFFF), 256);
    gfx_pixel_sub_sat(&l.at(1, 1), 0x01FF0010);
    EXPECT_EQ(l.at(1, 1), 0x0000FFEFu);

    // Gradient corners, weights 0/85/170/255 across three steps, mid row 128.
    l.clear();
    const uint32_t a = 0x00000000, b = 0x00FF0000, c = 0x000000FF, d = 0x00FFFFFF;
    EXPECT_EQ(gfx_gradient_copy(&l.s, 0, 0, 3, 2, a, b, c, d, 0), 1);
    EXPECT_EQ(l.at(0, 0), a);
    EXPECT_EQ(l.at(0, 2), c);
    EXPECT_EQ(l.at(1, 0), 0x00540000u);  // weights 85, 170, 255: 255 * w >> 8
    EXPECT_EQ(l.at(2, 0), 0x00A90000u);
    EXPECT_EQ(l.at(3, 0), 0x00FE0000u);  // short of the far colour
    EXPECT_EQ(l.at(0, 1), gfx_pixel_lerp(c, a, 128));
    // Reversed corners keep their colours at their own corners.
    l.clear();
    EXPECT_EQ(gfx_gradient_copy(&l.s, 3, 2, 0, 0, a, b, c, d, 0), 1);
    EXPECT_EQ(l.at(3, 2), a);
    EXPECT_EQ(gfx_gradient_blend(&l.s, 0, 0, 3, 2, 0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000, 0), 1);
    EXPECT_EQ(l.at(3, 2), a);
}

TEST(Ellipses, StatedRowsWeightsAndDoubleToInt) {
    const char* const circle10 = "0:2-6 1:0-8 2:0-8 3:0-9 4:0-9 5:0-9 6:0-9 7:0-8 8:0-8 9:2-6 ";
    Locked l(12, 12);
    l.clear();
    EXPECT_EQ(gfx_ellipse_copy(&l.s, 9, 9, 0, 0, 1, 0), 1);
    EXPECT_EQ(l.rows(1), circle10);
    EXPECT_EQ(l.count(1), 86);
    l.clear();
    EXPECT_EQ(gfx_ellipse_copy(&l.s, 0, 0, 4, 2, 1, 0), 1);
    EXPECT_EQ(l.rows(1), "0:0-3 1:0-4 2:0-3 ");
    EXPECT_EQ(gfx_ellipse_copy(&l.s, 0, 20, 4, 30, 1, 0), 0);
    EXPECT_EQ(gfx_ellipse_copy(&l.s, -2000000000, -2000000000, 2000000000, 2000000000, 1, 0), 1);
    EXPECT_EQ(l.count(1), 144);

    // Radial weights along the middle row and column (256 at the rim is the
    // edge colour itself), read back as mixes of the edge and centre colours.
    l.clear(0x12345678);
    EXPECT_EQ(gfx_radial_copy(&l.s, 0, 0, 9, 9, 0x00000000, 0x00FF0000, 0), 1);
    const uint32_t row4[] = {206, 155, 105, 57, 25, 57, 105, 155, 206, 256};
    const uint32_t col4[] = {230, 179, 128, 76, 25, 25, 76, 128, 179, 230};
    for (int i = 0; i < 10; i++) {
        EXPECT_EQ(l.at(i, 4), gfx_pixel_lerp(0x00FF0000, 0, row4[i])) << i;
        EXPECT_EQ(l.at(4, i), gfx_pixel_lerp(0x00FF0000, 0, col4[i])) << i;
    }
    // Equal colours are the solid ellipse.
    Locked m(12, 12);
    m.clear(0x12345678);
    gfx_radial_copy(&m.s, 0, 0, 9, 9, 0x00ABCDEF, 0x00ABCDEF, 0);
    EXPECT_EQ(m.rows(0x00ABCDEF), circle10);
    // A translucent white glow: the middle lightens about three times the rim.
    m.clear(0x00000000);
    EXPECT_EQ(gfx_radial_blend(&m.s, 0, 0, 9, 9, 0x3FFFFFFF, 0xBFFFFFFF, 0), 1);
    uint32_t middle = m.at(4, 4) & 255, rim = m.at(9, 4) & 255;
    EXPECT_EQ(rim, 63u);  // w 256: the edge colour's own blend, 255 + floor(-255 * 192 / 256)
    EXPECT_GT(middle, 2 * rim);

    EXPECT_EQ(gfx_double_to_int(2.9), 2);
    EXPECT_EQ(gfx_double_to_int(-2.9), -2);
    EXPECT_EQ(gfx_double_to_int(2.9999999999995), 3);
    EXPECT_EQ(gfx_double_to_int(-2.9999999999995), -3);
    EXPECT_EQ(gfx_double_to_int(1e300), 0x7FFFFFFF);
}

TEST(FloodFill, RegionsIslandsBoundariesAndTheSeedLimit) {
    Locked l(20, 20);
    l.clear(0);
    // A ring of 1s with an island of 0s inside.
    gfx_frame_copy(&l.s, 5, 5, 14, 14, 1, 1, 0);
    int32_t box[4];
    EXPECT_EQ(gfx_flood_fill(&l.s, 0, 0, 0, 2, 0, box), 1);
    EXPECT_EQ(l.count(2), 400 - 100);
    EXPECT_EQ(l.at(9, 9), 0u);  // the island stays
    EXPECT_EQ(std::vector<int32_t>(box, box + 4), (std::vector<int32_t>{0, 0, 19, 19}));
    EXPECT_EQ(gfx_flood_fill(&l.s, 0, 0, 0, 2, 0, nullptr), 0);  // target equals the new colour
    EXPECT_EQ(gfx_flood_fill(&l.s, 20, 0, 0, 3, 0, nullptr), 0);
    EXPECT_EQ(gfx_flood_fill(&l.s, -1, 5, 0, 3, 0, nullptr), 0);
    // Boundary mode from the island: stops at the ring, box is the island.
    EXPECT_EQ(gfx_flood_fill(&l.s, 9, 9, 1, 5, 1, box), 1);
    EXPECT_EQ(l.count(5), 64);
    EXPECT_EQ(std::vector<int32_t>(box, box + 4), (std::vector<int32_t>{6, 6, 13, 13}));
    // A seed on the boundary colour fills the run to its left and what joins it.
    l.clear(0);
    gfx_line_copy(&l.s, 10, 0, 10, 19, 1, 0);
    EXPECT_EQ(gfx_flood_fill(&l.s, 10, 3, 1, 7, 1, nullptr), 1);
    EXPECT_EQ(l.count(7), 200);
    EXPECT_EQ(l.at(11, 3), 0u);

    // A maze of vertical one-pixel slits needs a seed per slit: past 4094
    // waiting seeds the fill gives up with part of the region written.
    Surface big = {};
    ASSERT_EQ(gfx_surface_create(&big, 9000, 3, 0), 1);
    uint32_t* p = gfx_surface_lock(&big, 0);
    for (int x = 0; x < 9000; x++) {
        p[x] = 0;
        p[9000 + x] = (x & 1) ? 1 : 0;
        p[18000 + x] = 0;
    }
    EXPECT_EQ(gfx_flood_fill(&big, 0, 1, 0, 9, 0, nullptr), 0);
    int written = 0;
    for (int i = 0; i < 27000; i++) written += p[i] == 9;
    EXPECT_GT(written, 0);
    EXPECT_LT(written, 9000 * 2 + 4500);
    gfx_surface_unlock(&big, 0);
    gfx_surface_release(&big, 0);
}

// StretchRandom takes every path against its reference on small surfaces;
// only a footprint of more than 256 pixels divides its sums another way.
TEST(Stretch, AFootprintOfHundredsOfRowsKeepsEverySumWhole) {
    Surface dst = {}, tall = {};
    gfx_surface_create(&dst, 4, 4, 0);
    gfx_surface_create(&tall, 3, 600, 0);
    fill_surface(&tall, 0xFFFFFFFF);
    ASSERT_EQ(gfx_stretch_copy(&dst, 0, 0, 0, 0, &tall, 0, 0, 2, 599, GFX_SMOOTH_AREA), 1);
    EXPECT_EQ(pixel_at(&dst, 0, 0), 0xFFFFFFFFu);
    gfx_surface_release(&tall, 0);
    gfx_surface_release(&dst, 0);
}

TEST(Resize, ResultsAndWholeSurfaceCopy) {
    Surface s = {};
    EXPECT_EQ(gfx_surface_resize(&s, 20, 10, GFX_RESIZE_SMOOTH), 1);  // an empty record is created
    fill_coordinates(&s, 0x33);
    EXPECT_EQ(gfx_surface_resize(&s, 0, 10, GFX_RESIZE_SMOOTH), 0);
    EXPECT_EQ(s.width, 20);
    EXPECT_EQ(gfx_surface_resize(&s, 40, 20, GFX_RESIZE_NEAREST), 1);
    EXPECT_EQ(s.width, 40);
    EXPECT_EQ(pixel_at(&s, 39, 19), 0x33u << 24 | 9u << 12 | 19u);
    // Over the pixel limit: resize says so with 99, the rest with create's 3.
    EXPECT_EQ(gfx_surface_resize(&s, 5000, 5000, GFX_RESIZE_NEAREST), 99);
    EXPECT_EQ(gfx_surface_resize(&s, 5000, 4000, GFX_RESIZE_DISCARD), 3);

    Surface a = {}, b = {};
    gfx_surface_create(&a, 100, 50, 0);
    fill_coordinates(&a, 0x7F);
    EXPECT_EQ(gfx_surface_copy(&b, &a), 1);
    EXPECT_EQ(b.width, 100);
    EXPECT_EQ(b.height, 50);
    EXPECT_EQ(memcmp(lock_pixels(&a), lock_pixels(&b), 100 * 50 * 4), 0);
    Surface none = {};
    EXPECT_EQ(gfx_surface_copy(&b, &none), 0);
    gfx_surface_release(&s, 0);
    gfx_surface_release(&a, 0);
    gfx_surface_release(&b, 0);
}

// Working storage refused at each request in turn: every scaled path fails,
// draws nothing and leaves both surfaces unlocked; a resize keeps its picture.
int g_scratch_requests, g_scratch_refused_at;
void* refuse_one_request(void* block, size_t bytes) {
    return ++g_scratch_requests == g_scratch_refused_at ? nullptr : realloc(block, bytes);
}

TEST(Scratch, ARefusedRequestFailsTheOperationAndDrawsNothing) {
    Surface src = {}, dst = {};
    gfx_surface_create(&src, 16, 16, 0);
    gfx_surface_create(&dst, 16, 16, 0);
    fill_coordinates(&src, 0);
    typedef int (*Op)(Surface*, int, int, int, int, Surface*, int, int, int, int, uint32_t);
    struct Case {
        const char* name;
        Op op;
        int x2, y2, sx2, sy2;  // the far corners; both rectangles start at 0, 0
        uint32_t flags;
    } cases[] = {
        {"nearest, scaled", gfx_blit_copy, 7, 7, 15, 15, 0},
        {"nearest blend", gfx_blit_blend, 3, 11, 15, 15, 0},
        {"bilinear", gfx_stretch_copy, 15, 3, 7, 7, 0},
        {"bilinear blend", gfx_stretch_blend, 15, 15, 3, 3, 0},
        {"four-point", gfx_stretch_copy, 9, 9, 15, 15, 0},
        {"four-point, halving", gfx_stretch_blend, 7, 7, 15, 15, 0},
        {"area", gfx_stretch_copy, 4, 4, 15, 15, GFX_SMOOTH_AREA},
        {"area blend", gfx_stretch_blend, 2, 5, 15, 15, GFX_SMOOTH_AREA},
    };
    for (const Case& c : cases) {
        for (int refuse = 1;; refuse++) {
            fill_surface(&dst, 0x12345678);
            g_scratch_requests = 0;
            g_scratch_refused_at = refuse;
            gfx_scratch_realloc_hook = refuse_one_request;
            const int result = c.op(&dst, 0, 0, c.x2, c.y2, &src, 0, 0, c.sx2, c.sy2, c.flags);
            gfx_scratch_realloc_hook = nullptr;
            EXPECT_EQ(src.lock_count + dst.lock_count, 0) << c.name;
            if (g_scratch_requests < refuse) {  // every request was met
                EXPECT_EQ(result, 1) << c.name;
                EXPECT_GT(refuse, 1) << c.name << " asked for no working storage";
                EXPECT_NE(pixel_at(&dst, 0, 0), 0x12345678u) << c.name;
                break;
            }
            EXPECT_EQ(result, 0) << c.name << ", request " << refuse << " refused";
            const uint32_t* p = lock_pixels(&dst);
            EXPECT_EQ(std::count(p, p + 16 * 16, 0x12345678u), 16 * 16) << c.name << ", request " << refuse;
        }
    }
    g_scratch_requests = 0;
    g_scratch_refused_at = 1;
    gfx_scratch_realloc_hook = refuse_one_request;
    EXPECT_EQ(gfx_surface_resize(&src, 5, 5, GFX_RESIZE_AREA), 0);
    gfx_scratch_realloc_hook = nullptr;
    EXPECT_EQ(src.width, 16);
    EXPECT_EQ(pixel_at(&src, 15, 15), 15u << 12 | 15u);
    gfx_surface_release(&src, 0);
    gfx_surface_release(&dst, 0);
}

}  // namespace
