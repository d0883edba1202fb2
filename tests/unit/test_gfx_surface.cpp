// Surfaces on real DIB sections: creation limits, locks, validation and repair,
// loading from bitmaps of other depths, DCs, and the per-thread clip.
#include <gtest/gtest.h>
#include <math.h>

#include "gfx_support.h"

namespace {

bool record_empty(const Surface& s) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(&s);
    for (size_t i = 0; i < sizeof s; i++)
        if (p[i]) return false;
    return true;
}

HBITMAP make_dib(int w, int h, int bits, void** out) {
    BITMAPINFOHEADER hd = test_dib_header(w, h, bits);
    return CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&hd), DIB_RGB_COLORS, out, nullptr, 0);
}

TEST(SurfaceCreate, PixelBudgetSidesAndBadSizes) {
    Surface s = {};
    ASSERT_EQ(gfx_surface_create(&s, 4096, 4096, 0), 1);
    EXPECT_EQ(s.width, 4096);
    EXPECT_EQ(s.stride, 4096);
    EXPECT_EQ(s.flags, 1);
    EXPECT_EQ(s.bits_per_pixel, 32);
    EXPECT_EQ(pixel_at(&s, 4095, 4095), 0u);  // a new surface is black and opaque
    gfx_surface_release(&s, 0);
    EXPECT_TRUE(record_empty(s));

    ASSERT_EQ(gfx_surface_create(&s, 4097, 4096, 0), 3);
    double f = sqrt(double(0x1000000) / (4097.0 * 4096.0));
    EXPECT_EQ(s.width, int(4097 * f));
    EXPECT_EQ(s.height, int(4096 * f));
    EXPECT_LE(int64_t(s.width) * s.height, 0x1000000);
    gfx_surface_release(&s, 0);

    // Wide and flat: the 32-bit product would overflow, the scaling must not.
    ASSERT_EQ(gfx_surface_create(&s, 65535, 65535, 0), 3);
    EXPECT_EQ(s.width, 4096);
    EXPECT_EQ(s.height, 4096);
    gfx_surface_release(&s, 0);

    ASSERT_EQ(gfx_surface_create(&s, 8192, 8192, GFX_SURFACE_MAPPED), 1);
    EXPECT_EQ(s.flags, 3);  // made on a page-file section
    EXPECT_EQ(s.width * s.height, 0x4000000);
    gfx_surface_release(&s, 0);

    const int bad[][2] = {{0, 10}, {10, 0}, {-5, 10}, {10, -1}, {65536, 1}, {1, 70000}};
    for (auto& b : bad) {
        EXPECT_EQ(gfx_surface_create(&s, b[0], b[1], 0), 0) << b[0] << "x" << b[1];
        EXPECT_FALSE(gfx_surface_validate(&s));
    }
    EXPECT_EQ(gfx_surface_create(nullptr, 10, 10, 0), 0);
    EXPECT_EQ(gfx_surface_release(&s, 0), 1);
}

TEST(SurfaceLock, CountsNestAndDeadBitmapsGiveNull) {
    Surface s = {};
    ASSERT_EQ(gfx_surface_create(&s, 8, 4, 0), 1);
    EXPECT_EQ(s.pixels, nullptr);  // unset until the first lock
    uint32_t* p = gfx_surface_lock(&s, 0);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(gfx_surface_lock(&s, 0), p);
    EXPECT_EQ(s.lock_count, 2);
    EXPECT_EQ(gfx_surface_lock(&s, GFX_LOCK_NOCOUNT), p);
    EXPECT_EQ(s.lock_count, 2);
    gfx_surface_unlock(&s, 0);
    gfx_surface_unlock(&s, 0);
    EXPECT_EQ(gfx_surface_unlock(&s, 0), 1);
    EXPECT_EQ(s.lock_count, 0);
    // A stale cached pointer is not trusted: a locked surface whose pointer
    // no longer reaches memory is looked up afresh.
    s.lock_count = 1;
    s.pixels = reinterpret_cast<uint32_t*>(16);
    EXPECT_EQ(gfx_surface_lock(&s, 0), p);
    s.lock_count = 0;

    Surface empty = {};
    EXPECT_EQ(gfx_surface_lock(&empty, 0), nullptr);
    EXPECT_EQ(gfx_surface_lock(nullptr, 0), nullptr);
    // The bitmap dies under the record (it must leave its DC to be deleted).
    HBITMAP stand_in = CreateCompatibleBitmap(s.dc, 1, 1);
    SelectObject(s.dc, stand_in);
    ASSERT_TRUE(DeleteObject(s.bitmap));
    EXPECT_EQ(gfx_surface_lock(&s, 0), nullptr);
    EXPECT_EQ(gfx_surface_refresh(&s, 0), 0);
    EXPECT_FALSE(gfx_surface_validate(&s));  // DC alive, bitmap gone: freed
    EXPECT_TRUE(record_empty(s));
    DeleteObject(stand_in);
}

TEST(SurfaceValidate, RebuildsFromALiveBitmapWhenTheDcIsGone) {
    Surface s = {};
    EXPECT_FALSE(gfx_surface_validate(&s));
    ASSERT_EQ(gfx_surface_create(&s, 5, 3, 0), 1);
    fill_coordinates(&s, 0x20);
    EXPECT_TRUE(gfx_surface_validate(&s));
    DeleteDC(s.dc);
    ASSERT_TRUE(gfx_surface_validate(&s));
    EXPECT_EQ(s.width, 5);
    EXPECT_EQ(pixel_at(&s, 4, 2), 0x20u << 24 | 2u << 12 | 4u);  // 32-bit: T kept
    gfx_surface_release(&s, 0);
    // Neither alive: false, the record stays as it was.
    Surface dead = {};
    dead.flags = 1;
    dead.dc = reinterpret_cast<HDC>(0x1234);
    dead.bitmap = reinterpret_cast<HBITMAP>(0x5678);
    Surface copy = dead;
    EXPECT_FALSE(gfx_surface_validate(&dead));
    EXPECT_EQ(memcmp(&dead, &copy, sizeof dead), 0);
}

TEST(SurfaceLoad, DepthsDecideTransparency) {
    void* bits;
    HBITMAP b24 = make_dib(3, 2, 24, &bits);
    ASSERT_NE(b24, nullptr);
    unsigned char* row = static_cast<unsigned char*>(bits);
    for (int i = 0; i < 12 * 2; i++) row[i] = static_cast<unsigned char>(i * 7);
    Surface s = {};
    ASSERT_EQ(gfx_surface_load_bitmap(&s, b24), 1);
    EXPECT_EQ(s.width, 3);
    EXPECT_EQ(s.height, 2);
    EXPECT_EQ(pixel_at(&s, 1, 0), 0x00000000u | (35u << 16) | (28u << 8) | 21u);  // B,G,R = bytes 3,4,5
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 3; x++) EXPECT_EQ(pixel_at(&s, x, y) >> 24, 0u);
    gfx_surface_release(&s, 0);
    DeleteObject(b24);

    HBITMAP b32 = make_dib(4, 4, 32, &bits);
    for (int i = 0; i < 16; i++) static_cast<uint32_t*>(bits)[i] = static_cast<uint32_t>(i) << 28 | 0x00102030;
    ASSERT_EQ(gfx_surface_load_bitmap(&s, b32), 1);
    for (int i = 0; i < 16; i++) EXPECT_EQ(pixel_at(&s, i % 4, i / 4), static_cast<uint32_t>(i) << 28 | 0x00102030);
    gfx_surface_release(&s, 0);
    DeleteObject(b32);

    EXPECT_EQ(gfx_surface_load_bitmap(&s, nullptr), 0);
    EXPECT_EQ(gfx_surface_load_bitmap(&s, reinterpret_cast<HBITMAP>(0x777)), 0);
    EXPECT_TRUE(record_empty(s));
}

TEST(SurfaceDc, PlatformDrawingLandsInThePixels) {
    // A surface of the same size released just before leaves nothing behind.
    Surface old = {};
    ASSERT_EQ(gfx_surface_create(&old, 16, 16, 0), 1);
    fill_surface(&old, 0xFFFFFFFF);
    gfx_surface_release(&old, 0);
    Surface s = {};
    ASSERT_EQ(gfx_surface_create(&s, 16, 16, 0), 1);
    for (int i = 0; i < 16 * 16; i++) ASSERT_EQ(lock_pixels(&s)[i], 0u) << i;
    HDC dc = nullptr;
    HBITMAP bm = nullptr;
    EXPECT_EQ(gfx_surface_get_dc(&s, nullptr, nullptr), nullptr);
    ASSERT_EQ(gfx_surface_get_dc(&s, &dc, &bm), s.dc);
    EXPECT_EQ(dc, s.dc);
    EXPECT_EQ(bm, s.bitmap);
    RECT r = {2, 2, 6, 6};
    HBRUSH brush = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    EXPECT_EQ(gfx_surface_release_dc(&s, &dc), 1);
    EXPECT_EQ(dc, nullptr);
    EXPECT_EQ(pixel_at(&s, 3, 3) & 0x00FFFFFF, 0x00FF0000u);
    EXPECT_EQ(pixel_at(&s, 7, 7), 0u);
    // A page-file surface of the same size still gets its own section.
    HBITMAP drawn = s.bitmap;
    gfx_surface_release(&s, 0);
    ASSERT_EQ(gfx_surface_create(&s, 16, 16, GFX_SURFACE_MAPPED), 1);
    EXPECT_EQ(s.flags, 3);
    gfx_surface_release(&s, 0);
    // Releasing surfaces of other sizes frees what was kept of the earlier ones.
    for (int side = 1; side <= 3; side++) {
        ASSERT_EQ(gfx_surface_create(&s, side, side, 0), 1);
        gfx_surface_release(&s, 0);
    }
    EXPECT_EQ(GetObjectType(drawn), 0u);
    // Released memory comes back: more than the address space in all.
    for (int i = 0; i < 300; i++) {
        ASSERT_EQ(gfx_surface_create(&s, 1920, 1080, 0), 1) << i;
        lock_pixels(&s)[1920 * 1080 - 1] = 1;
        gfx_surface_release(&s, 0);
    }
}

DWORD WINAPI read_clip(void* out) {
    *static_cast<GfxThreadState*>(out) = *gfx_thread_state();
    return 0;
}

TEST(SurfaceThreadState, ClipIsPerThread) {
    gfx_set_clip(1, 2, 3, 4);
    GfxThreadState other;
    memset(&other, 0xFF, sizeof other);
    HANDLE t = CreateThread(nullptr, 0, read_clip, &other, 0, nullptr);
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    EXPECT_EQ(other.clip_x1 | other.clip_y1 | other.clip_x2 | other.clip_y2, 0);
    EXPECT_EQ(gfx_thread_state()->clip_y2, 4);
    gfx_set_clip(0, 0, 0, 0);
}

}  // namespace
