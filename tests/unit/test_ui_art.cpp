#include <gtest/gtest.h>

#include "../../ui/art.h"

namespace {

const double SCALES[] = {1, 1.25, 1.5, 1.75, 2, 2.5, 3};

uint32_t at(const Surface& s, int x, int y) { return s.pixels[y * s.stride + x]; }
int r(uint32_t p) { return (p >> 16) & 255; }
int g(uint32_t p) { return (p >> 8) & 255; }
int b(uint32_t p) { return p & 255; }

}  // namespace

// Every pixel of the strip maps back to the one skin unit whose pixels hold
// it, ties included (at 1.5 unit 1 starts at pixel 2, not 1), so a press is
// tested where the picture shows the control.
TEST(SkinUnits, EachPixelMapsToTheUnitDrawnThere) {
    for (double s : SCALES) {
        int first = 0;  // the first pixel of unit u, found by walking the picture's edges
        for (int u = 0; u < 480; u++) {
            int next = static_cast<int>((u + 1) * s + 0.5);
            ASSERT_EQ(ui_px(u, s), first) << "scale " << s << " unit " << u;
            ASSERT_LT(first, next) << "unit " << u << " has no pixel at scale " << s;
            for (int p = first; p < next; p++) ASSERT_EQ(ui_unit(p, s), u) << "scale " << s << " pixel " << p;
            first = next;
        }
    }
    EXPECT_EQ(ui_unit(-1, 2), -1);  // left of the window, while the mouse is held
}

// The skin at a scale: the face opaque, below it nothing but the knob, the
// controls where the layout scaled puts them, and a list (no yellow folder)
// on the Playlist button.
TEST(SkinArt, DrawnAtEachScaleWhereTheLayoutPutsIt) {
    for (double s : {1.0, 1.5, 2.0}) {
        Surface skin = {}, logo = {};
        ASSERT_TRUE(ui_draw_skin(&skin, s));
        ASSERT_TRUE(ui_draw_logo(&logo, s));
        ASSERT_TRUE(gfx_surface_lock(&skin, 0));
        EXPECT_EQ(skin.width, static_cast<int>(480 * s + 0.5));
        EXPECT_EQ(skin.height, static_cast<int>(200 * s + 0.5));
        EXPECT_EQ(logo.width, static_cast<int>(320 * s + 0.5));
        EXPECT_EQ(logo.height, static_cast<int>(240 * s + 0.5));
        auto P = [s](double v) { return static_cast<int>(v * s); };  // inside the unit v starts
        int face = static_cast<int>(156 * s + 0.5), opaque_below = 0;
        for (int y = 0; y < skin.height; y++)
            for (int x = 0; x < skin.width; x++) {
                uint32_t t = at(skin, x, y) >> 24;
                if (y < face) ASSERT_EQ(t, 0u) << x << "," << y << " at " << s;
                else if (t != 255) opaque_below++;
            }
        // The knob: dark and opaque in its middle, the only thing below the face.
        uint32_t knob = at(skin, P(7.5), P(192));
        EXPECT_EQ(knob >> 24, 0u);
        EXPECT_LT(r(knob) + g(knob) + b(knob), 200);
        int knob_area = static_cast<int>(13 * 23 * s * s);
        EXPECT_GT(opaque_below, knob_area * 2 / 3);
        EXPECT_LT(opaque_below, knob_area * 5 / 4);
        EXPECT_EQ(at(skin, P(30), P(187)) >> 24, 255u);

        // Play: its symbol dark blue at the centre, the bright dome above it,
        // the face's grey outside the ellipse at the rectangle's corner.
        uint32_t symbol = at(skin, P(86), P(58)), dome = at(skin, P(86), P(50)), corner = at(skin, P(70), P(42));
        EXPECT_GT(b(symbol), r(symbol) + 40) << std::hex << symbol;
        EXPECT_GT(r(dome) + g(dome) + b(dome), 3 * 215) << std::hex << dome;
        EXPECT_TRUE(r(corner) > 170 && r(corner) < 245 && abs(r(corner) - b(corner)) < 16) << std::hex << corner;

        int yellow = 0, dark_blue = 0;
        for (int y = P(45); y < P(72); y++)
            for (int x = P(294); x < P(321); x++) {
                uint32_t p = at(skin, x, y);
                if (r(p) > 180 && g(p) > 130 && b(p) < 100) yellow++;
                if (b(p) > r(p) + 50 && r(p) < 90) dark_blue++;
            }
        EXPECT_EQ(yellow, 0) << "a folder on the Playlist button at " << s;
        EXPECT_GT(dark_blue, static_cast<int>(40 * s * s)) << "no list on the Playlist button at " << s;
        gfx_surface_release(&skin, 0);
        gfx_surface_release(&logo, 0);
    }
}
