// Surfaces for the graphics tests: filled with known values, and a kind whose
// pixel memory sits between two canary borders of the same section, so any
// write outside the surface shows (and any read of the border returns POISON).
#pragma once
#include <stdint.h>
#include <string.h>
#include <windows.h>

#include <string>

#include "../../gfx/blit_frame.h"
#include "../../gfx/gfx.h"
#include "../test_dib.h"

#define POISON 0xEEEEEEEEu

struct GuardedSurface {
    Surface s;
    HANDLE section;
    uint32_t* view;  // the whole section: border, pixels, border
    size_t border_words, pixel_words;
};

inline bool guarded_create(GuardedSurface* g, int w, int h) {
    memset(g, 0, sizeof *g);
    g->border_words = 4096;
    g->pixel_words = static_cast<size_t>(w) * h;
    DWORD bytes = static_cast<DWORD>((g->border_words * 2 + g->pixel_words) * 4);
    g->section = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE | SEC_COMMIT, 0, bytes, nullptr);
    if (!g->section) return false;
    g->view = static_cast<uint32_t*>(MapViewOfFile(g->section, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    BITMAPINFOHEADER hd = test_dib_header(w, h, 32);
    void* bits = nullptr;
    g->s.dc = CreateCompatibleDC(nullptr);
    g->s.bitmap = CreateDIBSection(g->s.dc, reinterpret_cast<BITMAPINFO*>(&hd), DIB_RGB_COLORS, &bits, g->section,
                                   static_cast<DWORD>(g->border_words * 4));
    if (!g->view || !g->s.bitmap) return false;
    SelectObject(g->s.dc, g->s.bitmap);
    g->s.alloc_width = static_cast<uint16_t>(w);
    g->s.alloc_height = static_cast<uint16_t>(h);
    g->s.flags = 3;
    g->s.bits_per_pixel = 32;
    for (size_t i = 0; i < g->border_words; i++) g->view[i] = g->view[g->border_words + g->pixel_words + i] = POISON;
    return gfx_surface_refresh(&g->s, 0) == 1;
}

inline uint32_t* guarded_pixels(GuardedSurface* g) { return g->view + g->border_words; }

inline bool guarded_borders_intact(const GuardedSurface* g) {
    for (size_t i = 0; i < g->border_words; i++)
        if (g->view[i] != POISON || g->view[g->border_words + g->pixel_words + i] != POISON) return false;
    return true;
}

inline void guarded_release(GuardedSurface* g) {
    gfx_surface_release(&g->s, 0);
    if (g->view) UnmapViewOfFile(g->view);
    if (g->section) CloseHandle(g->section);
    memset(g, 0, sizeof *g);
}

// A small deterministic generator for test data.
inline uint32_t test_random(uint32_t* state) {
    *state = *state * 1664525u + 1013904223u;
    return (*state >> 16) | (*state << 16);
}

inline uint32_t* lock_pixels(Surface* s) {
    uint32_t* p = gfx_surface_lock(s, 0);
    gfx_surface_unlock(s, 0);
    return p;
}

inline void fill_surface(Surface* s, uint32_t value) {
    uint32_t* p = lock_pixels(s);
    for (int i = 0; i < s->stride * s->height; i++) p[i] = value;
}

// Every pixel a distinct value: its coordinates in the colour bytes.
inline void fill_coordinates(Surface* s, uint32_t t) {
    uint32_t* p = lock_pixels(s);
    for (int y = 0; y < s->height; y++)
        for (int x = 0; x < s->width; x++) p[y * s->stride + x] = (t << 24) | (static_cast<uint32_t>(y) << 12) | x;
}

inline uint32_t pixel_at(Surface* s, int x, int y) { return lock_pixels(s)[y * s->stride + x]; }

// A surface created locked, released when it goes out of scope.
struct Locked {
    Surface s = {};
    uint32_t* p = nullptr;
    Locked(int w, int h) {
        gfx_surface_create(&s, w, h, 0);
        p = gfx_surface_lock(&s, 0);
    }
    ~Locked() { gfx_surface_release(&s, 0); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
    uint32_t& at(int x, int y) { return p[y * s.stride + x]; }
    void clear(uint32_t v = 0) {
        for (int i = 0; i < s.stride * s.height; i++) p[i] = v;
    }
    int count(uint32_t v) {
        int n = 0;
        for (int i = 0; i < s.stride * s.height; i++) n += p[i] == v;
        return n;
    }
    // The columns set in each row, as "row:first-last" pieces.
    std::string rows(uint32_t v) {
        std::string out;
        for (int y = 0; y < s.height; y++) {
            int a = -1, b = -1;
            for (int x = 0; x < s.width; x++)
                if (at(x, y) == v) {
                    if (a < 0) a = x;
                    b = x;
                }
            if (a >= 0) out += std::to_string(y) + ":" + std::to_string(a) + "-" + std::to_string(b) + " ";
        }
        return out;
    }
};
