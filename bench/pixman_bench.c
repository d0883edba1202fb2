/* Native reference: pixman's SRC copy and OVER on 1920 x 1080 a8r8g8b8
 * images, its bilinear scaler from 640 x 480 up to 1920 x 1080, and its
 * nearest scaler up and down by 2 between 960 x 540 and 1920 x 1080, beside
 * memcpy of the same bytes. Benchmark only; never linked into
 * the player. Prints "name = value" lines. */
#include <pixman.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#define W 1920
#define H 1080

static double now_seconds(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

typedef void (*bench_op)(void *);

static double mpixels_per_second(double pixels, bench_op op, void *arg) {
    double best = 1e30;
    for (int batch = 0; batch < 7; batch++) {
        int n = 0;
        double start = now_seconds(), t;
        do {
            op(arg);
            n++;
            t = now_seconds() - start;
        } while (t < 0.05);
        if (t / n < best) best = t / n;
    }
    return pixels / best / 1e6;
}

static uint32_t *g_src, *g_dst;
static uint32_t *g_vga, *g_half;
static pixman_image_t *g_isrc, *g_idst, *g_ivga, *g_ihalf, *g_iup, *g_idown;

static void do_memcpy(void *arg) { (void)arg; memcpy(g_dst, g_src, W * H * 4); }
static void do_composite(void *arg) {
    pixman_image_composite32(*(pixman_op_t *)arg, g_isrc, NULL, g_idst, 0, 0, 0, 0, 0, 0, W, H);
}

static void do_bilinear(void *arg) {
    (void)arg;
    pixman_image_composite32(PIXMAN_OP_SRC, g_ivga, NULL, g_idst, 0, 0, 0, 0, 0, 0, W, H);
}

/* Nearest SRC: half size up to the whole, and the whole down to half size. */
static void do_nearest_up(void *arg) {
    (void)arg;
    pixman_image_composite32(PIXMAN_OP_SRC, g_iup, NULL, g_idst, 0, 0, 0, 0, 0, 0, W, H);
}
static void do_nearest_down(void *arg) {
    (void)arg;
    pixman_image_composite32(PIXMAN_OP_SRC, g_idown, NULL, g_ihalf, 0, 0, 0, 0, 0, 0, W / 2, H / 2);
}

static pixman_image_t *scaled_view(uint32_t *bits, int w, int h, double factor) {
    pixman_image_t *image = pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h, bits, w * 4);
    pixman_transform_t scale;
    pixman_transform_init_scale(&scale, pixman_double_to_fixed(factor), pixman_double_to_fixed(factor));
    pixman_image_set_transform(image, &scale);
    pixman_image_set_filter(image, PIXMAN_FILTER_NEAREST, NULL, 0);
    return image;
}

int main(void) {
    g_src = aligned_alloc(64, W * H * 4);
    g_dst = aligned_alloc(64, W * H * 4);
    uint32_t seed = 99;
    for (int i = 0; i < W * H; i++) {
        seed = seed * 1664525u + 1013904223u;
        /* premultiplied: each colour channel at most alpha */
        uint32_t a = seed >> 24, c = seed & 0xFF;
        c = c * a / 255;
        g_src[i] = a << 24 | c << 16 | c << 8 | c;
        g_dst[i] = seed;
    }
    g_vga = aligned_alloc(64, 640 * 480 * 4);
    for (int i = 0; i < 640 * 480; i++) g_vga[i] = g_src[i] | 0xFF000000u;
    g_ivga = pixman_image_create_bits(PIXMAN_a8r8g8b8, 640, 480, g_vga, 640 * 4);
    pixman_transform_t scale;
    pixman_transform_init_scale(&scale, pixman_double_to_fixed(640.0 / W), pixman_double_to_fixed(480.0 / H));
    pixman_image_set_transform(g_ivga, &scale);
    pixman_image_set_filter(g_ivga, PIXMAN_FILTER_BILINEAR, NULL, 0);
    pixman_image_set_repeat(g_ivga, PIXMAN_REPEAT_PAD);
    g_isrc = pixman_image_create_bits(PIXMAN_a8r8g8b8, W, H, g_src, W * 4);
    g_idst = pixman_image_create_bits(PIXMAN_a8r8g8b8, W, H, g_dst, W * 4);
    g_half = aligned_alloc(64, W / 2 * H / 2 * 4);
    memcpy(g_half, g_src, W / 2 * H / 2 * 4);
    g_ihalf = pixman_image_create_bits(PIXMAN_a8r8g8b8, W / 2, H / 2, g_half, W / 2 * 4);
    g_iup = scaled_view(g_half, W / 2, H / 2, 0.5);
    g_idown = scaled_view(g_src, W, H, 2.0);
    double pixels = (double)W * H;
    double ref = mpixels_per_second(pixels, do_memcpy, NULL);
    pixman_op_t src = PIXMAN_OP_SRC, over = PIXMAN_OP_OVER;
    double s = mpixels_per_second(pixels, do_composite, &src);
    double o = mpixels_per_second(pixels, do_composite, &over);
    double b = mpixels_per_second(pixels, do_bilinear, NULL);
    double up = mpixels_per_second(pixels, do_nearest_up, NULL);
    double down = mpixels_per_second(pixels / 4, do_nearest_down, NULL);
    printf("pixman_memcpy_mpix = %.1f\n", ref);
    printf("pixman_src_mpix = %.1f\n", s);
    printf("pixman_src_vs_memcpy = %.2f\n", s / ref);
    printf("pixman_over_mpix = %.1f\n", o);
    printf("pixman_over_vs_memcpy = %.2f\n", o / ref);
    printf("pixman_bilinear_mpix = %.1f\n", b);
    printf("pixman_bilinear_vs_memcpy = %.2f\n", b / ref);
    printf("pixman_nearest_up2_mpix = %.1f\n", up);
    printf("pixman_nearest_down2_mpix = %.1f\n", down);
    return 0;
}
