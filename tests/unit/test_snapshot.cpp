// BMP files as the snapshot writer lays them out, a snapshot of a frame that
// cannot be read, type names, and the About box's surface effects.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "../../media/media_state.h"
#include "../../ui/ui.h"
#include "../e2e/e2e.h"
#include "gfx_support.h"

namespace {

struct Bmp {
    std::vector<uint8_t> bytes;
    uint32_t u32(size_t at) const { return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24; }
    uint32_t u16(size_t at) const { return bytes[at] | bytes[at + 1] << 8; }
    uint32_t bits() const { return u16(28); }
    uint32_t offset() const { return u32(10); }
    uint32_t row() const { return u32(34) / u32(22); }
    // A pixel as the file stores it, by its top-down place.
    const uint8_t* at(int x, int y) const {
        return &bytes[offset() + row() * (u32(22) - 1 - y) + x * bits() / 8];
    }
};

Bmp encode(const std::vector<uint32_t>& pixels, int w, int h) {
    Bmp b;
    b.bytes.resize(media_bmp_encode(pixels.data(), w, w, h, nullptr, 0));
    EXPECT_EQ(media_bmp_encode(pixels.data(), w, w, h, b.bytes.data(), b.bytes.size()), b.bytes.size());
    return b;
}

}  // namespace

TEST(SnapshotBmp, HeadersPalettesAndRows) {
    // One colour: 8 bits; an odd width pads rows to 4 bytes. (The fuzzing
    // checks at every size that each index names its pixel's colour.)
    Bmp one = encode(std::vector<uint32_t>(5 * 3, 0x00123456), 5, 3);
    EXPECT_EQ(one.bytes[0], 'B');
    EXPECT_EQ(one.bytes[1], 'M');
    EXPECT_EQ(one.bits(), 8u);
    EXPECT_EQ(one.offset(), 1078u);
    EXPECT_EQ(one.u32(2), 1078u + 8 * 3);
    EXPECT_EQ(one.u32(14), 40u);
    EXPECT_EQ(one.u32(18), 5u);
    EXPECT_EQ(one.u32(22), 3u);
    EXPECT_EQ(one.u32(34), 24u);

    // Exactly 256 colours fill the palette in the order the rows meet them.
    std::vector<uint32_t> many(16 * 16);
    for (int i = 0; i < 256; i++) many[i] = static_cast<uint32_t>(i) * 0x010101;
    Bmp full = encode(many, 16, 16);
    EXPECT_EQ(full.bits(), 8u);
    EXPECT_EQ(full.u32(54 + 4 * 255), 255u * 0x010101);
    EXPECT_EQ(*full.at(7, 2), 2 * 16 + 7);
    EXPECT_EQ(*full.at(0, 0), 0);  // the top-left colour's last entry, once all are used
    // A 257th colour: 24 bits (rows bottom-up, blue green red, as the engine's
    // snapshot test reads them back through the system).
    many.push_back(0x00ABCDEF);
    Bmp over = encode(many, 257, 1);
    EXPECT_EQ(over.bits(), 24u);
    EXPECT_EQ(over.u32(34), (257u * 3 + 3) & ~3u);
    // A non-zero top byte: still a palette with few colours, 32 bits with many.
    Bmp few = encode({0x80000001, 0x00000002, 0x80000001}, 3, 1);
    EXPECT_EQ(few.bits(), 8u);
    many[3] |= 0x01000000;
    Bmp wide = encode(many, 257, 1);
    EXPECT_EQ(wide.bits(), 32u);
    EXPECT_EQ(wide.u32(wide.offset() + 12), 0x01000000u | 3u * 0x010101);
}

namespace {

// The pictures of w x h pixels in the snapshot folder, by name and first
// pixel's colour (other tests may be writing pictures of their own there).
std::map<std::string, uint32_t> snapshots_of(int w, int h) {
    std::map<std::string, uint32_t> found;
    std::vector<uint32_t> pixels;
    int fw, fh;
    for (const std::string& name : e2e_snapshot_files())
        if (e2e_read_bmp(name, &pixels, &fw, &fh) && fw == w && fh == h) found[name] = pixels[0];
    return found;
}

}  // namespace

// A frame that cannot be read is no picture: the snapshot fails and writes no
// file, where a readable one is written.
TEST(Snapshot, AnUnreadableFrameFailsAndWritesNothing) {
    const MediaObjects saved = g_media;
    g_media.sample_rect = {0, 0, 7, 3};
    g_media.work_is_current = true;
    g_media.work_surface = {};  // its pixels cannot be locked
    const std::map<std::string, uint32_t> before = snapshots_of(7, 3);
    EXPECT_EQ(media_take_snapshot(), 0);
    EXPECT_EQ(snapshots_of(7, 3), before);

    ASSERT_TRUE(gfx_surface_create(&g_media.work_surface, 7, 3, 0));
    fill_surface(&g_media.work_surface, 0x00336699);
    EXPECT_EQ(media_take_snapshot(), 1);
    EXPECT_EQ(g_media.work_surface.lock_count, 0);
    std::map<std::string, uint32_t> after = snapshots_of(7, 3);
    for (const auto& old : before) after.erase(old.first);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after.begin()->second, 0x336699u);
    DeleteFileA(after.begin()->first.c_str());
    gfx_surface_release(&g_media.work_surface, 0);
    g_media = saved;
}

TEST(SnapshotBmp, TypeNames) {
    EXPECT_STREQ(media_type_name("C:\\v\\clip.MPG", true), "MPEG Video");
    EXPECT_STREQ(media_type_name("C:\\v\\song.Mp3", false), "MPEG Audio - MP3");
    EXPECT_STREQ(media_type_name("C:\\my.videos\\clip", true), "Streaming Video");
    EXPECT_STREQ(media_type_name("C:\\my.videos\\clip", false), "Streaming Audio");
    EXPECT_STREQ(media_type_name("C:\\videos\\clip", true), "Unknown Type");
    EXPECT_STREQ(media_type_name("x.rmvb", true), "RealMedia Video");
}

TEST(AboutEffects, BlurAndFaintPixels) {
    Locked l(8, 4);
    for (int i = 0; i < 32; i++) l.p[i] = static_cast<uint32_t>(i * 0x01030507);
    std::vector<uint32_t> before(l.p, l.p + 32);
    gfx_surface_unlock(&l.s, 0);
    EXPECT_EQ(ui_soft_blur(&l.s, 0, 15), 1);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), lock_pixels(&l.s)));
    EXPECT_EQ(ui_soft_blur(&l.s, 1000, 0), 1);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), lock_pixels(&l.s)));
    // A lone bright pixel spreads: its neighbours take part of it.
    uint32_t* p = lock_pixels(&l.s);
    for (int i = 0; i < 32; i++) p[i] = 0;
    p[8 + 3] = 0x00FF0000;
    ui_soft_blur(&l.s, 401, 1);
    EXPECT_GT((p[8 + 4] >> 16) & 255, 0u);
    EXPECT_LT((p[8 + 3] >> 16) & 255, 255u);
    EXPECT_EQ(p[8 + 4] & 0xFF00FFFF, 0u);  // only red was asked for

    p[0] = 241u << 24 | 0x123456;
    p[1] = 240u << 24 | 0x123456;
    EXPECT_EQ(ui_clear_faint_pixels(&l.s), 1);
    EXPECT_EQ(p[0], 0xFF123456u);
    EXPECT_EQ(p[1], 240u << 24 | 0x123456);
}
