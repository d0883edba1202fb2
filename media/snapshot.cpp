// The BMP writer's file and frame snapshots.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "../gfx/gfx.h"
#include "media_state.h"

namespace {

// The encoded file, kept from one snapshot to the next and grown when too
// small: the writer runs under the media thread's guard, and a fault that
// leaves it by a jump must leave nothing its frame owned. Snapshots are
// taken by the media thread, and at most one lives.
uint8_t* encoding_room(size_t bytes) {
    static uint8_t* room;
    static size_t room_size;
    if (room_size < bytes) {
        void* grown = realloc(room, bytes);
        if (!grown) return nullptr;
        room = static_cast<uint8_t*>(grown);
        room_size = bytes;
    }
    return room;
}

}  // namespace

// Written whole under a temporary name and then given its own, which must
// not exist yet: a failed write leaves nothing, and nothing is overwritten.
int media_write_bmp(Surface* s, const char* name) {
    if (!s || !gfx_surface_refresh(s, 0)) return 0;
    uint32_t* pixels = gfx_surface_lock(s, 0);
    if (!pixels) return 0;
    size_t size = media_bmp_encode(pixels, s->stride, s->width, s->height, nullptr, 0);
    uint8_t* bytes = size ? encoding_room(size) : nullptr;
    size_t n = bytes ? media_bmp_encode(pixels, s->stride, s->width, s->height, bytes, size) : 0;
    gfx_surface_unlock(s, 0);
    if (n == 0) return 0;
    char temporary[MAX_PATH];
    if (snprintf(temporary, sizeof temporary, "%s.part", name) >= static_cast<int>(sizeof temporary)) return 0;
    HANDLE f = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return 0;
    DWORD written = 0;
    bool whole = WriteFile(f, bytes, static_cast<DWORD>(n), &written, nullptr) && written == n;
    whole = CloseHandle(f) && whole;
    if (whole && MoveFileA(temporary, name)) return 1;
    DeleteFileA(temporary);
    return 0;
}

// 1 when the frame was written to a file of its own; 0, and no file, otherwise.
int media_take_snapshot() {
    const RECT& v = g_media.sample_rect;
    int w = v.right - v.left, h = v.bottom - v.top;  // exactly the video's size
    // The frame on screen, whole: as the work surface holds it once drawn,
    // else straight from the sample.
    IDirectDrawSurface* sample = g_media.sample_surface;
    if (w <= 0 || h <= 0 || (!g_media.work_is_current && !sample)) return 0;
    Surface shot = {};
    if (!gfx_surface_create(&shot, w, h, 0)) return 0;
    if (g_media.work_is_current) {
        // A frame that cannot be read fails the snapshot: the new surface
        // alone would make a black picture.
        uint32_t* to = gfx_surface_lock(&shot, 0);
        uint32_t* from = to ? gfx_surface_lock(&g_media.work_surface, 0) : nullptr;
        if (from) {
            for (int y = 0; y < h; y++)
                memcpy(to + static_cast<ptrdiff_t>(y) * shot.stride,
                       from + static_cast<ptrdiff_t>(y + v.top) * g_media.work_surface.stride + v.left,
                       static_cast<size_t>(w) * 4);
            gfx_surface_unlock(&g_media.work_surface, 0);
        }
        if (to) gfx_surface_unlock(&shot, 0);
        if (!from) {
            gfx_surface_release(&shot, 0);
            return 0;
        }
    } else {
        HDC shot_dc = nullptr, frame_dc = nullptr;
        if (!gfx_surface_get_dc(&shot, &shot_dc, nullptr) || FAILED(sample->GetDC(&frame_dc))) {
            gfx_surface_release(&shot, 0);
            return 0;
        }
        BitBlt(shot_dc, 0, 0, w, h, frame_dc, v.left, v.top, SRCCOPY);
        sample->ReleaseDC(frame_dc);
        gfx_surface_release_dc(&shot, &shot_dc);
    }
    // Video frames carry no transparency: whatever the copy left there goes.
    uint32_t* p = gfx_surface_lock(&shot, 0);
    if (!p) {
        gfx_surface_release(&shot, 0);
        return 0;
    }
    for (int y = 0; y < shot.height; y++)
        for (int x = 0; x < shot.width; x++) p[static_cast<size_t>(y) * shot.stride + x] &= 0x00FFFFFF;
    gfx_surface_unlock(&shot, 0);
    CreateDirectoryA("c:\\pic", nullptr);
    int tick = static_cast<int>(GetTickCount());
    int written = 0;
    for (int i = 0; i < 1000 && !written; i++) {
        char name[MAX_PATH];
        snprintf(name, sizeof name, SNAPSHOT_NAME_FORMAT, tick + i);
        if (GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES) continue;  // taken: the next number
        written = media_write_bmp(&shot, name);
        if (!written && GetFileAttributesA(name) == INVALID_FILE_ATTRIBUTES) break;
    }
    gfx_surface_release(&shot, 0);
    return written;
}
