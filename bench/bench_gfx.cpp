// Times the graphics engine on 1920 x 1080 surfaces beside memcpy of the same
// bytes, and prints each figure as "name = value" for scripts to read.
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "../gfx/gfx.h"
#include "../gfx/spans.h"
#include "bench_timing.h"

namespace {

const int W = 1920, H = 1080;
Surface g_src, g_dst, g_half, g_double, g_vga, g_small, g_resized;

// In Mpixel/s of destination pixels written.
template <class F>
double mpixels_per_second(double pixels, F op) {
    return pixels / best_seconds(op) / 1e6;
}

void fill_random(Surface* s, bool random_transparency) {
    uint32_t* p = gfx_surface_lock(s, 0);
    uint32_t seed = 99;
    for (int i = 0; i < s->stride * s->height; i++) {
        seed = seed * 1664525u + 1013904223u;
        p[i] = random_transparency ? seed : (seed & 0x00FFFFFF);
    }
    gfx_surface_unlock(s, 0);
}

void report(const char* name, double mpix, double memcpy_mpix) {
    printf("%s_mpix = %.1f\n", name, mpix);
    printf("%s_vs_memcpy = %.2f\n", name, mpix / memcpy_mpix);
}

}  // namespace

// "bench_gfx sse2" times the SSE2 routines on a processor that has wider ones;
// "bench_gfx sse2 over" times only their over blend, named by the table.
int main(int argc, char** argv) {
    gfx_startup(0);
    if (argc > 1 && strcmp(argv[1], "sse2") == 0) gfx_use_spans(GFX_SPANS_SSE2);
    const bool over_only = argc > 2 && strcmp(argv[2], "over") == 0;
    if (!over_only) printf("gfx_spans = %s\n", gfx_spans()->name);
    if (gfx_surface_create(&g_src, W, H, 0) != 1 || gfx_surface_create(&g_dst, W, H, 0) != 1 ||
        gfx_surface_create(&g_half, W / 2, H / 2, 0) != 1 || gfx_surface_create(&g_double, W * 2, H * 2, 0) != 1) {
        printf("bench_error = could not create surfaces\n");
        return 1;
    }
    fill_random(&g_src, true);
    fill_random(&g_dst, true);
    fill_random(&g_half, true);
    gfx_build_checker_pattern(0x00FFFFFF, 0x00C0C0C0);
    const double pixels = static_cast<double>(W) * H;
    uint32_t* sp = gfx_surface_lock(&g_src, 0);
    uint32_t* dp = gfx_surface_lock(&g_dst, 0);
    gfx_surface_unlock(&g_src, 0);
    gfx_surface_unlock(&g_dst, 0);

    auto over = [] { gfx_blit_blend(&g_dst, 0, 0, W - 1, H - 1, &g_src, 0, 0, W - 1, H - 1, GFX_MODE_OVER); };
    if (over_only) {
        printf("blend_mode0_%s_mpix = %.1f\n", gfx_spans()->name, mpixels_per_second(pixels, over));
        gfx_shutdown(0);
        return 0;
    }
    double ref = mpixels_per_second(pixels, [&] { memcpy(dp, sp, W * H * 4); });
    printf("memcpy_mpix = %.1f\n", ref);
    report("blit_copy", mpixels_per_second(pixels, [] {
        gfx_blit_copy(&g_dst, 0, 0, W - 1, H - 1, &g_src, 0, 0, W - 1, H - 1, 0);
    }), ref);
    report("blit_copy_opaque", mpixels_per_second(pixels, [] {
        gfx_blit_copy(&g_dst, 0, 0, W - 1, H - 1, &g_src, 0, 0, W - 1, H - 1, GFX_OPAQUE);
    }), ref);
    for (int mode = 0; mode <= 5; mode++) {
        char name[32];
        snprintf(name, sizeof name, "blend_mode%d", mode);
        // Random T in the source: the over mode's shortcuts rarely apply.
        report(name, mpixels_per_second(pixels, [mode] {
            gfx_blit_blend(&g_dst, 0, 0, W - 1, H - 1, &g_src, 0, 0, W - 1, H - 1, static_cast<uint32_t>(mode));
        }), ref);
        fill_random(&g_dst, true);
    }
    report("stretch_nearest_up2", mpixels_per_second(pixels, [] {
        gfx_blit_copy(&g_dst, 0, 0, W - 1, H - 1, &g_half, 0, 0, W / 2 - 1, H / 2 - 1, 0);
    }), ref);
    report("stretch_nearest_down2", mpixels_per_second(pixels / 4, [] {
        gfx_blit_copy(&g_half, 0, 0, W / 2 - 1, H / 2 - 1, &g_src, 0, 0, W - 1, H - 1, 0);
    }), ref);

    // Drawing into a locked surface.
    dp = gfx_surface_lock(&g_dst, 0);
    report("fill", mpixels_per_second(pixels, [] { gfx_fill_copy(&g_dst, 0, 0, W - 1, H - 1, 0x00336699, 0); }), ref);
    report("fill_blend", mpixels_per_second(pixels, [] {
        gfx_fill_blend(&g_dst, 0, 0, W - 1, H - 1, 0x80336699, 0);
    }), ref);
    report("gradient", mpixels_per_second(pixels, [] {
        gfx_gradient_copy(&g_dst, 0, 0, W - 1, H - 1, 0x00FF0000, 0x0000FF00, 0x000000FF, 0x00FFFFFF, 0);
    }), ref);
    const double disc = 3.14159265 * 256 * 256;
    report("ellipse_512", mpixels_per_second(disc, [] { gfx_ellipse_copy(&g_dst, 0, 0, 511, 511, 0x00ABCDEF, 0); }),
           ref);
    report("radial_512", mpixels_per_second(disc, [] {
        gfx_radial_blend(&g_dst, 0, 0, 511, 511, 0x20FFFFFF, 0xE0FFFFFF, 0);
    }), ref);
    // The whole surface is one region; each fill turns it to the other colour.
    gfx_fill_copy(&g_dst, 0, 0, W - 1, H - 1, 1, 0);
    uint32_t flood_colour = 1;
    report("flood_fill", mpixels_per_second(pixels, [&flood_colour] {
        flood_colour ^= 3;
        gfx_flood_fill(&g_dst, W / 2, H / 2, 0, flood_colour, 0, nullptr);
    }), ref);
    gfx_surface_unlock(&g_dst, 0);

    gfx_surface_create(&g_vga, 640, 480, 0);
    gfx_surface_create(&g_small, 320, 180, 0);
    fill_random(&g_vga, false);
    report("stretch_bilinear", mpixels_per_second(pixels, [] {
        gfx_stretch_copy(&g_dst, 0, 0, W - 1, H - 1, &g_vga, 0, 0, 639, 479, 0);
    }), ref);
    // Reading every source pixel is the work here: counted in source pixels.
    report("stretch_area", mpixels_per_second(pixels, [] {
        gfx_stretch_copy(&g_small, 0, 0, 319, 179, &g_src, 0, 0, W - 1, H - 1, GFX_SMOOTH_AREA);
    }), ref);
    report("stretch_four_point", mpixels_per_second(pixels / 4, [] {
        gfx_stretch_copy(&g_half, 0, 0, W / 2 - 1, H / 2 - 1, &g_src, 0, 0, W - 1, H - 1, 0);
    }), ref);
    // Resize back and forth between 1920 x 1080 and 1280 x 720, smoothing.
    gfx_surface_copy(&g_resized, &g_src);
    report("resize", mpixels_per_second(pixels + 1280.0 * 720, [] {
        gfx_surface_resize(&g_resized, 1280, 720, GFX_RESIZE_SMOOTH);
        gfx_surface_resize(&g_resized, W, H, GFX_RESIZE_SMOOTH);
    }), ref);
    // The resampling inside a resize, into surfaces that already exist: a
    // resize also pays for its new surface's memory, which the system hands
    // out page by page on first write.
    Surface g_720 = {};
    gfx_surface_create(&g_720, 1280, 720, 0);
    report("resize_resample", mpixels_per_second(pixels + 1280.0 * 720, [&g_720] {
        gfx_stretch_copy(&g_720, 0, 0, 1279, 719, &g_src, 0, 0, W - 1, H - 1, 0);
        gfx_stretch_copy(&g_dst, 0, 0, W - 1, H - 1, &g_720, 0, 0, 1279, 719, 0);
    }), ref);
    gfx_surface_release(&g_720, 0);
    gfx_surface_release(&g_resized, 0);
    gfx_surface_release(&g_vga, 0);
    gfx_surface_release(&g_small, 0);
    gfx_shutdown(0);
    return 0;
}
