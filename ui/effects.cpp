// Surface effects of the About box: a soft drop shadow under a picture.
#include "ui.h"

namespace {

// One recursive pass along a line of n pixels, step pixels apart: each pixel
// moves towards the running value by k/256 in the masked channels.
void blur_line(uint32_t* p, int n, ptrdiff_t step, uint32_t k, uint32_t mask) {
    uint32_t q = p[0];
    for (int i = 0; i < n; i++, p += step) {
        uint32_t v = *p, out = 0;
        for (int c = 0; c < 4; c++) {
            int shift = c == 3 ? 24 : 16 - 8 * c;  // red, green, blue, then T
            uint32_t pc = (v >> shift) & 255, mc = mask & (1u << c) ? (q >> shift) & 255 : pc;
            out |= ((pc * (256 - k) + mc * k) >> 8) << shift;
        }
        *p = q = out;
    }
}

}  // namespace

int ui_soft_blur(Surface* s, int amount, int mask) {
    uint32_t k = static_cast<uint32_t>(amount) * 239 / 1000;
    if (k > 256) k = 256;
    uint32_t* p = gfx_surface_lock(s, 0);
    if (!p) return 0;
    const int w = s->width, h = s->height, stride = s->stride;
    for (int y = 0; y < h; y++) blur_line(p + static_cast<ptrdiff_t>(y) * stride, w, 1, k, mask);
    for (int y = 0; y < h; y++) blur_line(p + static_cast<ptrdiff_t>(y) * stride + w - 1, w, -1, k, mask);
    for (int x = 0; x < w; x++) blur_line(p + x, h, stride, k, mask);
    for (int x = 0; x < w; x++) blur_line(p + static_cast<ptrdiff_t>(h - 1) * stride + x, h, -stride, k, mask);
    gfx_surface_unlock(s, 0);
    return 1;
}

int ui_clear_faint_pixels(Surface* s) {
    uint32_t* p = gfx_surface_lock(s, 0);
    if (!p) return 0;
    for (int y = 0; y < s->height; y++)
        for (int x = 0; x < s->width; x++) {
            uint32_t& v = p[static_cast<ptrdiff_t>(y) * s->stride + x];
            if ((v >> 24) > 240) v |= 0xFF000000;
        }
    gfx_surface_unlock(s, 0);
    return 1;
}

int ui_drop_shadow(Surface* s, int strength, int offset, int softness) {
    if (!gfx_surface_refresh(s, 0)) return 0;
    Surface shadow = {};
    if (!gfx_surface_create(&shadow, s->width, s->height, 0)) return 0;
    uint32_t* from = gfx_surface_lock(s, 0);
    uint32_t* to = from ? gfx_surface_lock(&shadow, 0) : nullptr;
    if (!to) {
        if (from) gfx_surface_unlock(s, 0);
        gfx_surface_release(&shadow, 0);
        return 0;
    }
    for (int y = 0; y < shadow.height; y++)
        for (int x = 0; x < shadow.width; x++) {
            uint32_t t = 255;
            if (x >= offset && y >= offset) {
                uint32_t st = from[static_cast<ptrdiff_t>(y - offset) * s->stride + (x - offset)] >> 24;
                t = 255 - (255 - st) * static_cast<uint32_t>(strength) / 1000;
            }
            to[static_cast<ptrdiff_t>(y) * shadow.stride + x] = t << 24;
        }
    gfx_surface_unlock(&shadow, 0);
    gfx_surface_unlock(s, 0);
    ui_soft_blur(&shadow, softness * 800 / 255, 15);
    gfx_blit_blend(&shadow, 0, 0, shadow.width - 1, shadow.height - 1, s, 0, 0, s->width - 1, s->height - 1, 0);
    gfx_blit_copy(s, 0, 0, s->width - 1, s->height - 1, &shadow, 0, 0, shadow.width - 1, shadow.height - 1, 0);
    ui_clear_faint_pixels(s);
    gfx_surface_release(&shadow, 0);
    return 1;
}
