// Surfaces for the artwork tool on the build machine: the same record over
// plain memory, without a device context. Only the calls the pixel code makes.
#include <stdlib.h>
#include <string.h>

#include "../../gfx/gfx.h"

int gfx_surface_create(Surface* s, int width, int height, uint32_t) {
    if (!s || width < 1 || height < 1 || width > 0xFFFF || height > 0xFFFF ||
        static_cast<int64_t>(width) * height > SURFACE_MAX_PIXELS)
        return 0;
    memset(s, 0, sizeof *s);
    s->pixels = static_cast<uint32_t*>(calloc(static_cast<size_t>(width) * height, 4));
    if (!s->pixels) return 0;
    s->width = s->alloc_width = width;
    s->height = s->alloc_height = height;
    s->stride = width;
    s->flags = 1;
    s->bits_per_pixel = 32;
    return 1;
}

int gfx_surface_release(Surface* s, int) {
    if (!s) return 0;
    free(s->pixels);
    memset(s, 0, sizeof *s);
    return 1;
}

int gfx_surface_refresh(Surface* s, int) { return s && s->pixels ? 1 : 0; }
void gfx_surface_discard(Surface* s) { gfx_surface_release(s, 0); }

uint32_t* gfx_surface_lock(Surface* s, uint32_t flags) {
    if (!s || !s->pixels) return nullptr;
    if (!(flags & GFX_LOCK_NOCOUNT)) s->lock_count++;
    return s->pixels;
}

int gfx_surface_unlock(Surface* s, int) {
    if (s && s->lock_count > 0) s->lock_count--;
    return 1;
}
